// File operations of the store beyond one call each: positioned reads and writes, and the
// delete of a whole file.
#ifndef TELBOOK_STORE_FILE_OPS_H_
#define TELBOOK_STORE_FILE_OPS_H_

#include <cstdint>

#include "platform/env.h"
#include "store/file_accessor.h"

namespace telbook {

class FileStore;

class FileOps final {
 public:
  explicit FileOps(FileStore* store) : store_(store), accessor_(store) {}

  // Moves to offset (or to the end with SeekMode::kEnd) and reads exactly length bytes.
  // 0, or -1 with the pair of the step that failed.
  short PositionedRead(FileHandle file, void* buffer, uint32_t offset, SeekMode mode,
                       uint32_t length);
  // Moves, reports the position in *position (with SeekMode::kEnd: where the data begins), then
  // writes exactly length bytes. 0, or -1 with the pair of the step that failed.
  short PositionedWrite(FileHandle file, const void* buffer, uint32_t offset, uint32_t length,
                        SeekMode mode, uint32_t* position);
  // Deletes a file; the outcome is not looked at. Always 0.
  short Delete(const char* path);

 private:
  FileStore* store_;
  FileAccessor accessor_;
};

}  // namespace telbook

#endif  // TELBOOK_STORE_FILE_OPS_H_
