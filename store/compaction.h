// The compaction of a saving close: a complete version-2 phone book written from the in-memory
// fixed part and every live record of the working copy, packed in slot order and re-encoded.
#ifndef TELBOOK_STORE_COMPACTION_H_
#define TELBOOK_STORE_COMPACTION_H_

#include "store/book_file_writer.h"

namespace telbook {

class FileStore;

class Compaction final {
 public:
  explicit Compaction(FileStore* store) : store_(store), writer_(store) {}

  // The conversion every record passes through on its way into the saved file.
  void Wire(BookFileWriter::RecordHook* conversion) { conversion_ = conversion; }

  // Writes the compacted phone book into out, a new empty file: 0. Personal slots 1 to 9999 and
  // group slots 1 to 5000 are kept; the saved file's group slots 5001 to 9999 are free. The
  // in-memory header, favourites and index tables and the working copy are only read, so every
  // record reads as before whatever happens here. On failure: -1 with (kClose, kNoMemory),
  // (kClose, kBadRecordNumber) when the index is not there, or (kClose, kRecordFailed) when a
  // record or a write failed; out then holds any part of the file.
  short Run(FileHandle out);

 private:
  FileStore* store_;
  BookFileWriter writer_;
  BookFileWriter::RecordHook* conversion_ = nullptr;
};

}  // namespace telbook

#endif  // TELBOOK_STORE_COMPACTION_H_
