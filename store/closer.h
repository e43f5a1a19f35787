// Closing a phone book: saving the working copy through the compaction into the phone book's
// place under the writers' lock, or dropping it, then releasing the buffers. A failed save leaves
// the session changed on its working copy and the phone book file as it was.
#ifndef TELBOOK_STORE_CLOSER_H_
#define TELBOOK_STORE_CLOSER_H_

#include <cstdint>

#include "store/book_file_writer.h"
#include "store/compaction.h"
#include "store/file_accessor.h"

namespace telbook {

class FileStore;
class WorkingCopy;
class WritersLock;

class Closer final {
 public:
  // How long a save waits for another writer's hold of the writers' lock to end, by default.
  static constexpr uint32_t kDefaultLockWaitMs = 10000;

  explicit Closer(FileStore* store) : store_(store), accessor_(store), compaction_(store) {}

  void Wire(WorkingCopy* working_copy, WritersLock* writers_lock,
            BookFileWriter::RecordHook* save_conversion) {
    working_copy_ = working_copy;
    writers_lock_ = writers_lock;
    compaction_.Wire(save_conversion);
  }

  // For the library's own C++ callers: the longest a save waits for the writers' lock.
  void set_lock_wait(uint32_t milliseconds) { lock_wait_ms_ = milliseconds; }

  // discard 0 saves a changed phone book; any other value drops the changes. 0, or -1 with
  // (kClose, kOpenFailed) when nothing is open, or the pair of a failed save:
  //   (kClose, kInUse): another handle held the writers' lock for the whole wait;
  //   (kClose, kChanged): the file at the path is no longer the one the open read, as it was
  //   then (another program changed or replaced it); nothing is written;
  //   (kClose, kReadOnly), (kClose, kNotWritableKind): the file may not be written, or is no
  //   regular file any more; nothing is written;
  //   (kClose, kNoDirectory), (kClose, kDirectoryNotWritable): no new file can be made beside
  //   the phone book (or, for one of several hard links, in the temporary directory);
  //   (kClose, kRecordFailed): the compaction failed;
  //   (kClose, kWriteFailed): a write failed; when it was the write into the phone book itself
  //   (one of several hard links, or a file held open where held files cannot be replaced), the
  //   phone book may be torn, and a save again writes it whole.
  // The save runs under the writers' lock, the one the session holds or one taken for it. The
  // compacted book is written whole and flushed before it replaces the phone book in one step,
  // keeping its permissions, owner and group; a phone book of several hard links, or one another
  // handle holds where held files cannot be replaced, gets the bytes written into it instead.
  // After a failed save the session is still changed, every record reads as before, and no file
  // is left behind but the working copy.
  short Close(uint16_t discard);

 private:
  // Drops the working copy, if any, and releases everything the open held.
  void Release();
  short Save();
  // The save's steps under the writers' lock; false with the pair recorded.
  bool WriteUnderLock();
  bool Fail(uint16_t detail);

  FileStore* store_;
  FileAccessor accessor_;
  Compaction compaction_;
  WorkingCopy* working_copy_ = nullptr;
  WritersLock* writers_lock_ = nullptr;
  uint32_t lock_wait_ms_ = kDefaultLockWaitMs;
};

}  // namespace telbook

#endif  // TELBOOK_STORE_CLOSER_H_
