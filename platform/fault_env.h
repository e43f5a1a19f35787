// Test doubles of the OS door: ForwardingEnv passes every call on, so that a test overrides only
// the call it fails; FaultEnv fails the Nth allocation or the Nth file operation of a chosen kind.
#ifndef TELBOOK_PLATFORM_FAULT_ENV_H_
#define TELBOOK_PLATFORM_FAULT_ENV_H_

#include "platform/env.h"

namespace telbook {

class ForwardingEnv : public Env {
 public:
  explicit ForwardingEnv(Env* target) : target_(target) {}

  FileHandle OpenFile(const char* path, OpenMode mode, OpenError* error) override {
    return target_->OpenFile(path, mode, error);
  }
  bool Seek(FileHandle file, uint32_t offset, SeekMode mode, uint32_t* new_position) override {
    return target_->Seek(file, offset, mode, new_position);
  }
  bool Read(FileHandle file, void* buffer, uint32_t length, uint32_t* count) override {
    return target_->Read(file, buffer, length, count);
  }
  bool Write(FileHandle file, const void* buffer, uint32_t length, uint32_t* count) override {
    return target_->Write(file, buffer, length, count);
  }
  bool Sync(FileHandle file) override { return target_->Sync(file); }
  bool Close(FileHandle file) override { return target_->Close(file); }
  bool CopyFile(const char* from, const char* to, bool fail_if_exists) override {
    return target_->CopyFile(from, to, fail_if_exists);
  }
  bool DeleteFile(const char* path) override { return target_->DeleteFile(path); }
  bool ClearReadOnly(const char* path) override { return target_->ClearReadOnly(path); }
  bool ReplaceFile(const char* from, const char* to) override {
    return target_->ReplaceFile(from, to);
  }
  bool TempDirectory(char* out) override { return target_->TempDirectory(out); }
  bool MakeTempFile(const char* dir, const char* prefix, char* out) override {
    return target_->MakeTempFile(dir, prefix, out);
  }
  bool IdentityOf(FileHandle file, FileIdentity* identity, FileError* error) override {
    return target_->IdentityOf(file, identity, error);
  }
  bool Inspect(const char* path, FileInfo* info, FileError* error) override {
    return target_->Inspect(path, info, error);
  }
  bool ResolveLink(const char* path, char* out, FileError* error) override {
    return target_->ResolveLink(path, out, error);
  }
  bool KeepAttributes(FileHandle file, const char* like, FileError* error) override {
    return target_->KeepAttributes(file, like, error);
  }
  LockResult TryLockWriters(FileHandle file, FileError* error) override {
    return target_->TryLockWriters(file, error);
  }
  bool UnlockWriters(FileHandle file) override { return target_->UnlockWriters(file); }
  FileHandle CreateTempFile(const char* dir, const char* prefix, TempKind kind, char* name,
                            FileError* error) override {
    return target_->CreateTempFile(dir, prefix, kind, name, error);
  }
  bool LinkIntoPlace(FileHandle file, const char* name, const char* to, FileError* error) override {
    return target_->LinkIntoPlace(file, name, to, error);
  }
  bool CopyContents(FileHandle from, FileHandle to, FileError* error) override {
    return target_->CopyContents(from, to, error);
  }
  FileHandle OpenToWriteInto(const char* path, FileError* error) override {
    return target_->OpenToWriteInto(path, error);
  }
  bool ListDirectory(const char* dir, const char* prefix, const char* suffix, NameVisitor visit,
                     void* context, FileError* error) override {
    return target_->ListDirectory(dir, prefix, suffix, visit, context, error);
  }
  bool IsHeld(const char* path, bool* held, FileError* error) override {
    return target_->IsHeld(path, held, error);
  }
  bool RemoveIfUnheld(const char* path, bool* removed, FileError* error) override {
    return target_->RemoveIfUnheld(path, removed, error);
  }
  uint64_t NowMilliseconds() override { return target_->NowMilliseconds(); }
  void SleepMilliseconds(uint32_t milliseconds) override {
    target_->SleepMilliseconds(milliseconds);
  }
  void* AllocBlock(size_t size) override { return target_->AllocBlock(size); }
  void FreeBlock(void* block) override { target_->FreeBlock(block); }
  KeyHandle OpenKey(const char* path, bool create) override {
    return target_->OpenKey(path, create);
  }
  bool QueryValue(KeyHandle key, const char* name, void* buffer, uint32_t capacity,
                  uint32_t* length) override {
    return target_->QueryValue(key, name, buffer, capacity, length);
  }
  bool SetValue(KeyHandle key, const char* name, const void* data, uint32_t length) override {
    return target_->SetValue(key, name, data, length);
  }
  void CloseKey(KeyHandle key) override { target_->CloseKey(key); }

 protected:
  Env* target() const { return target_; }

 private:
  Env* target_;
};

// The kinds of operation FaultEnv counts separately.
enum class FaultKind {
  kAlloc,
  kOpen,
  kMove,  // Seek
  kRead,
  kWrite,
  kSync,
  kClose,
  kCopy,
  kDelete,
  kReplace,
  kTempName,    // TempDirectory, MakeTempFile and CreateTempFile
  kRegistry,    // OpenKey, QueryValue, SetValue
  kInspect,     // IdentityOf, Inspect, ResolveLink, ListDirectory, IsHeld
  kLock,        // TryLockWriters, UnlockWriters
  kAttributes,  // KeepAttributes
  kCount
};

// Counts the operations of each kind from construction (or Reset) on and fails the one armed.
// A failed Close still closes the file, so no handle leaks; a failed Write or CopyContents
// writes nothing; OpenToWriteInto counts as an open, LinkIntoPlace as a replace, CopyContents as
// a copy and RemoveIfUnheld as a delete. The calls that report a FileError report the one set
// with SetFaultError (kOther unless set).
class FaultEnv final : public ForwardingEnv {
 public:
  explicit FaultEnv(Env* target) : ForwardingEnv(target) { Reset(); }

  // Fails the nth (from 1) operation of kind counted from now; 0 disarms.
  void FailAt(FaultKind kind, int nth);
  // Also fails every later operation of the armed kind (a full disk, a lost device).
  void SetSticky(bool sticky) { sticky_ = sticky; }
  // The cause the failed calls report, for callers that tell causes apart.
  void SetFaultError(FileError error) { fault_error_ = error; }
  void Reset();
  int Count(FaultKind kind) const { return counts_[static_cast<int>(kind)]; }
  // True once the armed failure was handed out.
  bool Fired() const { return fired_; }

  FileHandle OpenFile(const char* path, OpenMode mode, OpenError* error) override;
  bool Seek(FileHandle file, uint32_t offset, SeekMode mode, uint32_t* new_position) override;
  bool Read(FileHandle file, void* buffer, uint32_t length, uint32_t* count) override;
  bool Write(FileHandle file, const void* buffer, uint32_t length, uint32_t* count) override;
  bool Sync(FileHandle file) override;
  bool Close(FileHandle file) override;
  bool CopyFile(const char* from, const char* to, bool fail_if_exists) override;
  bool DeleteFile(const char* path) override;
  bool ReplaceFile(const char* from, const char* to) override;
  bool TempDirectory(char* out) override;
  bool MakeTempFile(const char* dir, const char* prefix, char* out) override;
  void* AllocBlock(size_t size) override;
  KeyHandle OpenKey(const char* path, bool create) override;
  bool QueryValue(KeyHandle key, const char* name, void* buffer, uint32_t capacity,
                  uint32_t* length) override;
  bool SetValue(KeyHandle key, const char* name, const void* data, uint32_t length) override;
  bool IdentityOf(FileHandle file, FileIdentity* identity, FileError* error) override;
  bool Inspect(const char* path, FileInfo* info, FileError* error) override;
  bool ResolveLink(const char* path, char* out, FileError* error) override;
  bool KeepAttributes(FileHandle file, const char* like, FileError* error) override;
  LockResult TryLockWriters(FileHandle file, FileError* error) override;
  bool UnlockWriters(FileHandle file) override;
  FileHandle CreateTempFile(const char* dir, const char* prefix, TempKind kind, char* name,
                            FileError* error) override;
  bool LinkIntoPlace(FileHandle file, const char* name, const char* to, FileError* error) override;
  bool CopyContents(FileHandle from, FileHandle to, FileError* error) override;
  FileHandle OpenToWriteInto(const char* path, FileError* error) override;
  bool ListDirectory(const char* dir, const char* prefix, const char* suffix, NameVisitor visit,
                     void* context, FileError* error) override;
  bool IsHeld(const char* path, bool* held, FileError* error) override;
  bool RemoveIfUnheld(const char* path, bool* removed, FileError* error) override;

 private:
  // Reports the fault's cause and answers false.
  bool Fault(FileError* error) const {
    if (error != nullptr) *error = fault_error_;
    return false;
  }

  // Counts one operation of kind; true when it is to fail.
  bool Trip(FaultKind kind);

  int counts_[static_cast<int>(FaultKind::kCount)];
  FaultKind armed_kind_ = FaultKind::kAlloc;
  int armed_at_ = 0;
  bool sticky_ = false;
  bool fired_ = false;
  FileError fault_error_ = FileError::kOther;
};

}  // namespace telbook

#endif  // TELBOOK_PLATFORM_FAULT_ENV_H_
