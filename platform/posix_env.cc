// The POSIX Env: files with the sharing rules of the Windows opens and the writers' lock
// (open-file-description locks on bytes far past any real data), exclusive temporary files with
// random names, unnamed ones where the file system has them, and heap memory blocks.
#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/random.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/un.h>
#include <time.h>
#include <unistd.h>

#include <cstdint>

#include "platform/env.h"
#include "platform/posix_block_pool.h"
#include "platform/posix_env_test_helper.h"
#include "platform/posix_io.h"
#include "platform/posix_registry.h"
#include "platform/share_bytes.h"
#include "platform/temp_name.h"

namespace telbook {

// The file position is kept here rather than in the descriptor, so that a seek costs no system
// call and each read or write is one pread or pwrite at it. A stream (a FIFO, a device, a
// socket) has no position: it is written in order.
struct PlatformFile {
  PlatformFile(int descriptor, bool write_access, bool is_stream)
      : fd(descriptor), stream(is_stream), writable(write_access) {}

  int fd;
  off_t position = 0;
  bool stream;
  bool writable;
  bool writers_locked = false;
  // The prefix of the name an unnamed linkable file gets on its way into place.
  char link_prefix[16] = {};
};

namespace {

using share_bytes::kDeniesRead;
using share_bytes::kDeniesWrite;
using share_bytes::kHasRead;
using share_bytes::kHasWrite;

// The one translation of errno for the calls that report a FileError.
FileError ErrorFromErrno(int e) {
  switch (e) {
    case 0:
      return FileError::kNone;
    case ENOENT:
      return FileError::kNotFound;
    case ENOTDIR:
      return FileError::kNotADirectory;
    case EISDIR:
      return FileError::kIsADirectory;
    case EACCES:
    case EPERM:
      return FileError::kAccessDenied;
    case EROFS:
      return FileError::kReadOnlyVolume;
    case EEXIST:
      return FileError::kExists;
    case ENOSPC:
    case EDQUOT:
      return FileError::kNoSpace;
    case ENAMETOOLONG:
      return FileError::kTooLong;
    case ELOOP:
      return FileError::kLinkLoop;
    case EOPNOTSUPP:
    case EXDEV:
    case ENXIO:
    case EPROTOTYPE:
    case ESPIPE:
      return FileError::kUnsupported;
    default:
      return FileError::kOther;
  }
}

// Records a failure (from errno unless given) and answers false.
bool Fail(FileError* error, FileError cause) {
  if (error != nullptr) *error = cause;
  return false;
}
bool FailErrno(FileError* error) { return Fail(error, ErrorFromErrno(errno)); }
bool Succeed(FileError* error) {
  if (error != nullptr) *error = FileError::kNone;
  return true;
}

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

// Locks [start, start + length) with a lock of type, without waiting; false with errno set.
bool LockRange(int fd, short type, off_t start, off_t length) {
  struct flock lock = {};
  lock.l_type = type;
  lock.l_whence = SEEK_SET;
  lock.l_start = start;
  lock.l_len = length;
  return fcntl(fd, F_OFD_SETLK, &lock) == 0;
}

// True when another open description holds any lock on the protocol's bytes.
bool AnyProtocolLock(int fd, bool* held) {
  struct flock lock = {};
  lock.l_type = F_WRLCK;
  lock.l_whence = SEEK_SET;
  lock.l_start = share_bytes::kBase;
  lock.l_len = share_bytes::kCount;
  if (fcntl(fd, F_OFD_GETLK, &lock) != 0) return false;
  *held = lock.l_type != F_UNLCK;
  return true;
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

FileIdentity IdentityFromStat(const struct stat& st) {
  FileIdentity id;
  id.device = static_cast<uint64_t>(st.st_dev);
  id.file = static_cast<uint64_t>(st.st_ino);
  id.size = static_cast<uint64_t>(st.st_size);
  id.modified = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
  return id;
}

FileKind KindOf(mode_t mode) {
  if (S_ISREG(mode)) return FileKind::kRegular;
  if (S_ISDIR(mode)) return FileKind::kDirectory;
  if (S_ISFIFO(mode)) return FileKind::kFifo;
  if (S_ISCHR(mode)) return FileKind::kCharDevice;
  if (S_ISBLK(mode)) return FileKind::kBlockDevice;
  if (S_ISSOCK(mode)) return FileKind::kSocket;
  return FileKind::kOther;
}

// The permission bits of a new file, read without changing the mask where the kernel tells it,
// since a umask() round trip would hand other threads a zero mask for a moment.
mode_t NewFileMode() {
  mode_t mask = 022;
  bool known = false;
  if (FILE* status = fopen("/proc/self/status", "re")) {
    char line[128];
    unsigned value = 0;
    while (fgets(line, sizeof line, status) != nullptr) {
      if (sscanf(line, "Umask: %o", &value) == 1) {
        mask = static_cast<mode_t>(value);
        known = true;
        break;
      }
    }
    fclose(status);
  }
  if (!known) {
    mask = umask(0);
    umask(mask);
  }
  return 0666 & ~mask;
}

// Creates a new file at a random name in dir, open for reading and writing and held as kCreate
// holds a file; its path in name. A name that is taken is skipped, and so is one whose file a
// cleaner took between the create and the locks (it holds a lock, or the name no longer leads to
// this file): the cleaner removes it. -1 with *error on failure.
int CreateNamedFile(const char* dir, const char* prefix, char* name, FileError* error) {
  if (dir[0] == '\0') {
    Fail(error, FileError::kNotFound);
    return -1;
  }
  for (int attempt = 0; attempt < temp_name::kAttempts; ++attempt) {
    uint32_t unique = 0;
    if (!temp_name::Next(&unique)) {
      Fail(error, FileError::kOther);
      return -1;
    }
    if (!temp_name::Format(dir, prefix, unique, name)) {
      Fail(error, FileError::kTooLong);
      return -1;
    }
    int fd = open(name, O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      FailErrno(error);
      return -1;
    }
    struct stat held;
    struct stat named;
    if (ApplySharing(fd, AccessOf(OpenMode::kCreate)) && fstat(fd, &held) == 0 &&
        lstat(name, &named) == 0 && held.st_dev == named.st_dev && held.st_ino == named.st_ino) {
      Succeed(error);
      return fd;
    }
    close(fd);
  }
  Fail(error, FileError::kExists);
  return -1;
}

// An unnamed file in dir (O_TMPFILE); linkable unless it is to stay unnamed. -1 with errno
// set when the file system or the kernel cannot make one.
int CreateUnnamedFile(const char* dir, bool linkable) {
  int flags = O_TMPFILE | O_RDWR | O_CLOEXEC | (linkable ? 0 : O_EXCL);
  int fd = open(dir, flags, 0600);
  if (fd < 0) return -1;
  if (!ApplySharing(fd, AccessOf(OpenMode::kCreate))) {
    close(fd);
    errno = EAGAIN;
    return -1;
  }
  return fd;
}

// Errors of an O_TMPFILE open that mean "not here": a kernel without it (EISDIR, since the flag
// contains O_DIRECTORY), or a file system without it.
bool NoUnnamedFiles(int e) { return e == EOPNOTSUPP || e == EISDIR || e == EINVAL || e == EAGAIN; }

// Blocks SIGPIPE for the calling thread while it writes to a stream whose reader may be gone,
// so that the write fails with EPIPE instead of ending the process; a SIGPIPE raised meanwhile
// is taken back before the mask is restored.
class PipeSignalGuard {
 public:
  PipeSignalGuard() {
    sigemptyset(&pipe_);
    sigaddset(&pipe_, SIGPIPE);
    sigset_t pending;
    sigpending(&pending);
    was_pending_ = sigismember(&pending, SIGPIPE) == 1;
    pthread_sigmask(SIG_BLOCK, &pipe_, &saved_);
  }
  ~PipeSignalGuard() {
    sigset_t pending;
    if (!was_pending_ && sigpending(&pending) == 0 && sigismember(&pending, SIGPIPE) == 1) {
      struct timespec none = {0, 0};
      while (sigtimedwait(&pipe_, nullptr, &none) < 0 && errno == EINTR) {
      }
    }
    pthread_sigmask(SIG_SETMASK, &saved_, nullptr);
  }
  PipeSignalGuard(const PipeSignalGuard&) = delete;
  PipeSignalGuard& operator=(const PipeSignalGuard&) = delete;

 private:
  sigset_t pipe_;
  sigset_t saved_;
  bool was_pending_ = false;
};

// Writes all length bytes at offset; false with errno set.
bool WriteAllAt(int fd, const uint8_t* data, size_t length, off_t offset) {
  while (length > 0) {
    ssize_t n = pwrite(fd, data, length, offset);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) {
      errno = EIO;
      return false;
    }
    data += n;
    offset += n;
    length -= static_cast<size_t>(n);
  }
  return true;
}

// A stream socket connected to the socket file at path; -1 with errno set.
int ConnectSocket(const char* path) {
  struct sockaddr_un address = {};
  address.sun_family = AF_UNIX;
  if (strlen(path) >= sizeof address.sun_path) {
    errno = ENAMETOOLONG;
    return -1;
  }
  strcpy(address.sun_path, path);
  int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  int rc;
  do {
    rc = connect(fd, reinterpret_cast<const struct sockaddr*>(&address), sizeof address);
  } while (rc != 0 && errno == EINTR);
  if (rc != 0) {
    int e = errno;
    close(fd);
    errno = e;
    return -1;
  }
  return fd;
}

// Whether this process may write the file st describes at path: the system's answer for the
// effective user, except that a file without any write permission bit stays read-only to the
// superuser too, who would otherwise write it regardless.
bool MayWrite(const char* path, const struct stat& st) {
  if (S_ISDIR(st.st_mode)) return faccessat(AT_FDCWD, path, W_OK | X_OK, AT_EACCESS) == 0;
  if (faccessat(AT_FDCWD, path, W_OK, AT_EACCESS) != 0) return false;
  return (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0;
}

// Shared by every session of the process and never destroyed, so that a block freed during the
// process's exit still has somewhere to go.
BlockPool* Pool() {
  static BlockPool* pool = new BlockPool;
  return pool;
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
    return new PlatformFile(fd, mode != OpenMode::kRead, false);
  }

  bool Seek(FileHandle file, uint32_t offset, SeekMode mode, uint32_t* new_position) override {
    if (file->stream) return false;
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
    if (file->stream) {
      PipeSignalGuard guard;
      bool ok = posix_io::WriteAll(file->fd, p, length);
      *count = ok ? length : 0;
      return ok;
    }
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

  // A stream has nothing of its own to flush.
  bool Sync(FileHandle file) override { return file->stream || fsync(file->fd) == 0; }

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
    int fd = CreateNamedFile(dir, prefix, out, nullptr);
    if (fd < 0) return false;
    close(fd);
    return true;
  }

  bool IdentityOf(FileHandle file, FileIdentity* identity, FileError* error) override {
    struct stat st;
    if (fstat(file->fd, &st) != 0) return FailErrno(error);
    *identity = IdentityFromStat(st);
    return Succeed(error);
  }

  bool Inspect(const char* path, FileInfo* info, FileError* error) override {
    *info = FileInfo();
    struct stat st;
    if (lstat(path, &st) != 0) return errno == ENOENT ? Succeed(error) : FailErrno(error);
    info->symlink = S_ISLNK(st.st_mode);
    if (info->symlink && stat(path, &st) != 0) {
      return errno == ENOENT ? Succeed(error) : FailErrno(error);
    }
    info->kind = KindOf(st.st_mode);
    info->links = static_cast<uint32_t>(st.st_nlink);
    info->writable = MayWrite(path, st);
    info->identity = IdentityFromStat(st);
    return Succeed(error);
  }

  bool ResolveLink(const char* path, char* out, FileError* error) override {
    // Symbolic links allowed on the way, as the kernel allows (MAXSYMLINKS).
    constexpr int kMaxHops = 40;
    if (strnlen(path, kMaxPath) >= kMaxPath) return Fail(error, FileError::kTooLong);
    strcpy(out, path);
    for (int hop = 0; hop <= kMaxHops; ++hop) {
      struct stat st;
      if (lstat(out, &st) != 0) return errno == ENOENT ? Succeed(error) : FailErrno(error);
      if (!S_ISLNK(st.st_mode)) return Succeed(error);
      // The links of /proc name a process's open files and places, not paths: /dev/stdout
      // redirected to a file would otherwise have that file replaced by name.
      if (strncmp(out, "/proc/", 6) == 0) return Fail(error, FileError::kUnsupported);
      if (hop == kMaxHops) break;
      char target[kMaxPath];
      ssize_t n = readlink(out, target, sizeof target);
      if (n < 0) return FailErrno(error);
      if (static_cast<size_t>(n) >= sizeof target) return Fail(error, FileError::kTooLong);
      target[n] = '\0';
      const char* slash = strrchr(out, '/');
      if (target[0] == '/' || slash == nullptr) {
        strcpy(out, target);
        continue;
      }
      // A relative target is taken from the directory of the link that holds it.
      size_t dir_length = static_cast<size_t>(slash - out) + 1;
      if (dir_length + static_cast<size_t>(n) >= kMaxPath) return Fail(error, FileError::kTooLong);
      memcpy(out + dir_length, target, static_cast<size_t>(n) + 1);
    }
    return Fail(error, FileError::kLinkLoop);
  }

  bool KeepAttributes(FileHandle file, const char* like, FileError* error) override {
    struct stat st;
    if (stat(like, &st) != 0) {
      if (errno != ENOENT) return FailErrno(error);
      return fchmod(file->fd, NewFileMode()) == 0 ? Succeed(error) : FailErrno(error);
    }
    // Owner and group first: a change of owner clears the set-user-ID and set-group-ID bits that
    // the permissions below then restore. Only the superuser may give a file away; any owner may
    // give it a group of their own.
    if (fchown(file->fd, st.st_uid, st.st_gid) != 0)
      fchown(file->fd, static_cast<uid_t>(-1), st.st_gid);
    return fchmod(file->fd, st.st_mode & 07777) == 0 ? Succeed(error) : FailErrno(error);
  }

  LockResult TryLockWriters(FileHandle file, FileError* error) override {
    if (!file->writable) {
      Fail(error, FileError::kAccessDenied);
      return LockResult::kFailed;
    }
    if (file->writers_locked) {
      Succeed(error);
      return LockResult::kLocked;
    }
    if (LockRange(file->fd, F_WRLCK, share_bytes::kWriters, 1)) {
      file->writers_locked = true;
      Succeed(error);
      return LockResult::kLocked;
    }
    if (errno == EAGAIN || errno == EACCES) {
      Succeed(error);
      return LockResult::kBusy;
    }
    FailErrno(error);
    return LockResult::kFailed;
  }

  bool UnlockWriters(FileHandle file) override {
    if (!file->writers_locked) return true;
    if (!LockRange(file->fd, F_UNLCK, share_bytes::kWriters, 1)) return false;
    file->writers_locked = false;
    return true;
  }

  FileHandle CreateTempFile(const char* dir, const char* prefix, TempKind kind, char* name,
                            FileError* error) override {
    // Whatever kind is made, its name, if it needs one, must fit.
    if (!temp_name::Format(dir, prefix, 0, name)) {
      name[0] = '\0';
      Fail(error, FileError::kTooLong);
      return nullptr;
    }
    name[0] = '\0';
    if (kind != TempKind::kNamed && strlen(prefix) < sizeof(PlatformFile::link_prefix)) {
      int fd = CreateUnnamedFile(dir, kind == TempKind::kLinkable);
      if (fd >= 0) {
        Succeed(error);
        FileHandle file = new PlatformFile(fd, true, false);
        strcpy(file->link_prefix, prefix);
        return file;
      }
      if (!NoUnnamedFiles(errno)) {
        FailErrno(error);
        return nullptr;
      }
    }
    int fd = CreateNamedFile(dir, prefix, name, error);
    if (fd < 0) {
      name[0] = '\0';
      return nullptr;
    }
    return new PlatformFile(fd, true, false);
  }

  bool LinkIntoPlace(FileHandle file, const char* name, const char* to, FileError* error) override {
    if (name[0] != '\0') {
      if (rename(name, to) != 0) return FailErrno(error);
      SyncDirectoryOf(to);
      return Succeed(error);
    }
    char dir[kMaxPath];
    if (!DirectoryOf(to, dir)) return Fail(error, FileError::kTooLong);
    // linkat of /proc/self/fd/N is the way an unprivileged process names an unnamed file; where
    // /proc is missing the bytes go to a named file instead.
    char proc[64];
    snprintf(proc, sizeof proc, "/proc/self/fd/%d", file->fd);
    char linked[kMaxPath];
    bool have_link = false;
    for (int attempt = 0; attempt < temp_name::kAttempts && !have_link; ++attempt) {
      uint32_t unique = 0;
      if (!temp_name::Next(&unique)) return Fail(error, FileError::kOther);
      if (!temp_name::Format(dir, file->link_prefix, unique, linked)) {
        return Fail(error, FileError::kTooLong);
      }
      if (linkat(AT_FDCWD, proc, AT_FDCWD, linked, AT_SYMLINK_FOLLOW) == 0) {
        have_link = true;
      } else if (errno != EEXIST) {
        break;
      }
    }
    if (!have_link) {
      int e = errno;
      if (e != ENOENT && e != EPERM && e != EOPNOTSUPP) return FailErrno(error);
      int copy = CreateNamedFile(dir, file->link_prefix, linked, error);
      if (copy < 0) return false;
      PlatformFile copied(copy, true, false);
      bool ok = CopyContents(file, &copied, error);
      if (ok && fsync(copy) != 0) ok = FailErrno(error);
      close(copy);
      if (!ok) {
        unlink(linked);
        return false;
      }
    }
    if (rename(linked, to) != 0) {
      int e = errno;
      unlink(linked);
      return Fail(error, ErrorFromErrno(e));
    }
    SyncDirectoryOf(to);
    return Succeed(error);
  }

  bool CopyContents(FileHandle from, FileHandle to, FileError* error) override {
    static constexpr size_t kChunk = 65536;
    uint8_t* chunk = static_cast<uint8_t*>(malloc(kChunk));
    if (chunk == nullptr) return Fail(error, FileError::kOther);
    bool ok = true;
    off_t at = 0;
    for (;;) {
      ssize_t n = pread(from->fd, chunk, kChunk, at);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) ok = FailErrno(error);
      if (n <= 0) break;
      int write_error = 0;
      if (to->stream) {
        PipeSignalGuard guard;
        if (!posix_io::WriteAll(to->fd, chunk, static_cast<size_t>(n))) write_error = errno;
      } else if (!WriteAllAt(to->fd, chunk, static_cast<size_t>(n), at)) {
        write_error = errno;
      }
      if (write_error != 0) {
        ok = Fail(error, ErrorFromErrno(write_error));
        break;
      }
      at += n;
    }
    free(chunk);
    if (ok && !to->stream && ftruncate(to->fd, at) != 0) ok = FailErrno(error);
    from->position = at;
    to->position = at;
    return ok ? Succeed(error) : false;
  }

  FileHandle OpenToWriteInto(const char* path, FileError* error) override {
    // The kind decides the open: a regular file is opened for reading too, which its sharing
    // locks need, while a FIFO opened so would not wait for its reader.
    struct stat st;
    if (stat(path, &st) != 0) {
      FailErrno(error);
      return nullptr;
    }
    if (S_ISDIR(st.st_mode)) {
      Fail(error, FileError::kIsADirectory);
      return nullptr;
    }
    int fd;
    if (S_ISSOCK(st.st_mode)) {
      fd = ConnectSocket(path);
    } else {
      int flags = (S_ISREG(st.st_mode) ? O_RDWR : O_WRONLY) | O_NOCTTY | O_CLOEXEC;
      do {
        fd = open(path, flags);
      } while (fd < 0 && errno == EINTR);
    }
    if (fd < 0) {
      FailErrno(error);
      return nullptr;
    }
    struct stat opened;
    if (fstat(fd, &opened) != 0 || KindOf(opened.st_mode) != KindOf(st.st_mode)) {
      close(fd);
      Fail(error, FileError::kOther);
      return nullptr;
    }
    bool regular = S_ISREG(opened.st_mode);
    if (regular && !ApplySharing(fd, {true, true, false, false})) {
      close(fd);
      Fail(error, FileError::kSharingViolation);
      return nullptr;
    }
    Succeed(error);
    return new PlatformFile(fd, true, !regular);
  }

  bool ListDirectory(const char* dir, const char* prefix, const char* suffix, NameVisitor visit,
                     void* context, FileError* error) override {
    DIR* listing = opendir(dir);
    if (listing == nullptr) return FailErrno(error);
    size_t prefix_length = strlen(prefix);
    size_t suffix_length = strlen(suffix);
    for (;;) {
      errno = 0;
      struct dirent* entry = readdir(listing);
      if (entry == nullptr) break;
      const char* name = entry->d_name;
      size_t length = strlen(name);
      if (length < prefix_length + suffix_length || strncmp(name, prefix, prefix_length) != 0 ||
          strcmp(name + length - suffix_length, suffix) != 0) {
        continue;
      }
      if (!visit(name, context)) break;
    }
    int e = errno;
    closedir(listing);
    return e == 0 ? Succeed(error) : Fail(error, ErrorFromErrno(e));
  }

  bool IsHeld(const char* path, bool* held, FileError* error) override {
    int fd = OpenRegularNoFollow(path, O_RDONLY, error);
    if (fd < 0) return false;
    bool ok = AnyProtocolLock(fd, held) ? Succeed(error) : FailErrno(error);
    close(fd);
    return ok;
  }

  bool RemoveIfUnheld(const char* path, bool* removed, FileError* error) override {
    *removed = false;
    int fd = OpenRegularNoFollow(path, O_RDWR, error);
    if (fd < 0) return false;
    // A write lock on the whole range: no open may take a lock of the protocol while it is held,
    // and none holds one now.
    bool ok = true;
    if (!LockRange(fd, F_WRLCK, share_bytes::kBase, share_bytes::kCount)) {
      ok = (errno == EAGAIN || errno == EACCES) ? Succeed(error) : FailErrno(error);
    } else {
      struct stat held;
      struct stat named;
      if (fstat(fd, &held) == 0 && lstat(path, &named) == 0 && held.st_dev == named.st_dev &&
          held.st_ino == named.st_ino) {
        if (unlink(path) == 0) {
          *removed = true;
        } else {
          ok = FailErrno(error);
        }
      }
      if (ok) Succeed(error);
    }
    close(fd);
    return ok;
  }

  uint64_t NowMilliseconds() override {
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<uint64_t>(now.tv_sec) * 1000 + static_cast<uint64_t>(now.tv_nsec) / 1000000;
  }

  void SleepMilliseconds(uint32_t milliseconds) override {
    struct timespec left = {static_cast<time_t>(milliseconds / 1000),
                            static_cast<long>(milliseconds % 1000) * 1000000};
    while (nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
  }

  void* AllocBlock(size_t size) override { return Pool()->Alloc(size); }
  void FreeBlock(void* block) override { Pool()->Free(block); }

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
  // Opens the regular file at path, not through a symbolic link; -1 with *error otherwise.
  static int OpenRegularNoFollow(const char* path, int access, FileError* error) {
    int fd = open(path, access | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
      Fail(error, errno == ELOOP ? FileError::kUnsupported : ErrorFromErrno(errno));
      return -1;
    }
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
      close(fd);
      Fail(error, FileError::kUnsupported);
      return -1;
    }
    return fd;
  }
};

}  // namespace

Env* Env::Default() {
  static PosixEnv env;
  return &env;
}

void PosixEnvTestHelper::SetNextTempUnique(unsigned unique) { temp_name::SetNext(unique); }

namespace temp_name {

bool RandomBytes(void* buffer, size_t length) {
  uint8_t* p = static_cast<uint8_t*>(buffer);
  while (length > 0) {
    ssize_t n = getrandom(p, length, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    p += n;
    length -= static_cast<size_t>(n);
  }
  return true;
}

}  // namespace temp_name

}  // namespace telbook
