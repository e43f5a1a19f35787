// Creating and opening a phone book: the buffers, the file held in read mode and the fixed part
// read. Refuses while a phone book is open. What the session derives from the index (the
// other-class rebuild) is the session's to run after a success.
#ifndef TELBOOK_STORE_OPENER_H_
#define TELBOOK_STORE_OPENER_H_

#include "store/file_accessor.h"
#include "store/fixed_part.h"

namespace telbook {

class FileStore;

class Opener final {
 public:
  explicit Opener(FileStore* store) : store_(store), fixed_part_(store) {}

  void Wire(FileAccessor* session_accessor) { session_accessor_ = session_accessor; }

  // 0, or -1. A path of 260 bytes or more records (kDataBase, kOpenFailed) and opens nothing;
  // an existing regular file the user may not write is not replaced: (kDataBase, kReadOnly).
  short Create(const char* path);
  // 0, -1, or -2 with (kDataBase, kInUse) when another program holds the file. The identity of
  // the file opened is kept for the save; the counts are those of the used slots.
  short Open(const char* path);

 private:
  // Steps shared by create and open up to the open of the file; false ends the call.
  bool Prepare(const char* path, short* status);
  // The fixed part's read on the open handle; on failure closes it and releases the buffers.
  short Finish();

  FileStore* store_;
  FixedPart fixed_part_;
  FileAccessor* session_accessor_ = nullptr;
};

}  // namespace telbook

#endif  // TELBOOK_STORE_OPENER_H_
