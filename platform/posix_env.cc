// The POSIX Env: files with the sharing rules of the Windows opens (open-file-description locks
// on four bytes far past any real data), exclusive temporary files, and heap memory blocks.
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>

#include "platform/env.h"
#include "platform/posix_env_test_helper.h"
#include "platform/posix_io.h"
#include "platform/posix_registry.h"

namespace telbook {

// The file position is kept here rather than in the descriptor, so that a seek costs no system
// call and each read or write is one pread or pwrite at it.
struct PlatformFile {
  int fd;
  off_t position;
};

namespace {

// Sharing bytes: an open holds a read lock on each that applies to it.
constexpr off_t kShareBase = 0x7FFFFFFF0000LL;
constexpr off_t kHasRead = kShareBase + 0;
constexpr off_t kHasWrite = kShareBase + 1;
constexpr off_t kDeniesRead = kShareBase + 2;
constexpr off_t kDeniesWrite = kShareBase + 3;

struct Access {
  bool read;
  bool write;
  bool deny_read;
  bool deny_write;
};

Access AccessOf(OpenMode mode) {
  switch (mode) {
    case OpenMode::kCreate:
      return {true, true, false, true};
    case OpenMode::kUpdate:
      return {true, true, false, false};
    case OpenMode::kRead:
    default:
      return {true, false, false, false};
  }
}

bool LockByte(int fd, off_t byte) {
  struct flock lock = {};
  lock.l_type = F_RDLCK;
  lock.l_whence = SEEK_SET;
  lock.l_start = byte;
  lock.l_len = 1;
  return fcntl(fd, F_OFD_SETLK, &lock) == 0;
}

// True when another open description holds a lock on byte.
bool HeldByOther(int fd, off_t byte) {
  struct flock lock = {};
  lock.l_type = F_WRLCK;
  lock.l_whence = SEEK_SET;
  lock.l_start = byte;
  lock.l_len = 1;
  if (fcntl(fd, F_OFD_GETLK, &lock) != 0) return false;
  return lock.l_type != F_UNLCK;
}

// Takes this open's locks first, then looks for a conflict, so that two racing opens can only
// both fail, never both pass. False on a sharing violation.
bool ApplySharing(int fd, const Access& a) {
  if (a.read && !LockByte(fd, kHasRead)) return false;
  if (a.write && !LockByte(fd, kHasWrite)) return false;
  if (a.deny_read && !LockByte(fd, kDeniesRead)) return false;
  if (a.deny_write && !LockByte(fd, kDeniesWrite)) return false;
  if (a.read && HeldByOther(fd, kDeniesRead)) return false;
  if (a.write && HeldByOther(fd, kDeniesWrite)) return false;
  if (a.deny_read && HeldByOther(fd, kHasRead)) return false;
  if (a.deny_write && HeldByOther(fd, kHasWrite)) return false;
  return true;
}

bool IsRegularFile(int fd) {
  struct stat st;
  return fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
}

// The directory part of path, with its trailing separator, into out[kMaxPath]; "./" for none.
bool DirectoryOf(const char* path, char* out) {
  const char* slash = strrchr(path, '/');
  if (slash == nullptr) {
    strcpy(out, "./");
    return true;
  }
  size_t length = static_cast<size_t>(slash - path) + 1;
  if (length >= kMaxPath) return false;
  memcpy(out, path, length);
  out[length] = '\0';
  return true;
}

void SyncDirectoryOf(const char* path) {
  char dir[kMaxPath];
  if (!DirectoryOf(path, dir)) return;
  posix_io::SyncDirectory(dir);
}

// The unique part of temporary names walks from a per-process start; names already taken are
// skipped by the exclusive create, so the sequence only needs to make collisions rare.
constexpr unsigned kUniqueStride = 0x9E37u;

std::atomic<unsigned>& TempCounter() {
  static std::atomic<unsigned> counter{static_cast<unsigned>(getpid()) * 2654435761u ^
                                       static_cast<unsigned>(time(nullptr))};
  return counter;
}

class PosixEnv final : public Env {
 public:
  FileHandle OpenFile(const char* path, OpenMode mode, OpenError* error) override {
    *error = OpenError::kOther;
    int flags = O_CLOEXEC | (mode == OpenMode::kRead ? O_RDONLY : O_RDWR);
    if (mode == OpenMode::kCreate) flags |= O_CREAT;
    int fd = open(path, flags, 0666);
    if (fd < 0) return nullptr;
    if (!IsRegularFile(fd)) {
      close(fd);
      return nullptr;
    }
    if (!ApplySharing(fd, AccessOf(mode))) {
      close(fd);
      *error = OpenError::kSharingViolation;
      return nullptr;
    }
    // A replacing create truncates only once it is known to be allowed.
    if (mode == OpenMode::kCreate && ftruncate(fd, 0) != 0) {
      close(fd);
      return nullptr;
    }
    *error = OpenError::kNone;
    return new PlatformFile{fd, 0};
  }

  bool Seek(FileHandle file, uint32_t offset, SeekMode mode, uint32_t* new_position) override {
    off_t where = mode == SeekMode::kEnd ? lseek(file->fd, 0, SEEK_END) : offset;
    if (where < 0 || where > static_cast<off_t>(UINT32_MAX)) return false;
    file->position = where;
    *new_position = static_cast<uint32_t>(where);
    return true;
  }

  bool Read(FileHandle file, void* buffer, uint32_t length, uint32_t* count) override {
    uint8_t* p = static_cast<uint8_t*>(buffer);
    uint32_t done = 0;
    while (done < length) {
      ssize_t n = pread(file->fd, p + done, length - done, file->position + done);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) {
        file->position += done;
        *count = done;
        return false;
      }
      if (n == 0) break;
      done += static_cast<uint32_t>(n);
    }
    file->position += done;
    *count = done;
    return true;
  }

  bool Write(FileHandle file, const void* buffer, uint32_t length, uint32_t* count) override {
    const uint8_t* p = static_cast<const uint8_t*>(buffer);
    uint32_t done = 0;
    while (done < length) {
      ssize_t n = pwrite(file->fd, p + done, length - done, file->position + done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        file->position += done;
        *count = done;
        return false;
      }
      done += static_cast<uint32_t>(n);
    }
    file->position += done;
    *count = done;
    return true;
  }

  bool Sync(FileHandle file) override { return fsync(file->fd) == 0; }

  bool Close(FileHandle file) override {
    if (file == nullptr) return false;
    int rc = close(file->fd);
    delete file;
    return rc == 0;
  }

  bool CopyFile(const char* from, const char* to, bool fail_if_exists) override {
    OpenError error;
    FileHandle source = OpenFile(from, OpenMode::kRead, &error);
    if (source == nullptr) return false;
    // Copying a file onto itself would truncate it before a byte was read.
    struct stat from_stat;
    struct stat to_stat;
    if (fstat(source->fd, &from_stat) != 0 ||
        (stat(to, &to_stat) == 0 && to_stat.st_dev == from_stat.st_dev &&
         to_stat.st_ino == from_stat.st_ino)) {
      Close(source);
      return false;
    }
    int flags = O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW;
    flags |= fail_if_exists ? O_EXCL : O_TRUNC;
    int out = open(to, flags, 0600);
    if (out < 0) {
      Close(source);
      return false;
    }
    bool ok = true;
    static constexpr size_t kChunk = 65536;
    uint8_t* chunk = static_cast<uint8_t*>(malloc(kChunk));
    ok = chunk != nullptr;
    while (ok) {
      ssize_t n = read(source->fd, chunk, kChunk);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) ok = false;
      if (n <= 0) break;
      ok = posix_io::WriteAll(out, chunk, static_cast<size_t>(n));
    }
    free(chunk);
    Close(source);
    if (close(out) != 0) ok = false;
    if (!ok) unlink(to);
    return ok;
  }

  bool DeleteFile(const char* path) override { return unlink(path) == 0; }

  bool ClearReadOnly(const char* path) override {
    struct stat st;
    if (stat(path, &st) != 0) return false;
    if (st.st_mode & S_IWUSR) return true;
    return chmod(path, (st.st_mode & 07777) | S_IWUSR) == 0;
  }

  bool ReplaceFile(const char* from, const char* to) override {
    // The new file takes the permissions of the one it replaces, or those of any new file when
    // there is none: temporary files are made private, the files they become are not.
    struct stat st;
    if (stat(to, &st) == 0) {
      chmod(from, st.st_mode & 07777);
    } else {
      mode_t mask = umask(0);
      umask(mask);
      chmod(from, 0666 & ~mask);
    }
    if (rename(from, to) != 0) return false;
    SyncDirectoryOf(to);
    return true;
  }

  bool TempDirectory(char* out) override {
    const char* dir = getenv("TMPDIR");
    if (dir == nullptr || dir[0] == '\0') dir = "/tmp";
    size_t length = strlen(dir);
    bool slash = dir[length - 1] == '/';
    if (length + (slash ? 0 : 1) >= kMaxPath) return false;
    memcpy(out, dir, length);
    if (!slash) out[length++] = '/';
    out[length] = '\0';
    return true;
  }

  bool MakeTempFile(const char* dir, const char* prefix, char* out) override {
    size_t length = strlen(dir);
    const char* separator = (length > 0 && dir[length - 1] == '/') ? "" : "/";
    for (int attempt = 0; attempt < 100; ++attempt) {
      unsigned unique = NextUnique();
      int n = snprintf(out, kMaxPath, "%s%s%s%08X.tmp", dir, separator, prefix, unique);
      if (n < 0 || static_cast<size_t>(n) >= kMaxPath) return false;
      int fd = open(out, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
      if (fd >= 0) {
        close(fd);
        return true;
      }
      if (errno != EEXIST) return false;
    }
    return false;
  }

  void* AllocBlock(size_t size) override { return calloc(1, size); }
  void FreeBlock(void* block) override { free(block); }

  KeyHandle OpenKey(const char* path, bool create) override {
    return posix_registry::OpenKey(path, create);
  }
  bool QueryValue(KeyHandle key, const char* name, void* buffer, uint32_t capacity,
                  uint32_t* length) override {
    return posix_registry::QueryValue(key, name, buffer, capacity, length);
  }
  bool SetValue(KeyHandle key, const char* name, const void* data, uint32_t length) override {
    return posix_registry::SetValue(key, name, data, length);
  }
  void CloseKey(KeyHandle key) override { posix_registry::CloseKey(key); }

 private:
  static unsigned NextUnique() {
    return TempCounter().fetch_add(kUniqueStride) ^ static_cast<unsigned>(getpid());
  }
};

}  // namespace

Env* Env::Default() {
  static PosixEnv env;
  return &env;
}

void PosixEnvTestHelper::SetNextTempUnique(unsigned unique) {
  TempCounter().store(unique ^ static_cast<unsigned>(getpid()));
}

}  // namespace telbook
