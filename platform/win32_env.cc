// The Windows Env: the file, lock, temporary-name, global-memory and registry calls of the Win32
// API, and the one place where a Windows error code is translated for the layers above.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// After windows.h: RtlGenRandom, the system's random source.
#include <ntsecapi.h>
// The Env's operations share names with these A/W-selecting macros of windows.h.
#undef CopyFile
#undef DeleteFile
#undef ReplaceFile

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/env.h"
#include "platform/share_bytes.h"
#include "platform/temp_name.h"

namespace telbook {

// A stream is a console, a device or a pipe: written in order, with nothing to flush.
struct PlatformFile {
  PlatformFile(HANDLE h, bool write_access, bool is_stream)
      : handle(h), stream(is_stream), writable(write_access) {}

  HANDLE handle;
  bool stream;
  bool writable;
  bool writers_locked = false;
};

struct PlatformKey {
  HKEY key;
};

namespace {

// Access, sharing and disposition of each open mode. Create lets others read what is being
// written; update and read let others read and write the same file. Every open also lets others
// delete or rename the file, as POSIX does. A file that any handle holds open is replaced only by
// a rename with POSIX semantics (Windows 10 1709 and later, NTFS); elsewhere a save writes its
// finished bytes into the held file instead.
struct OpenFlags {
  DWORD access;
  DWORD share;
  DWORD disposition;
};

OpenFlags FlagsOf(OpenMode mode) {
  switch (mode) {
    case OpenMode::kCreate:
      return {GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, CREATE_ALWAYS};
    case OpenMode::kUpdate:
      return {GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
              OPEN_EXISTING};
    case OpenMode::kRead:
    default:
      return {GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, OPEN_EXISTING};
  }
}

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// The one translation of a Windows error for the calls that report a FileError.
FileError ErrorFromWin32(DWORD e) {
  switch (e) {
    case NO_ERROR:
      return FileError::kNone;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_BAD_NETPATH:
      return FileError::kNotFound;
    case ERROR_DIRECTORY:
      return FileError::kNotADirectory;
    case ERROR_ACCESS_DENIED:
      return FileError::kAccessDenied;
    case ERROR_WRITE_PROTECT:
      return FileError::kReadOnlyVolume;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
      return FileError::kExists;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
      return FileError::kSharingViolation;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return FileError::kNoSpace;
    case ERROR_FILENAME_EXCED_RANGE:
    case ERROR_BUFFER_OVERFLOW:
      return FileError::kTooLong;
    case ERROR_CANT_RESOLVE_FILENAME:
      return FileError::kLinkLoop;
    case ERROR_NOT_SUPPORTED:
    case ERROR_INVALID_FUNCTION:
    case ERROR_NOT_SAME_DEVICE:
      return FileError::kUnsupported;
    default:
      return FileError::kOther;
  }
}

bool Fail(FileError* error, FileError cause) {
  if (error != nullptr) *error = cause;
  return false;
}
bool FailLastError(FileError* error) { return Fail(error, ErrorFromWin32(GetLastError())); }
bool Succeed(FileError* error) {
  if (error != nullptr) *error = FileError::kNone;
  return true;
}

bool IsDirectoryAt(const char* path) {
  DWORD attributes = GetFileAttributesA(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

FileIdentity IdentityFromInfo(const BY_HANDLE_FILE_INFORMATION& info) {
  FileIdentity id;
  id.device = info.dwVolumeSerialNumber;
  id.file = static_cast<uint64_t>(info.nFileIndexHigh) << 32 | info.nFileIndexLow;
  id.size = static_cast<uint64_t>(info.nFileSizeHigh) << 32 | info.nFileSizeLow;
  id.modified =
      static_cast<int64_t>(static_cast<uint64_t>(info.ftLastWriteTime.dwHighDateTime) << 32 |
                           info.ftLastWriteTime.dwLowDateTime);
  return id;
}

// Named pipes are reached below \\.\pipe\; opening one to look at it would take one of its
// instances, so they are known by name.
bool IsPipeName(const char* path) {
  return _strnicmp(path, "\\\\.\\pipe\\", 9) == 0 || _strnicmp(path, "\\\\?\\pipe\\", 9) == 0;
}

// Opens what is at path only to ask about it, links followed, directories included.
HANDLE OpenToQuery(const char* path) {
  return CreateFileA(path, 0, kShareAll, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS,
                     nullptr);
}

// Creates a new file at a random name in dir; its path in name. A taken name is skipped, and so
// is one where the system refuses access while something is there (a directory, a file being
// deleted). INVALID_HANDLE_VALUE with *error on failure.
HANDLE CreateNamedFile(const char* dir, const char* prefix, DWORD access, DWORD flags, char* name,
                       FileError* error) {
  if (dir[0] == '\0') {
    Fail(error, FileError::kNotFound);
    return INVALID_HANDLE_VALUE;
  }
  for (int attempt = 0; attempt < temp_name::kAttempts; ++attempt) {
    uint32_t unique = 0;
    if (!temp_name::Next(&unique)) {
      Fail(error, FileError::kOther);
      return INVALID_HANDLE_VALUE;
    }
    if (!temp_name::Format(dir, prefix, unique, name)) {
      Fail(error, FileError::kTooLong);
      return INVALID_HANDLE_VALUE;
    }
    HANDLE handle = CreateFileA(name, access, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                CREATE_NEW, flags, nullptr);
    if (handle != INVALID_HANDLE_VALUE) {
      Succeed(error);
      return handle;
    }
    DWORD e = GetLastError();
    if (e == ERROR_FILE_EXISTS || e == ERROR_ALREADY_EXISTS) continue;
    if (e == ERROR_ACCESS_DENIED && GetFileAttributesA(name) != INVALID_FILE_ATTRIBUTES) continue;
    Fail(error, ErrorFromWin32(e));
    return INVALID_HANDLE_VALUE;
  }
  Fail(error, FileError::kExists);
  return INVALID_HANDLE_VALUE;
}

bool SetPosition(HANDLE handle, int64_t offset) {
  LARGE_INTEGER to;
  to.QuadPart = offset;
  return SetFilePointerEx(handle, to, nullptr, FILE_BEGIN) != FALSE;
}

bool WriteAll(HANDLE handle, const uint8_t* data, DWORD length) {
  while (length > 0) {
    DWORD done = 0;
    if (!WriteFile(handle, data, length, &done, nullptr)) return false;
    if (done == 0) {
      SetLastError(ERROR_WRITE_FAULT);
      return false;
    }
    data += done;
    length -= done;
  }
  return true;
}

// A file whose reparse point is not followed: IsHeld and RemoveIfUnheld never reach through a
// link planted at a temporary name.
constexpr DWORD kNoFollow = FILE_FLAG_OPEN_REPARSE_POINT;

// Whether a handle holds the plain, writable file at path open: an open sharing nothing fails.
bool IsHeldOpen(const char* path) {
  DWORD attributes = GetFileAttributesA(path);
  if (attributes == INVALID_FILE_ATTRIBUTES ||
      (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) != 0) {
    return false;
  }
  HANDLE handle = CreateFileA(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (handle != INVALID_HANDLE_VALUE) {
    CloseHandle(handle);
    return false;
  }
  return GetLastError() == ERROR_SHARING_VIOLATION;
}

// FILE_RENAME_INFO as FileRenameInfoEx reads it (Windows 10 1607 and later): a word of flags
// where the older class has its one BOOLEAN. The SDK headers show it only to newer targets.
struct RenameInfoEx {
  DWORD flags;
  HANDLE root;
  DWORD name_bytes;
  WCHAR name[4 * kMaxPath];
};
static_assert(offsetof(RenameInfoEx, root) == offsetof(FILE_RENAME_INFO, RootDirectory), "");
static_assert(offsetof(RenameInfoEx, name_bytes) == offsetof(FILE_RENAME_INFO, FileNameLength), "");
static_assert(offsetof(RenameInfoEx, name) == offsetof(FILE_RENAME_INFO, FileName), "");
constexpr FILE_INFO_BY_HANDLE_CLASS kFileRenameInfoEx = static_cast<FILE_INFO_BY_HANDLE_CLASS>(22);
constexpr DWORD kRenameReplaceIfExists = 0x1;
constexpr DWORD kRenamePosixSemantics = 0x2;

// Renames the file open at handle (with delete access) over to, in one step, though other
// handles hold to open: with POSIX semantics (Windows 10 1709 and later, on NTFS) the name moves
// to the new file and the holders keep the old one, where each of them lets others delete it.
// False, with nothing changed, where the system or the file system has no such rename (it
// answers ERROR_INVALID_PARAMETER or ERROR_NOT_SUPPORTED) or a holder does not share deletion.
bool RenameOverHeld(HANDLE handle, const char* to) {
  WCHAR wide[kMaxPath];
  if (MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, to, -1, wide, kMaxPath) == 0) {
    return false;
  }
  RenameInfoEx* info = static_cast<RenameInfoEx*>(calloc(1, sizeof(RenameInfoEx)));
  if (info == nullptr) return false;
  constexpr DWORD kRoom = sizeof(info->name) / sizeof(info->name[0]);
  DWORD length = GetFullPathNameW(wide, kRoom, info->name, nullptr);
  bool ok = length != 0 && length < kRoom;
  if (ok) {
    info->flags = kRenameReplaceIfExists | kRenamePosixSemantics;
    info->name_bytes = length * sizeof(WCHAR);
    ok = SetFileInformationByHandle(handle, kFileRenameInfoEx, info, sizeof(RenameInfoEx)) != FALSE;
  }
  free(info);
  return ok;
}

// Whether the path names a plain file: no directory, no reparse point.
bool IsPlainFile(const char* path, FileError* error) {
  DWORD attributes = GetFileAttributesA(path);
  if (attributes == INVALID_FILE_ATTRIBUTES) return FailLastError(error);
  if ((attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0) {
    return Fail(error, FileError::kUnsupported);
  }
  return true;
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
    return new PlatformFile(handle, mode != OpenMode::kRead, false);
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

  // A stream has nothing of its own to flush; flushing a pipe would wait for its reader.
  bool Sync(FileHandle file) override {
    return file->stream || FlushFileBuffers(file->handle) != FALSE;
  }

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

  bool MakeTempFile(const char* dir, const char* prefix, char* out) override {
    HANDLE handle =
        CreateNamedFile(dir, prefix, GENERIC_WRITE, FILE_ATTRIBUTE_NORMAL, out, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return false;
    CloseHandle(handle);
    return true;
  }

  bool IdentityOf(FileHandle file, FileIdentity* identity, FileError* error) override {
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(file->handle, &info)) return FailLastError(error);
    *identity = IdentityFromInfo(info);
    return Succeed(error);
  }

  bool Inspect(const char* path, FileInfo* info, FileError* error) override {
    *info = FileInfo();
    if (IsPipeName(path)) {
      info->kind = FileKind::kFifo;
      info->links = 1;
      info->writable = true;
      return Succeed(error);
    }
    DWORD attributes = GetFileAttributesA(path);
    info->symlink =
        attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    HANDLE handle = OpenToQuery(path);
    if (handle == INVALID_HANDLE_VALUE) {
      DWORD e = GetLastError();
      if (e == ERROR_FILE_NOT_FOUND || e == ERROR_PATH_NOT_FOUND) return Succeed(error);
      return Fail(error, ErrorFromWin32(e));
    }
    bool ok = true;
    switch (GetFileType(handle)) {
      case FILE_TYPE_CHAR:
        info->kind = FileKind::kCharDevice;
        info->links = 1;
        info->writable = true;
        break;
      case FILE_TYPE_PIPE:
        info->kind = FileKind::kFifo;
        info->links = 1;
        info->writable = true;
        break;
      case FILE_TYPE_DISK: {
        BY_HANDLE_FILE_INFORMATION data;
        if (!GetFileInformationByHandle(handle, &data)) {
          ok = FailLastError(error);
          break;
        }
        bool directory = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        info->kind = directory ? FileKind::kDirectory : FileKind::kRegular;
        info->links = data.nNumberOfLinks;
        // The read-only attribute of a directory only asks the shell to look inside it.
        info->writable = directory || (data.dwFileAttributes & FILE_ATTRIBUTE_READONLY) == 0;
        info->identity = IdentityFromInfo(data);
        break;
      }
      default:
        info->kind = FileKind::kOther;
        break;
    }
    CloseHandle(handle);
    return ok ? Succeed(error) : false;
  }

  bool ResolveLink(const char* path, char* out, FileError* error) override {
    size_t length = strnlen(path, kMaxPath);
    if (length >= kMaxPath) return Fail(error, FileError::kTooLong);
    memcpy(out, path, length + 1);
    DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
      return Succeed(error);
    }
    HANDLE handle = OpenToQuery(path);
    if (handle == INVALID_HANDLE_VALUE) {
      DWORD e = GetLastError();
      // A link to nothing: nothing to follow it to.
      if (e == ERROR_FILE_NOT_FOUND || e == ERROR_PATH_NOT_FOUND) return Succeed(error);
      return Fail(error, ErrorFromWin32(e));
    }
    char full[kMaxPath + 8];
    DWORD n = GetFinalPathNameByHandleA(handle, full, sizeof full,
                                        FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    CloseHandle(handle);
    if (n == 0) return FailLastError(error);
    if (n >= sizeof full) return Fail(error, FileError::kTooLong);
    // The answer comes as \\?\C:\... or \\?\UNC\server\share\...; the library's paths are plain.
    const char* plain = full;
    char unc[kMaxPath + 8];
    if (strncmp(full, "\\\\?\\UNC\\", 8) == 0) {
      snprintf(unc, sizeof unc, "\\\\%s", full + 8);
      plain = unc;
    } else if (strncmp(full, "\\\\?\\", 4) == 0) {
      plain = full + 4;
    }
    if (strlen(plain) >= kMaxPath) return Fail(error, FileError::kTooLong);
    strcpy(out, plain);
    return Succeed(error);
  }

  bool KeepAttributes(FileHandle, const char*, FileError* error) override { return Succeed(error); }

  LockResult TryLockWriters(FileHandle file, FileError* error) override {
    if (!file->writable) {
      Fail(error, FileError::kAccessDenied);
      return LockResult::kFailed;
    }
    if (file->writers_locked) {
      Succeed(error);
      return LockResult::kLocked;
    }
    OVERLAPPED at = WritersByte();
    if (LockFileEx(file->handle, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0,
                   &at)) {
      file->writers_locked = true;
      Succeed(error);
      return LockResult::kLocked;
    }
    DWORD e = GetLastError();
    if (e == ERROR_LOCK_VIOLATION || e == ERROR_IO_PENDING) {
      Succeed(error);
      return LockResult::kBusy;
    }
    Fail(error, ErrorFromWin32(e));
    return LockResult::kFailed;
  }

  bool UnlockWriters(FileHandle file) override {
    if (!file->writers_locked) return true;
    OVERLAPPED at = WritersByte();
    if (!UnlockFileEx(file->handle, 0, 1, 0, &at)) return false;
    file->writers_locked = false;
    return true;
  }

  // Windows has no unnamed files: a scratch file is deleted when its last handle closes, which
  // the system does for a killed process too; a linkable one is a named file.
  FileHandle CreateTempFile(const char* dir, const char* prefix, TempKind kind, char* name,
                            FileError* error) override {
    // Whatever kind is made, its name, if it needs one, must fit.
    if (!temp_name::Format(dir, prefix, 0, name)) {
      name[0] = '\0';
      Fail(error, FileError::kTooLong);
      return nullptr;
    }
    // Delete access lets a scratch file go at its close, and a linkable one be renamed by its
    // handle into a place others hold.
    DWORD access = GENERIC_READ | GENERIC_WRITE | DELETE;
    DWORD flags = FILE_ATTRIBUTE_NORMAL;
    if (kind == TempKind::kScratch) flags = FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE;
    HANDLE handle = CreateNamedFile(dir, prefix, access, flags, name, error);
    if (handle == INVALID_HANDLE_VALUE || kind == TempKind::kScratch) name[0] = '\0';
    if (handle == INVALID_HANDLE_VALUE) return nullptr;
    return new PlatformFile(handle, true, false);
  }

  bool LinkIntoPlace(FileHandle file, const char* name, const char* to, FileError* error) override {
    if (name[0] == '\0') return Fail(error, FileError::kUnsupported);
    if (!MoveFileExA(name, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
      DWORD e = GetLastError();
      // A file that any handle holds open is refused as if access were denied; it is told from
      // a real denial by an open that shares nothing. Where the system renames as POSIX does,
      // the file takes the place all the same; elsewhere the caller is told it is held.
      if (e == ERROR_ACCESS_DENIED && IsHeldOpen(to)) {
        return RenameOverHeld(file->handle, to) ? Succeed(error)
                                                : Fail(error, FileError::kSharingViolation);
      }
      return Fail(error, ErrorFromWin32(e));
    }
    return Succeed(error);
  }

  bool CopyContents(FileHandle from, FileHandle to, FileError* error) override {
    static constexpr DWORD kChunk = 65536;
    uint8_t* chunk = static_cast<uint8_t*>(malloc(kChunk));
    if (chunk == nullptr) return Fail(error, FileError::kOther);
    bool ok = SetPosition(from->handle, 0) && (to->stream || SetPosition(to->handle, 0));
    if (!ok) FailLastError(error);
    while (ok) {
      DWORD n = 0;
      if (!ReadFile(from->handle, chunk, kChunk, &n, nullptr)) {
        ok = FailLastError(error);
        break;
      }
      if (n == 0) break;
      if (!WriteAll(to->handle, chunk, n)) ok = FailLastError(error);
    }
    free(chunk);
    if (ok && !to->stream && !SetEndOfFile(to->handle)) ok = FailLastError(error);
    return ok ? Succeed(error) : false;
  }

  FileHandle OpenToWriteInto(const char* path, FileError* error) override {
    HANDLE handle = CreateFileA(path, GENERIC_WRITE, kShareAll, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
      DWORD e = GetLastError();
      Fail(error, e == ERROR_ACCESS_DENIED && IsDirectoryAt(path) ? FileError::kIsADirectory
                                                                  : ErrorFromWin32(e));
      return nullptr;
    }
    Succeed(error);
    return new PlatformFile(handle, true, GetFileType(handle) != FILE_TYPE_DISK);
  }

  bool ListDirectory(const char* dir, const char* prefix, const char* suffix, NameVisitor visit,
                     void* context, FileError* error) override {
    char pattern[kMaxPath];
    size_t length = strlen(dir);
    const char* separator =
        (length > 0 && (dir[length - 1] == '\\' || dir[length - 1] == '/')) ? "" : "\\";
    int n = snprintf(pattern, sizeof pattern, "%s%s%s*", dir, separator, prefix);
    if (n < 0 || static_cast<size_t>(n) >= sizeof pattern) return Fail(error, FileError::kTooLong);
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(pattern, &found);
    if (search == INVALID_HANDLE_VALUE) {
      DWORD e = GetLastError();
      return e == ERROR_FILE_NOT_FOUND ? Succeed(error) : Fail(error, ErrorFromWin32(e));
    }
    // The pattern also matches short names; the long name is held to the prefix and suffix.
    size_t prefix_length = strlen(prefix);
    size_t suffix_length = strlen(suffix);
    bool ok = true;
    do {
      const char* name = found.cFileName;
      size_t name_length = strlen(name);
      if (name_length < prefix_length + suffix_length ||
          _strnicmp(name, prefix, prefix_length) != 0 ||
          _stricmp(name + name_length - suffix_length, suffix) != 0) {
        continue;
      }
      if (!visit(name, context)) break;
    } while (FindNextFileA(search, &found));
    DWORD e = GetLastError();
    if (e != ERROR_NO_MORE_FILES && e != NO_ERROR) ok = Fail(error, ErrorFromWin32(e));
    FindClose(search);
    return ok ? Succeed(error) : false;
  }

  // An open that shares nothing fails while any other handle is open, whatever it shares.
  bool IsHeld(const char* path, bool* held, FileError* error) override {
    if (!IsPlainFile(path, error)) return false;
    HANDLE handle = CreateFileA(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, kNoFollow, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
      DWORD e = GetLastError();
      if (e != ERROR_SHARING_VIOLATION) return Fail(error, ErrorFromWin32(e));
      *held = true;
      return Succeed(error);
    }
    CloseHandle(handle);
    *held = false;
    return Succeed(error);
  }

  // The same open, deleting the file when it closes: nothing can open the file in between.
  bool RemoveIfUnheld(const char* path, bool* removed, FileError* error) override {
    *removed = false;
    if (!IsPlainFile(path, error)) return false;
    HANDLE handle = CreateFileA(path, DELETE | GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                kNoFollow | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
      DWORD e = GetLastError();
      return e == ERROR_SHARING_VIOLATION ? Succeed(error) : Fail(error, ErrorFromWin32(e));
    }
    *removed = CloseHandle(handle) != FALSE;
    return *removed ? Succeed(error) : FailLastError(error);
  }

  // The performance counter, not the tick count, whose steps of 10 to 16 ms would cut a short
  // wait short. Both calls always succeed from Windows XP on.
  uint64_t NowMilliseconds() override {
    LARGE_INTEGER frequency;
    LARGE_INTEGER now;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&now);
    const uint64_t ticks = static_cast<uint64_t>(now.QuadPart);
    const uint64_t per_second = static_cast<uint64_t>(frequency.QuadPart);
    return ticks / per_second * 1000 + ticks % per_second * 1000 / per_second;
  }

  void SleepMilliseconds(uint32_t milliseconds) override { Sleep(milliseconds); }

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

 private:
  // The writers' byte, as the offset of a lock.
  static OVERLAPPED WritersByte() {
    OVERLAPPED at = {};
    at.Offset = static_cast<DWORD>(share_bytes::kWriters & 0xFFFFFFFF);
    at.OffsetHigh = static_cast<DWORD>(share_bytes::kWriters >> 32);
    return at;
  }
};

}  // namespace

Env* Env::Default() {
  static Win32Env env;
  return &env;
}

namespace temp_name {

bool RandomBytes(void* buffer, size_t length) {
  return RtlGenRandom(buffer, static_cast<ULONG>(length)) != FALSE;
}

}  // namespace temp_name

}  // namespace telbook
