// The names of the five favourite categories: reading them out of the in-memory favourites block
// and renaming them there. The block reaches the phone book file at the next saving close.
#ifndef TELBOOK_RECORDS_FAVOURITES_H_
#define TELBOOK_RECORDS_FAVOURITES_H_

#include <cstdint>

namespace telbook {

class FileStore;
class WorkingCopy;

class Favourites final {
 public:
  explicit Favourites(FileStore* store) : store_(store) {}
  Favourites(const Favourites&) = delete;
  Favourites& operator=(const Favourites&) = delete;

  void Wire(WorkingCopy* working_copy) { working_copy_ = working_copy; }

  // index 0 copies the names of every category into consecutive 16-byte places of names; 1 to 5
  // one name into names[0..15]. A name shorter than 16 bytes is followed by a zero and the rest of
  // its place is left as it was. 0, or -1 with (kReadOkonomi, kOpenFailed) when nothing is open,
  // (kReadOkonomi, kFavouriteIndex) for an index above 5 or the block's count, (kReadOkonomi,
  // kNoCountPlace) for a null buffer; names untouched on failure.
  short Read(uint16_t index, char* names);

  // Renames categories from the host's places (the same layout). A name ends at its first byte
  // that is a space, a control character, 0x7F or zero; it is stored zero-padded to 16 bytes.
  // Switches to the working copy first. 0, or -1 with (kWriteOkonomi, kOpenFailed) when nothing is
  // open, the switch's pair, (kWriteOkonomi, kFavouriteIndex) for a bad index, (kWriteOkonomi,
  // kNoCountPlace) for a null buffer; no name is changed on failure.
  short Write(uint16_t index, const char* names);

  // The number of categories the block holds, as used: the stored count, at most 5.
  uint16_t UsedCount() const;

 private:
  bool IndexFits(uint16_t index) const;

  FileStore* store_;
  WorkingCopy* working_copy_ = nullptr;
};

}  // namespace telbook

#endif  // TELBOOK_RECORDS_FAVOURITES_H_
