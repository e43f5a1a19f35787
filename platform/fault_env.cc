// Fault injection for tests: counts operations by kind and fails the armed one.
// Every failure looks to the caller exactly like the OS failing that call.
#include "platform/fault_env.h"

namespace telbook {

void FaultEnv::Reset() {
  for (int& c : counts_) c = 0;
  armed_at_ = 0;
  sticky_ = false;
  fired_ = false;
  fault_error_ = FileError::kOther;
}

void FaultEnv::FailAt(FaultKind kind, int nth) {
  armed_kind_ = kind;
  armed_at_ = nth;
  counts_[static_cast<int>(kind)] = 0;
  fired_ = false;
}

bool FaultEnv::Trip(FaultKind kind) {
  int n = ++counts_[static_cast<int>(kind)];
  if (armed_at_ == 0 || kind != armed_kind_) return false;
  if (n == armed_at_ || (sticky_ && n > armed_at_)) {
    fired_ = true;
    return true;
  }
  return false;
}

FileHandle FaultEnv::OpenFile(const char* path, OpenMode mode, OpenError* error) {
  if (Trip(FaultKind::kOpen)) {
    *error = OpenError::kOther;
    return nullptr;
  }
  return ForwardingEnv::OpenFile(path, mode, error);
}

bool FaultEnv::Seek(FileHandle file, uint32_t offset, SeekMode mode, uint32_t* new_position) {
  if (Trip(FaultKind::kMove)) return false;
  return ForwardingEnv::Seek(file, offset, mode, new_position);
}

bool FaultEnv::Read(FileHandle file, void* buffer, uint32_t length, uint32_t* count) {
  if (Trip(FaultKind::kRead)) {
    *count = 0;
    return false;
  }
  return ForwardingEnv::Read(file, buffer, length, count);
}

bool FaultEnv::Write(FileHandle file, const void* buffer, uint32_t length, uint32_t* count) {
  if (Trip(FaultKind::kWrite)) {
    *count = 0;
    return false;
  }
  return ForwardingEnv::Write(file, buffer, length, count);
}

bool FaultEnv::Sync(FileHandle file) {
  if (Trip(FaultKind::kSync)) return false;
  return ForwardingEnv::Sync(file);
}

bool FaultEnv::Close(FileHandle file) {
  bool fail = Trip(FaultKind::kClose);
  bool ok = ForwardingEnv::Close(file);
  return ok && !fail;
}

bool FaultEnv::CopyFile(const char* from, const char* to, bool fail_if_exists) {
  if (Trip(FaultKind::kCopy)) return false;
  return ForwardingEnv::CopyFile(from, to, fail_if_exists);
}

bool FaultEnv::DeleteFile(const char* path) {
  if (Trip(FaultKind::kDelete)) return false;
  return ForwardingEnv::DeleteFile(path);
}

bool FaultEnv::ReplaceFile(const char* from, const char* to) {
  if (Trip(FaultKind::kReplace)) return false;
  return ForwardingEnv::ReplaceFile(from, to);
}

bool FaultEnv::TempDirectory(char* out) {
  if (Trip(FaultKind::kTempName)) return false;
  return ForwardingEnv::TempDirectory(out);
}

bool FaultEnv::MakeTempFile(const char* dir, const char* prefix, char* out) {
  if (Trip(FaultKind::kTempName)) return false;
  return ForwardingEnv::MakeTempFile(dir, prefix, out);
}

void* FaultEnv::AllocBlock(size_t size) {
  if (Trip(FaultKind::kAlloc)) return nullptr;
  return ForwardingEnv::AllocBlock(size);
}

KeyHandle FaultEnv::OpenKey(const char* path, bool create) {
  if (Trip(FaultKind::kRegistry)) return nullptr;
  return ForwardingEnv::OpenKey(path, create);
}

bool FaultEnv::QueryValue(KeyHandle key, const char* name, void* buffer, uint32_t capacity,
                          uint32_t* length) {
  if (Trip(FaultKind::kRegistry)) return false;
  return ForwardingEnv::QueryValue(key, name, buffer, capacity, length);
}

bool FaultEnv::SetValue(KeyHandle key, const char* name, const void* data, uint32_t length) {
  if (Trip(FaultKind::kRegistry)) return false;
  return ForwardingEnv::SetValue(key, name, data, length);
}

bool FaultEnv::IdentityOf(FileHandle file, FileIdentity* identity, FileError* error) {
  if (Trip(FaultKind::kInspect)) return Fault(error);
  return ForwardingEnv::IdentityOf(file, identity, error);
}

bool FaultEnv::Inspect(const char* path, FileInfo* info, FileError* error) {
  if (Trip(FaultKind::kInspect)) return Fault(error);
  return ForwardingEnv::Inspect(path, info, error);
}

bool FaultEnv::ResolveLink(const char* path, char* out, FileError* error) {
  if (Trip(FaultKind::kInspect)) return Fault(error);
  return ForwardingEnv::ResolveLink(path, out, error);
}

bool FaultEnv::KeepAttributes(FileHandle file, const char* like, FileError* error) {
  if (Trip(FaultKind::kAttributes)) return Fault(error);
  return ForwardingEnv::KeepAttributes(file, like, error);
}

LockResult FaultEnv::TryLockWriters(FileHandle file, FileError* error) {
  if (Trip(FaultKind::kLock)) {
    Fault(error);
    return LockResult::kFailed;
  }
  return ForwardingEnv::TryLockWriters(file, error);
}

bool FaultEnv::UnlockWriters(FileHandle file) {
  if (Trip(FaultKind::kLock)) return false;
  return ForwardingEnv::UnlockWriters(file);
}

FileHandle FaultEnv::CreateTempFile(const char* dir, const char* prefix, TempKind kind, char* name,
                                    FileError* error) {
  if (Trip(FaultKind::kTempName)) {
    name[0] = '\0';
    Fault(error);
    return nullptr;
  }
  return ForwardingEnv::CreateTempFile(dir, prefix, kind, name, error);
}

bool FaultEnv::LinkIntoPlace(FileHandle file, const char* name, const char* to, FileError* error) {
  if (Trip(FaultKind::kReplace)) return Fault(error);
  return ForwardingEnv::LinkIntoPlace(file, name, to, error);
}

bool FaultEnv::CopyContents(FileHandle from, FileHandle to, FileError* error) {
  if (Trip(FaultKind::kCopy)) return Fault(error);
  return ForwardingEnv::CopyContents(from, to, error);
}

FileHandle FaultEnv::OpenToWriteInto(const char* path, FileError* error) {
  if (Trip(FaultKind::kOpen)) {
    Fault(error);
    return nullptr;
  }
  return ForwardingEnv::OpenToWriteInto(path, error);
}

bool FaultEnv::ListDirectory(const char* dir, const char* prefix, const char* suffix,
                             NameVisitor visit, void* context, FileError* error) {
  if (Trip(FaultKind::kInspect)) return Fault(error);
  return ForwardingEnv::ListDirectory(dir, prefix, suffix, visit, context, error);
}

bool FaultEnv::IsHeld(const char* path, bool* held, FileError* error) {
  if (Trip(FaultKind::kInspect)) return Fault(error);
  return ForwardingEnv::IsHeld(path, held, error);
}

bool FaultEnv::RemoveIfUnheld(const char* path, bool* removed, FileError* error) {
  if (Trip(FaultKind::kDelete)) {
    *removed = false;
    return Fault(error);
  }
  return ForwardingEnv::RemoveIfUnheld(path, removed, error);
}

}  // namespace telbook
