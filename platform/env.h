// The library's one door to the operating system: files with sharing rules, temporary files,
// memory blocks and the registry. Nothing outside platform/ calls the OS directly.
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
