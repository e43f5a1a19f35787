// The Windows Env: the file, temporary-name, global-memory and registry calls of the Win32 API,
// and the one place where a Windows error code is translated for the layers above.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// The Env's operations share names with these A/W-selecting macros of windows.h.
#undef CopyFile
#undef DeleteFile
#undef ReplaceFile

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "platform/env.h"

namespace telbook {

struct PlatformFile {
  HANDLE handle;
};

struct PlatformKey {
  HKEY key;
};

namespace {

// Access, sharing and disposition of each open mode. Create lets others read what is being
// written; update and read let others read and write the same file.
struct OpenFlags {
  DWORD access;
  DWORD share;
  DWORD disposition;
};

OpenFlags FlagsOf(OpenMode mode) {
  switch (mode) {
    case OpenMode::kCreate:
      return {GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, CREATE_ALWAYS};
    case OpenMode::kUpdate:
      return {GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING};
    case OpenMode::kRead:
    default:
      return {GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING};
  }
}

// Memory blocks are movable global memory, locked for as long as they are owned.
constexpr UINT kBlockFlags = GMEM_MOVEABLE | GMEM_ZEROINIT | GMEM_DDESHARE;

class Win32Env final : public Env {
 public:
  FileHandle OpenFile(const char* path, OpenMode mode, OpenError* error) override {
    const OpenFlags flags = FlagsOf(mode);
    HANDLE handle = CreateFileA(path, flags.access, flags.share, nullptr, flags.disposition,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
      *error = GetLastError() == ERROR_SHARING_VIOLATION ? OpenError::kSharingViolation
                                                         : OpenError::kOther;
      return nullptr;
    }
    *error = OpenError::kNone;
    return new PlatformFile{handle};
  }

  // Positions past 4 GiB cannot be expressed in the file format and count as failures.
  bool Seek(FileHandle file, uint32_t offset, SeekMode mode, uint32_t* new_position) override {
    LONG high = 0;
    LONG low = mode == SeekMode::kEnd ? 0 : static_cast<LONG>(offset);
    DWORD method = mode == SeekMode::kEnd ? FILE_END : FILE_BEGIN;
    SetLastError(NO_ERROR);
    DWORD where = SetFilePointer(file->handle, low, &high, method);
    if (where == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR) return false;
    if (high != 0) return false;
    *new_position = where;
    return true;
  }

  bool Read(FileHandle file, void* buffer, uint32_t length, uint32_t* count) override {
    DWORD done = 0;
    BOOL ok = ReadFile(file->handle, buffer, length, &done, nullptr);
    *count = done;
    return ok != FALSE;
  }

  bool Write(FileHandle file, const void* buffer, uint32_t length, uint32_t* count) override {
    DWORD done = 0;
    BOOL ok = WriteFile(file->handle, buffer, length, &done, nullptr);
    *count = done;
    return ok != FALSE;
  }

  bool Sync(FileHandle file) override { return FlushFileBuffers(file->handle) != FALSE; }

  bool Close(FileHandle file) override {
    if (file == nullptr) return false;
    BOOL ok = CloseHandle(file->handle);
    delete file;
    return ok != FALSE;
  }

  bool CopyFile(const char* from, const char* to, bool fail_if_exists) override {
    return CopyFileA(from, to, fail_if_exists ? TRUE : FALSE) != FALSE;
  }

  bool DeleteFile(const char* path) override { return DeleteFileA(path) != FALSE; }

  bool ClearReadOnly(const char* path) override {
    DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) return false;
    if ((attributes & FILE_ATTRIBUTE_READONLY) == 0) return true;
    return SetFileAttributesA(path, attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY)) !=
           FALSE;
  }

  bool ReplaceFile(const char* from, const char* to) override {
    return MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
  }

  // GetTempPathA answers with a trailing backslash; a longer answer than fits is a failure.
  bool TempDirectory(char* out) override {
    DWORD n = GetTempPathA(static_cast<DWORD>(kMaxPath), out);
    return n != 0 && n < kMaxPath;
  }

  // Unique number 0: the system picks the name and creates the empty file, never reusing one.
  bool MakeTempFile(const char* dir, const char* prefix, char* out) override {
    return GetTempFileNameA(dir, prefix, 0, out) != 0;
  }

  void* AllocBlock(size_t size) override {
    HGLOBAL memory = GlobalAlloc(kBlockFlags, size);
    if (memory == nullptr) return nullptr;
    void* block = GlobalLock(memory);
    if (block == nullptr) {
      GlobalFree(memory);
      return nullptr;
    }
    return block;
  }

  void FreeBlock(void* block) override {
    if (block == nullptr) return;
    HGLOBAL memory = GlobalHandle(block);
    if (memory == nullptr) return;
    GlobalUnlock(memory);
    GlobalFree(memory);
  }

  KeyHandle OpenKey(const char* path, bool create) override {
    HKEY key = nullptr;
    LONG rc;
    if (create) {
      rc = RegCreateKeyExA(HKEY_CURRENT_USER, path, 0, nullptr, REG_OPTION_NON_VOLATILE,
                           KEY_READ | KEY_WRITE, nullptr, &key, nullptr);
    } else {
      // Loading needs read access only: a key the user may read but not write still loads.
      rc = RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, KEY_READ, &key);
    }
    if (rc != ERROR_SUCCESS) return nullptr;
    return new PlatformKey{key};
  }

  bool QueryValue(KeyHandle key, const char* name, void* buffer, uint32_t capacity,
                  uint32_t* length) override {
    if (key == nullptr) return false;
    DWORD type = 0;
    DWORD size = capacity;
    LONG rc = RegQueryValueExA(key->key, name, nullptr, &type, static_cast<BYTE*>(buffer), &size);
    if (rc != ERROR_SUCCESS || size > capacity) return false;
    if (length != nullptr) *length = size;
    return true;
  }

  // Stores exactly length bytes. RegSetValueExA looks one byte past a string that does not end
  // in a zero and, finding a zero there, stores it too; the data is therefore handed over with a
  // non-zero byte behind it.
  bool SetValue(KeyHandle key, const char* name, const void* data, uint32_t length) override {
    if (key == nullptr || (data == nullptr && length != 0)) return false;
    BYTE* copy = static_cast<BYTE*>(malloc(static_cast<size_t>(length) + 1));
    if (copy == nullptr) return false;
    if (length != 0) memcpy(copy, data, length);
    copy[length] = 0xFF;
    LONG rc = RegSetValueExA(key->key, name, 0, REG_SZ, copy, length);
    free(copy);
    return rc == ERROR_SUCCESS;
  }

  void CloseKey(KeyHandle key) override {
    if (key == nullptr) return;
    RegCloseKey(key->key);
    delete key;
  }
};

}  // namespace

Env* Env::Default() {
  static Win32Env env;
  return &env;
}

}  // namespace telbook
