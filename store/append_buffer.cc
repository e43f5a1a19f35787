// The append buffer: bytes collected in order and written as one positioned write per block.
#include "store/append_buffer.h"

#include <cassert>
#include <cstring>

#include "store/errors.h"
#include "store/file_store.h"

namespace telbook {

bool AppendBuffer::Obtain(size_t capacity) {
  held_ = 0;
  return block_.Obtain(store_->env(), capacity);
}

void AppendBuffer::Release() {
  file_ = nullptr;
  start_ = 0;
  held_ = 0;
  block_.Release();
}

void AppendBuffer::Start(FileHandle file, uint32_t position) {
  file_ = file;
  start_ = position;
  held_ = 0;
}

void AppendBuffer::CopyHeld(uint32_t offset, uint32_t length, uint8_t* out) const {
  assert(offset >= start_ && static_cast<uint64_t>(offset) + length <= position());
  if (length != 0) memcpy(out, block_.data() + (offset - start_), length);
}

short AppendBuffer::WriteAt(const uint8_t* data, uint32_t length, uint32_t position) {
  if (accessor_.Position(file_, position, SeekMode::kBegin, nullptr) != kOk) return kFailed;
  uint32_t count = 0;
  return accessor_.Write(file_, data, length, &count);
}

short AppendBuffer::Flush() {
  if (held_ == 0) return kOk;
  if (WriteAt(block_.data(), held_, start_) != kOk) return kFailed;
  start_ += held_;
  held_ = 0;
  return kOk;
}

short AppendBuffer::FlushAligned() {
  const uint32_t end = start_ + held_;
  const uint32_t cut = end - end % kWriteAlignment;
  if (cut <= start_) return Flush();
  const uint32_t written = cut - start_;
  if (WriteAt(block_.data(), written, start_) != kOk) return kFailed;
  memmove(block_.data(), block_.data() + written, held_ - written);
  start_ = cut;
  held_ -= written;
  return kOk;
}

short AppendBuffer::Append(const uint8_t* data, uint32_t length, uint32_t* position) {
  const uint32_t capacity = static_cast<uint32_t>(block_.size());
  if (length == 0) {
    *position = start_ + held_;
    return kOk;
  }
  if (held_ + static_cast<uint64_t>(length) > capacity &&
      (FlushAligned() != kOk ||
       (held_ + static_cast<uint64_t>(length) > capacity && Flush() != kOk))) {
    return kFailed;
  }
  *position = start_ + held_;
  if (length > capacity) {
    if (WriteAt(data, length, start_) != kOk) return kFailed;
    start_ += length;
    return kOk;
  }
  memcpy(block_.data() + held_, data, length);
  held_ += length;
  return kOk;
}

}  // namespace telbook
