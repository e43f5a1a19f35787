// The library's one door to the operating system: files with sharing rules and locks, temporary
// files, memory blocks, the registry and the clock. Nothing outside platform/ calls the OS.
#ifndef TELBOOK_PLATFORM_ENV_H_
#define TELBOOK_PLATFORM_ENV_H_

#include <cstddef>
#include <cstdint>

namespace telbook {

// Longest path the library handles, terminator included (the Windows MAX_PATH).
constexpr size_t kMaxPath = 260;

// An open file. Each implementation defines it; null stands for no file.
struct PlatformFile;
using FileHandle = PlatformFile*;

enum class OpenMode : uint16_t {
  kRead = 0,    // existing file; read access; others may read and write
  kCreate = 1,  // replaces any file; read and write access; others may read
  kUpdate = 2,  // existing file; read and write access; others may read and write
};

// Why an open failed, translated from the OS error in one place.
enum class OpenError {
  kNone,
  kSharingViolation,  // another open holds the file without the sharing this one needs
  kOther,
};

enum class SeekMode { kBegin, kEnd };

// Why one of the calls below failed, translated from the OS error in one place per platform.
enum class FileError {
  kNone,
  kNotFound,          // the file, or a directory on the way to it, does not exist
  kNotADirectory,     // a part of the path that must be a directory is not one
  kIsADirectory,      // the path names a directory where a file is wanted
  kAccessDenied,      // permissions or the read-only attribute forbid it
  kReadOnlyVolume,    // the file system is mounted read-only
  kExists,            // the name is taken
  kSharingViolation,  // another open holds the file without the sharing this one needs
  kNoSpace,           // the device or the user's quota is full
  kTooLong,           // a path longer than kMaxPath or than the system takes
  kLinkLoop,          // too many symbolic links on the way
  kUnsupported,       // the file system or this kind of file cannot do it
  kOther,
};

// What tells one file and one state of its content from another. POSIX: device, inode, size and
// modification time in nanoseconds; Windows: volume serial number, file index, size and
// last-write time in 100-nanosecond ticks.
struct FileIdentity {
  uint64_t device = 0;
  uint64_t file = 0;
  uint64_t size = 0;
  int64_t modified = 0;
};

// The same file, whatever its content: a file replaced by another one is not the same file.
inline bool SameFile(const FileIdentity& a, const FileIdentity& b) {
  return a.device == b.device && a.file == b.file;
}

// The same file, of the same size and modification time. An in-place change that keeps the size
// within one tick of the file system's clock is not seen.
inline bool Unchanged(const FileIdentity& a, const FileIdentity& b) {
  return SameFile(a, b) && a.size == b.size && a.modified == b.modified;
}

enum class FileKind {
  kMissing,
  kRegular,
  kDirectory,
  kFifo,
  kCharDevice,
  kBlockDevice,
  kSocket,
  kOther,
};

// What Inspect finds at a path, symbolic links followed.
struct FileInfo {
  FileKind kind = FileKind::kMissing;
  bool symlink = false;   // the path itself is a symbolic link
  uint32_t links = 0;     // hard links of the file
  bool writable = false;  // see Inspect
  FileIdentity identity;
};

// The outcome of trying the writers' lock.
enum class LockResult {
  kLocked,  // this handle holds it
  kBusy,    // another handle, in this process or another, holds it
  kFailed,  // the lock could not be tried; the FileError says why
};

// The temporary files CreateTempFile makes.
enum class TempKind {
  // A named file, left for its caller to delete.
  kNamed,
  // Goes away with its handle, even when the process is killed: unnamed where the file system
  // allows (Linux O_TMPFILE), deleted on close on Windows, else named.
  kScratch,
  // Unnamed where the file system allows, else named; LinkIntoPlace gives it its final name.
  kLinkable,
};

// Called for each name ListDirectory finds; false stops the listing.
using NameVisitor = bool (*)(const char* name, void* context);

// An open registry key below HKEY_CURRENT_USER.
struct PlatformKey;
using KeyHandle = PlatformKey*;

class Env {
 public:
  Env() = default;
  Env(const Env&) = delete;
  Env& operator=(const Env&) = delete;
  virtual ~Env() = default;

  // The process-wide environment of this platform.
  static Env* Default();

  // ---- Files ----
  // Null on failure, with *error telling a sharing violation from any other cause.
  virtual FileHandle OpenFile(const char* path, OpenMode mode, OpenError* error) = 0;
  // Moves to offset from the start (kBegin) or to the end (kEnd, offset ignored).
  virtual bool Seek(FileHandle file, uint32_t offset, SeekMode mode, uint32_t* new_position) = 0;
  // Both report the count of bytes moved; a short count is the caller's to judge.
  virtual bool Read(FileHandle file, void* buffer, uint32_t length, uint32_t* count) = 0;
  virtual bool Write(FileHandle file, const void* buffer, uint32_t length, uint32_t* count) = 0;
  // Flushes written data to the device.
  virtual bool Sync(FileHandle file) = 0;
  // The handle is gone afterwards whatever the result.
  virtual bool Close(FileHandle file) = 0;
  // Copies a whole file; with fail_if_exists an existing destination is refused untouched.
  virtual bool CopyFile(const char* from, const char* to, bool fail_if_exists) = 0;
  virtual bool DeleteFile(const char* path) = 0;
  // Clears the read-only attribute of a file when it is set.
  virtual bool ClearReadOnly(const char* path) = 0;
  // Puts `from` in the place of `to` in one step, replacing it; both in one directory.
  virtual bool ReplaceFile(const char* from, const char* to) = 0;
  // The directory for temporary files, with a trailing separator, into out[kMaxPath].
  virtual bool TempDirectory(char* out) = 0;
  // Creates a new, empty, uniquely named file in dir whose name begins with prefix, and writes
  // its path into out[kMaxPath]. Never follows or reuses anything already at the name.
  virtual bool MakeTempFile(const char* dir, const char* prefix, char* out) = 0;

  // ---- Files kept safe between writers ----
  // Every call below reports why it failed in *error (which may be null); kNone on success.

  // The identity of an open file.
  virtual bool IdentityOf(FileHandle file, FileIdentity* identity, FileError* error) = 0;
  // What is at path, symbolic links followed. A missing file, or a symbolic link to one, is no
  // failure: kind kMissing (with symlink set for the link). `writable` tells whether this process
  // may change the file: for a directory, whether it may make files in it; for anything else
  // whether it may write it, where a file without any write permission bit counts as read-only
  // even to the superuser (POSIX) and a file with the read-only attribute is read-only (Windows;
  // there a directory counts as writable, its access rules showing only when a file is made).
  virtual bool Inspect(const char* path, FileInfo* info, FileError* error) = 0;
  // Follows the symbolic links at the end of path and writes the path of the file they lead to
  // into out[kMaxPath], which may not exist (a dangling link leads to its target's name); a
  // path that is no link is copied as it is. A relative link is resolved against its own
  // directory. On Windows a link is answered with its target's full path. A link of Linux's
  // /proc on the way (/dev/stdout leads to one) names an open file, not a path: kUnsupported.
  virtual bool ResolveLink(const char* path, char* out, FileError* error) = 0;
  // Gives file the permissions of the file at `like` and, where this process may set them, its
  // owner and group (each kept apart: a group the user belongs to is kept when the owner cannot
  // be). With no file at `like`, file gets the permissions of any new file of the user.
  // Windows: nothing to do; a new file takes the access rules of its directory.
  virtual bool KeepAttributes(FileHandle file, const char* like, FileError* error) = 0;

  // The writers' lock: one byte of the sharing protocol's range (B+4) that only one handle at a
  // time may hold, between processes and between handles of one process; tried, never waited
  // for. The handle must have write access (kUpdate, kCreate, a temporary file or
  // OpenToWriteInto). Trying again through the handle that holds it answers kLocked. Closing the
  // handle, or the end of its process, lets the lock go. On Windows the same byte is locked with
  // LockFileEx; lying far past any data, it never stands in the way of a read or a write.
  virtual LockResult TryLockWriters(FileHandle file, FileError* error) = 0;
  virtual bool UnlockWriters(FileHandle file) = 0;

  // Creates a new temporary file in dir, open for reading and writing and held as kCreate holds
  // a file (others may read it, or delete it), named with prefix, random characters from the
  // system's random source and ".tmp". A name that is taken (by anything: a file, a link, a
  // directory) is never used; another is tried. Where the file has a name, its path goes into
  // name[kMaxPath]; name is empty for a file without one, or one that goes away with its handle. On
  // failure nothing is left and the error tells a missing directory (kNotFound), a non-directory
  // (kNotADirectory) and a directory this process may not write (kAccessDenied, kReadOnlyVolume)
  // apart.
  virtual FileHandle CreateTempFile(const char* dir, const char* prefix, TempKind kind, char* name,
                                    FileError* error) = 0;
  // Puts a complete temporary file of kind kLinkable, whose path CreateTempFile gave in name
  // (empty for an unnamed one), in the place of `to` in one step, replacing any file there, and
  // flushes the directory. `to` must be in the file's directory. An unnamed file is first linked
  // under a new temporary name beside `to`. The handle stays open and is closed by the caller.
  // On failure `to` is untouched and no new name is left; a named file keeps its name. Windows:
  // a file that any handle holds open cannot be replaced, delete sharing or not
  // (kSharingViolation): the caller may copy the bytes over it instead.
  virtual bool LinkIntoPlace(FileHandle file, const char* name, const char* to,
                             FileError* error) = 0;
  // Writes every byte of `from`, from its start, into `to`: a regular file is written from its
  // start and then cut to the length of `from`; anything else (a FIFO, a device, a socket) gets
  // the bytes in order. Flushes nothing. The positions of both handles are left undefined. On
  // failure `to` may hold any mix of old and new bytes.
  virtual bool CopyContents(FileHandle from, FileHandle to, FileError* error) = 0;
  // Opens an existing file of any kind but a directory, symbolic links followed, to write into
  // it as it stands: nothing is created, truncated or replaced. A regular file is held as
  // kUpdate holds it (others may read and write it); a FIFO blocks until it has a reader; a
  // socket is connected to (stream sockets only). Sync of anything but a regular file does
  // nothing.
  virtual FileHandle OpenToWriteInto(const char* path, FileError* error) = 0;

  // ---- Leftover temporary files ----
  // Calls visit with each name in dir (not its path) that begins with prefix and ends with
  // suffix, in no particular order.
  virtual bool ListDirectory(const char* dir, const char* prefix, const char* suffix,
                             NameVisitor visit, void* context, FileError* error) = 0;
  // Whether a live handle, of this process or another, holds the regular file at path (POSIX:
  // any lock of the sharing protocol's range, which every open of the library takes; Windows:
  // any open). A symbolic link is not followed: kUnsupported.
  virtual bool IsHeld(const char* path, bool* held, FileError* error) = 0;
  // Deletes the regular file at path unless a live handle holds it (as IsHeld), in one step with
  // that check, so that nothing opened meanwhile loses its file; *removed tells which.
  virtual bool RemoveIfUnheld(const char* path, bool* removed, FileError* error) = 0;

  // ---- Time, for waits with a bound ----
  // Milliseconds from an arbitrary start, never going back.
  virtual uint64_t NowMilliseconds() = 0;
  virtual void SleepMilliseconds(uint32_t milliseconds) = 0;

  // ---- Memory ----
  // A zero-filled block that does not move until freed; null when none can be had.
  virtual void* AllocBlock(size_t size) = 0;
  virtual void FreeBlock(void* block) = 0;

  // ---- Registry, below HKEY_CURRENT_USER ----
  // Opens an existing key for reading; with create, opens it for reading and writing and makes
  // missing keys on the way. Null on failure.
  virtual KeyHandle OpenKey(const char* path, bool create) = 0;
  // Reads a value's bytes into buffer; fails when the value is missing or longer than capacity.
  virtual bool QueryValue(KeyHandle key, const char* name, void* buffer, uint32_t capacity,
                          uint32_t* length) = 0;
  // Stores exactly length bytes as a string value; no terminator is added.
  virtual bool SetValue(KeyHandle key, const char* name, const void* data, uint32_t length) = 0;
  virtual void CloseKey(KeyHandle key) = 0;
};

// The environment new sessions are built with: Env::Default() unless a test installed another.
Env* SessionEnv();
// Installs env for sessions created from now on; null restores the default. For tests.
void SetSessionEnv(Env* env);

}  // namespace telbook

#endif  // TELBOOK_PLATFORM_ENV_H_
