// TL_closeDataBase: save or drop, then release.
// Once the saved file has replaced the phone book, nothing that follows can undo the save.
#include "store/closer.h"

#include "store/file_store.h"
#include "store/output_file.h"
#include "store/working_copy.h"
#include "store/writers_lock.h"

namespace telbook {

short Closer::Close(uint16_t discard) {
  if (!store_->is_open()) {
    store_->RecordError(category::kClose, detail::kOpenFailed);
    return kFailed;
  }
  if (working_copy_->modified() == 1 && discard == 0) return Save();
  Release();
  return kOk;
}

void Closer::Release() {
  accessor_.Close(store_->handle);
  working_copy_->Drop();
  writers_lock_->Release();
  store_->handle = nullptr;
  store_->ReleaseBuffers();
}

bool Closer::Fail(uint16_t detail) {
  store_->RecordError(category::kClose, detail);
  return false;
}

short Closer::Save() {
  // A lock the session held before the save stays held after a failure, for the caller to
  // retry or drop; one taken for the save goes with it.
  const bool held_before = writers_lock_->held();
  if (!WriteUnderLock()) {
    if (!held_before) writers_lock_->Release();
    return kFailed;
  }
  Release();
  return kOk;
}

bool Closer::WriteUnderLock() {
  FileStore* fs = store_;
  Env* env = fs->env();
  if (writers_lock_->Hold(fs->path, lock_wait_ms_, category::kClose) != kOk) return false;
  // No other writer can save now; the file at the path must still be the one the open read,
  // unchanged since.
  const char* target = writers_lock_->target();
  FileIdentity locked;
  FileInfo info;
  if (!env->IdentityOf(writers_lock_->handle(), &locked, nullptr) ||
      !env->Inspect(target, &info, nullptr)) {
    return Fail(detail::kOpenFailed);
  }
  if (info.kind != FileKind::kRegular || !SameFile(info.identity, locked) ||
      !Unchanged(locked, fs->identity)) {
    return Fail(detail::kChanged);
  }
  if (!info.writable) return Fail(detail::kReadOnly);

  OutputFile out(fs);
  if (!out.BeginReplacing(target, /*in_place=*/info.links > 1, category::kClose)) return false;
  if (compaction_.Run(out.file()) != kOk) return Fail(detail::kRecordFailed);
  if (!out.Commit(writers_lock_->handle())) {
    // A write into the phone book that failed part-way was this session's own change: a save
    // again is to write it whole, not to be refused as another program's.
    env->IdentityOf(writers_lock_->handle(), &fs->identity, nullptr);
    return false;
  }
  return true;
}

}  // namespace telbook
