// Positioned file access, copies, deletes and temporary names.
// Temporary files are the platform's to make: it never reuses or follows what is at a name.
#include "store/file_ops.h"

#include <cstring>

#include "store/file_store.h"

namespace telbook {

namespace {

constexpr char kTempPrefix[] = "tel";

}  // namespace

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

bool FileOps::Copy(const char* from, const char* to, uint16_t clear_read_only) {
  Env* env = store_->env();
  if (!env->CopyFile(from, to, /*fail_if_exists=*/true)) return false;
  if (clear_read_only == 1) env->ClearReadOnly(to);
  return true;
}

short FileOps::Delete(const char* path) {
  // One more try: a scanner or indexer may hold a file it just saw appear for a moment.
  Env* env = store_->env();
  if (!env->DeleteFile(path)) env->DeleteFile(path);
  return kOk;
}

bool FileOps::MakeTempFile(char* out) {
  char dir[kMaxPath];
  Env* env = store_->env();
  return env->TempDirectory(dir) && env->MakeTempFile(dir, kTempPrefix, out);
}

bool FileOps::MakeSiblingTempFile(const char* path, char* out) {
  char dir[kMaxPath];
  size_t length = strnlen(path, kMaxPath);
  if (length >= kMaxPath) return false;
  size_t cut = length;
  while (cut > 0 && path[cut - 1] != '/' && path[cut - 1] != '\\') --cut;
  if (cut == 0) {
    dir[0] = '.';
    dir[1] = '/';
    dir[2] = '\0';
  } else {
    memcpy(dir, path, cut);
    dir[cut] = '\0';
  }
  return store_->env()->MakeTempFile(dir, kTempPrefix, out);
}

}  // namespace telbook
