// The writers' lock of a phone book: one writer at a time between reading the file it changes and
// putting its save in place, held through a handle of its own on the book.
#ifndef TELBOOK_STORE_WRITERS_LOCK_H_
#define TELBOOK_STORE_WRITERS_LOCK_H_

#include <cstdint>

#include "platform/env.h"

namespace telbook {

class FileStore;

class WritersLock final {
 public:
  explicit WritersLock(FileStore* store) : store_(store) {}
  ~WritersLock() { Release(); }
  WritersLock(const WritersLock&) = delete;
  WritersLock& operator=(const WritersLock&) = delete;

  // Takes the lock of the regular file at path, symbolic links followed, trying again until
  // wait_ms have passed while another handle holds it. A file that another writer replaced
  // meanwhile is locked anew, so that the lock held is always that of the file at the path.
  // 0 at once when it is held already. Else 0, or -1 with (category, detail): kOpenFailed when
  // there is no such file or it cannot be opened or looked at, kNotWritableKind for anything
  // but a regular file, kReadOnly for a file the user may not write, kInUse when another handle
  // held the lock for the whole wait or another program holds the file without sharing writes.
  short Hold(const char* path, uint32_t wait_ms, uint16_t category);
  bool held() const { return handle_ != nullptr; }
  // The handle the lock is held through: the book opened for reading and writing.
  FileHandle handle() const { return handle_; }
  // The path of the locked file: the path given to Hold, its links followed.
  const char* target() const { return target_; }
  // Lets the lock go and closes its handle.
  void Release();

 private:
  short Fail(uint16_t category, uint16_t detail);

  FileStore* store_;
  FileHandle handle_ = nullptr;
  char target_[kMaxPath] = {};
};

}  // namespace telbook

#endif  // TELBOOK_STORE_WRITERS_LOCK_H_
