// File accessor: one platform call per operation, each failure recorded as its error pair.
// The OS error was already translated by the Env; this layer only picks the pair.
#include "store/file_accessor.h"

#include "store/file_store.h"

namespace telbook {

FileHandle FileAccessor::Open(const char* path, OpenMode mode) {
  OpenError error = OpenError::kNone;
  FileHandle file = store_->env()->OpenFile(path, mode, &error);
  if (file != nullptr) return file;
  if (mode == OpenMode::kCreate) {
    store_->RecordError(category::kFileOpen, detail::kCreateFailed);
  } else if (error == OpenError::kSharingViolation) {
    store_->RecordError(category::kFileOpen, detail::kInUse);
  } else {
    store_->RecordError(category::kFileOpen, detail::kOpenFailed);
  }
  return nullptr;
}

short FileAccessor::Position(FileHandle file, uint32_t offset, SeekMode mode,
                             uint32_t* new_position) {
  uint32_t position = 0;
  if (!store_->env()->Seek(file, offset, mode, &position)) {
    store_->RecordError(category::kFileMove, detail::kMoveFailed);
    return kFailed;
  }
  if (new_position != nullptr) *new_position = position;
  return kOk;
}

short FileAccessor::Read(FileHandle file, void* buffer, uint32_t length, uint32_t* count) {
  if (count == nullptr) {
    store_->RecordError(category::kFileRead, detail::kNoCountPlace);
    return kFailed;
  }
  *count = 0;
  if (!store_->env()->Read(file, buffer, length, count) || *count != length) {
    store_->RecordError(category::kFileRead, detail::kReadFailed);
    return kFailed;
  }
  return kOk;
}

short FileAccessor::ReadUpTo(FileHandle file, void* buffer, uint32_t capacity, uint32_t needed,
                             uint32_t* count) {
  *count = 0;
  if (!store_->env()->Read(file, buffer, capacity, count) || *count < needed || *count > capacity) {
    store_->RecordError(category::kFileRead, detail::kReadFailed);
    return kFailed;
  }
  return kOk;
}

short FileAccessor::Write(FileHandle file, const void* buffer, uint32_t length, uint32_t* count) {
  if (count == nullptr) {
    store_->RecordError(category::kFileWrite, detail::kNoCountPlace);
    return kFailed;
  }
  *count = 0;
  if (!store_->env()->Write(file, buffer, length, count) || *count != length) {
    store_->RecordError(category::kFileWrite, detail::kWriteFailed);
    return kFailed;
  }
  return kOk;
}

short FileAccessor::Close(FileHandle file) {
  if (!store_->env()->Close(file)) {
    store_->RecordError(category::kFileClose, detail::kCloseFailed);
    return kFailed;
  }
  return kOk;
}

}  // namespace telbook
