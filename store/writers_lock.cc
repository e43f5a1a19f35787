// Taking and letting go of the writers' lock. The lock is tried, never waited on in the system:
// the wait is a loop of tries with growing pauses, bounded by the caller's time.
#include "store/writers_lock.h"

#include <cstring>

#include "store/errors.h"
#include "store/file_store.h"

namespace telbook {

namespace {

// Pauses between tries grow from the first to the last, so that a short hold is seen soon and a
// long one costs little.
constexpr uint32_t kFirstPauseMs = 2;
constexpr uint32_t kLongestPauseMs = 50;
// Tries that find the file replaced between its open and its lock go on without a pause, this
// many times whatever the wait.
constexpr int kReplacedTries = 100;

}  // namespace

short WritersLock::Fail(uint16_t category, uint16_t detail) {
  store_->RecordError(category, detail);
  return kFailed;
}

short WritersLock::Hold(const char* path, uint32_t wait_ms, uint16_t category) {
  if (held()) return kOk;
  Env* env = store_->env();
  if (path == nullptr || strnlen(path, kMaxPath) >= kMaxPath ||
      !env->ResolveLink(path, target_, nullptr)) {
    return Fail(category, detail::kOpenFailed);
  }
  const uint64_t deadline = env->NowMilliseconds() + wait_ms;
  uint32_t pause = kFirstPauseMs;
  int replaced = 0;
  for (;;) {
    FileInfo info;
    if (!env->Inspect(target_, &info, nullptr) || info.kind == FileKind::kMissing) {
      return Fail(category, detail::kOpenFailed);
    }
    if (info.kind != FileKind::kRegular) return Fail(category, detail::kNotWritableKind);
    if (!info.writable) return Fail(category, detail::kReadOnly);

    OpenError open_error = OpenError::kNone;
    FileHandle file = env->OpenFile(target_, OpenMode::kUpdate, &open_error);
    if (file == nullptr && open_error != OpenError::kSharingViolation) {
      return Fail(category, detail::kOpenFailed);
    }
    if (file != nullptr) {
      LockResult result = env->TryLockWriters(file, nullptr);
      if (result == LockResult::kFailed) {
        env->Close(file);
        return Fail(category, detail::kOpenFailed);
      }
      if (result == LockResult::kLocked) {
        // The lock counts only while the path still leads to the locked file: the writer that
        // held it before may have put a new file in its place.
        FileIdentity locked;
        FileInfo now;
        if (!env->IdentityOf(file, &locked, nullptr) || !env->Inspect(target_, &now, nullptr)) {
          env->Close(file);
          return Fail(category, detail::kOpenFailed);
        }
        if (now.kind == FileKind::kRegular && SameFile(locked, now.identity)) {
          handle_ = file;
          return kOk;
        }
        env->Close(file);
        if (++replaced < kReplacedTries) continue;
      } else {
        env->Close(file);
      }
    }
    uint64_t now = env->NowMilliseconds();
    if (now >= deadline) return Fail(category, detail::kInUse);
    uint64_t left = deadline - now;
    env->SleepMilliseconds(static_cast<uint32_t>(left < pause ? left : pause));
    pause = pause * 2 < kLongestPauseMs ? pause * 2 : kLongestPauseMs;
  }
}

void WritersLock::Release() {
  if (handle_ == nullptr) return;
  Env* env = store_->env();
  // Closing lets the lock go as well; the unlock only makes it go first.
  env->UnlockWriters(handle_);
  env->Close(handle_);
  handle_ = nullptr;
}

}  // namespace telbook
