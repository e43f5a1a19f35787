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
  kTempName,  // TempDirectory and MakeTempFile
  kRegistry,  // OpenKey, QueryValue, SetValue
  kCount
};

// Counts the operations of each kind from construction (or Reset) on and fails the one armed.
// A failed Close still closes the file, so no handle leaks; a failed Write writes nothing.
class FaultEnv final : public ForwardingEnv {
 public:
  explicit FaultEnv(Env* target) : ForwardingEnv(target) { Reset(); }

  // Fails the nth (from 1) operation of kind counted from now; 0 disarms.
  void FailAt(FaultKind kind, int nth);
  // Also fails every later operation of the armed kind (a full disk, a lost device).
  void SetSticky(bool sticky) { sticky_ = sticky; }
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

 private:
  // Counts one operation of kind; true when it is to fail.
  bool Trip(FaultKind kind);

  int counts_[static_cast<int>(FaultKind::kCount)];
  FaultKind armed_kind_ = FaultKind::kAlloc;
  int armed_at_ = 0;
  bool sticky_ = false;
  bool fired_ = false;
};

}  // namespace telbook

#endif  // TELBOOK_PLATFORM_FAULT_ENV_H_
