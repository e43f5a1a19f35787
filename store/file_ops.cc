// Positioned file access and deletes.
// Each step records its own pair; nothing is retried but a delete.
#include "store/file_ops.h"

#include "store/file_store.h"

namespace telbook {

short FileOps::PositionedRead(FileHandle file, void* buffer, uint32_t offset, SeekMode mode,
                              uint32_t length) {
  uint32_t position = 0;
  if (accessor_.Position(file, offset, mode, &position) != kOk) return kFailed;
  uint32_t count = 0;
  return accessor_.Read(file, buffer, length, &count);
}

short FileOps::PositionedWrite(FileHandle file, const void* buffer, uint32_t offset,
                               uint32_t length, SeekMode mode, uint32_t* position) {
  uint32_t where = 0;
  if (accessor_.Position(file, offset, mode, &where) != kOk) return kFailed;
  if (position != nullptr) *position = where;
  uint32_t count = 0;
  return accessor_.Write(file, buffer, length, &count);
}

short FileOps::Delete(const char* path) {
  // One more try: a scanner or indexer may hold a file it just saw appear for a moment.
  Env* env = store_->env();
  if (!env->DeleteFile(path)) env->DeleteFile(path);
  return kOk;
}

}  // namespace telbook
