// Closing a phone book: saving the working copy through the compaction and an atomic replace, or
// dropping it, then releasing the buffers. A failed save leaves the session changed on its working
// copy and the phone book file as it was.
#ifndef TELBOOK_STORE_CLOSER_H_
#define TELBOOK_STORE_CLOSER_H_

#include <cstdint>

#include "store/book_file_writer.h"
#include "store/compaction.h"
#include "store/file_accessor.h"
#include "store/file_ops.h"

namespace telbook {

class FileStore;
class WorkingCopy;

class Closer final {
 public:
  explicit Closer(FileStore* store)
      : store_(store), ops_(store), accessor_(store), compaction_(store) {}

  void Wire(WorkingCopy* working_copy, BookFileWriter::RecordHook* save_conversion) {
    working_copy_ = working_copy;
    compaction_.Wire(save_conversion);
  }

  // discard 0 saves a changed phone book; any other value drops the changes. 0, or -1 with
  // (kClose, kOpenFailed) when nothing is open or (kClose, kRecordFailed) when the save failed.
  // A save writes the compacted book to a new file beside the phone book and puts it in the
  // phone book's place in one step; until then the phone book is not touched. After a failed
  // save the session is still changed, every record reads as before, and no file is left behind
  // but the working copy.
  short Close(uint16_t discard);

 private:
  // Drops the working copy, if any, and releases everything the open held.
  void Release();
  short Save();

  FileStore* store_;
  FileOps ops_;
  FileAccessor accessor_;
  Compaction compaction_;
  WorkingCopy* working_copy_ = nullptr;
};

}  // namespace telbook

#endif  // TELBOOK_STORE_CLOSER_H_
