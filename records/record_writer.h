// Writes personal entries, groups and favourite names to the working copy, and owns the switch
// from the phone book to its working copy that comes before the first change of an open.
#ifndef TELBOOK_RECORDS_RECORD_WRITER_H_
#define TELBOOK_RECORDS_RECORD_WRITER_H_

#include <cstdint>

#include "interface/telbook.h"
#include "store/errors.h"
#include "store/file_accessor.h"
#include "store/record_index.h"
#include "store/store_client.h"

namespace telbook {

class FileStore;
class TabBrowser;

class RecordWriter {
 public:
  explicit RecordWriter(FileStore* store)
      : store_(store), client_(store), lookup_(store), accessor_(store) {}
  virtual ~RecordWriter() = default;

  void Wire(TabBrowser* tab_browser) { tab_browser_ = tab_browser; }

  // 1 after the switch to the working copy, 0 while the session works on the phone book itself.
  uint16_t modified() const { return modified_; }
  void ClearModified() { modified_ = 0; }

  // Copies the phone book to a new working copy and reopens the session on it in update mode.
  // 0, or -1 with (25, 16) or the header read's pair; on failure the session stays open on the
  // phone book in read mode, as before the call.
  short SwitchToWorkingCopy();
  // Switches when the session is not yet modified. 0 when it works on the working copy.
  short EnsureWorkingCopy() { return modified_ == 1 ? kOk : SwitchToWorkingCopy(); }

  // TL_writeKojin: stores the entry under *record_number (0: the lowest free personal number),
  // appended to the working copy, and points its slot at it. The record may stay in the store's
  // write-behind block until the block is full; a failure to write that block out fails the
  // append that needed the room, and the records held before it stay held. 0; 5 with (30, 31) when
  // all 9999 personal slots are used (*record_number stays 0); -1 with (30, 16) when no phone book
  // is open, (30, 18) for a null argument, the switch's pair, (30, 30) for a number outside 1 to
  // 9999, (30, 4) when the encoding buffer cannot be had, or (30, 30) after the file layer's
  // pair when the append fails (slot and counts unchanged). The number used is written back
  // once chosen, also after a failed append.
  short WriteKojin(const TL_Kojin* entry, uint16_t* record_number);
  // TL_writeGroup: as WriteKojin for groups 16385 to 21384, with `count` members. -1 with
  // (31, 30) for a count above 9999 (checked before anything else is done), (31, 16) when no
  // phone book is open, (31, 18) for a null argument, (31, 5) for a number outside 16385 to
  // 21384, (31, 4), or (31, 30) when the append fails; 5 with (31, 31) when no group number is
  // free.
  short WriteGroup(const TL_Group* entry, uint16_t* record_number, uint16_t count,
                   const uint16_t* members);

 private:
  FileStore* store_;
  StoreClient client_;
  IndexLookup lookup_;
  FileAccessor accessor_;
  // Appends an encoded record and fills its slot; raises the count when `added`.
  short Append(const uint8_t* record, uint32_t length, uint8_t* slot, uint8_t kind, uint8_t tab,
               bool added, uint16_t category);

  TabBrowser* tab_browser_ = nullptr;
  uint16_t modified_ = 0;
};

}  // namespace telbook

#endif  // TELBOOK_RECORDS_RECORD_WRITER_H_
