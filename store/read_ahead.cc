// Read-ahead over one file: a hit is a copy, a miss one positioned read of a whole block.
// A short block at the end of the file is fine as long as it holds the bytes asked for.
#include "store/read_ahead.h"

#include <cstring>

#include "store/errors.h"
#include "store/file_store.h"

namespace telbook {

bool ReadAhead::Obtain(size_t capacity) {
  Forget();
  return block_.Obtain(store_->env(), capacity);
}

void ReadAhead::Release() {
  Forget();
  block_.Release();
}

short ReadAhead::Read(FileHandle file, uint32_t offset, uint32_t length, uint8_t* out) {
  const uint64_t end = static_cast<uint64_t>(offset) + length;
  if (file == file_ && offset >= start_ && end <= static_cast<uint64_t>(start_) + length_) {
    memcpy(out, block_.data() + (offset - start_), length);
    return kOk;
  }
  Forget();
  uint32_t count = 0;
  if (accessor_.Position(file, offset, kPositionBegin, nullptr) != kOk) return kFailed;
  if (block_.empty() || length > block_.size()) {
    return accessor_.Read(file, out, length, &count);
  }
  if (accessor_.ReadUpTo(file, block_.data(), static_cast<uint32_t>(block_.size()), length,
                         &count) != kOk) {
    return kFailed;
  }
  file_ = file;
  start_ = offset;
  length_ = count;
  memcpy(out, block_.data(), length);
  return kOk;
}

}  // namespace telbook
