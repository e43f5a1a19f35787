// Create and open. Both leave the session closed on any failure, with the buffers released and
// no handle held; a failed header read keeps the file layer's pair.
#include "store/opener.h"

#include <cstring>

#include "store/file_store.h"

namespace telbook {

bool Opener::Prepare(const char* path, short* status) {
  FileStore* fs = store_;
  *status = kFailed;
  if (fs->is_open()) return false;
  if (path == nullptr || strnlen(path, kMaxPath) >= kMaxPath) {
    fs->RecordError(category::kDataBase, detail::kOpenFailed);
    return false;
  }
  if (!fs->ObtainBuffers()) return false;
  strcpy(fs->path, path);
  return true;
}

short Opener::Finish() {
  FileStore* fs = store_;
  // What a save compares the file at the path with, under the writers' lock.
  if (!fs->env()->IdentityOf(fs->handle, &fs->identity, nullptr)) {
    session_accessor_->Close(fs->handle);
    fs->handle = nullptr;
    fs->ReleaseBuffers();
    fs->RecordError(category::kDataBase, detail::kOpenFailed);
    return kFailed;
  }
  short status = fixed_part_.Read(fs->handle);
  if (status != kOk) {
    session_accessor_->Close(fs->handle);
    fs->handle = nullptr;
    fs->ReleaseBuffers();
  }
  return status;
}

short Opener::Create(const char* path) {
  short status;
  if (!Prepare(path, &status)) return status;
  FileStore* fs = store_;
  // A file the user may not write is never replaced.
  FileInfo existing;
  if (fs->env()->Inspect(path, &existing, nullptr) && existing.kind == FileKind::kRegular &&
      !existing.writable) {
    fs->ReleaseBuffers();
    fs->RecordError(category::kDataBase, detail::kReadOnly);
    return kFailed;
  }
  // A file that could not be laid out completely is not reported as created: it would open as
  // a truncated book of another layout.
  bool laid_out = fixed_part_.LayOut(path);
  fs->handle = laid_out ? session_accessor_->Open(path, OpenMode::kRead) : nullptr;
  if (fs->handle == nullptr) {
    fs->ReleaseBuffers();
    fs->RecordError(category::kDataBase, detail::kOpenFailed);
    return kFailed;
  }
  return Finish();
}

short Opener::Open(const char* path) {
  short status;
  if (!Prepare(path, &status)) return status;
  FileStore* fs = store_;
  fs->handle = session_accessor_->Open(path, OpenMode::kRead);
  if (fs->handle == nullptr) {
    fs->ReleaseBuffers();
    ErrorPair error = fs->error();
    if (error.category == category::kFileOpen && error.detail == detail::kInUse) {
      fs->RecordError(category::kDataBase, detail::kInUse);
      return kInUseStatus;
    }
    fs->RecordError(category::kDataBase, detail::kOpenFailed);
    return kFailed;
  }
  return Finish();
}

}  // namespace telbook
