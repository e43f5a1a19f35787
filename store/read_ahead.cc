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

bool ReadAhead::Hold(FileHandle file, uint32_t from, uint32_t limit) {
  Env* env = store_->env();
  uint32_t end = 0;
  if (file == nullptr || !env->Seek(file, 0, SeekMode::kEnd, &end) || end <= from) return false;
  if (file == file_ && start_ <= from && static_cast<uint64_t>(start_) + length_ >= end) {
    return true;
  }
  const uint32_t size = end - from;
  if (size > limit) return false;
  if (block_.size() < size) {
    MemoryBlock larger;
    if (!larger.Obtain(env, size)) return false;
    block_ = std::move(larger);
  }
  Forget();
  uint32_t position = 0;
  uint32_t count = 0;
  if (!env->Seek(file, from, SeekMode::kBegin, &position) ||
      !env->Read(file, block_.data(), size, &count) || count != size) {
    return false;
  }
  file_ = file;
  start_ = from;
  length_ = count;
  return true;
}

bool ReadAhead::ReachesHeldBytes(FileHandle file, uint32_t offset, uint32_t length) const {
  const AppendBuffer& held = store_->write_behind();
  return length != 0 && file != nullptr && file == held.file() &&
         static_cast<uint64_t>(offset) + length > held.start();
}

short ReadAhead::ReadAcrossHeldBytes(FileHandle file, uint32_t offset, uint32_t length,
                                     uint8_t* out) {
  const AppendBuffer& held = store_->write_behind();
  if (static_cast<uint64_t>(offset) + length > held.position()) {
    Forget();
    store_->RecordError(category::kFileRead, detail::kReadFailed);
    return kFailed;
  }
  const uint32_t from_file = offset < held.start() ? held.start() - offset : 0;
  if (from_file != 0) {
    uint32_t count = 0;
    if (accessor_.Position(file, offset, SeekMode::kBegin, nullptr) != kOk ||
        accessor_.Read(file, out, from_file, &count) != kOk) {
      Forget();
      return kFailed;
    }
  }
  held.CopyHeld(offset + from_file, length - from_file, out + from_file);
  return kOk;
}

short ReadAhead::ReadOnce(FileHandle file, uint32_t offset, uint32_t length, uint8_t* out) {
  if (ReachesHeldBytes(file, offset, length)) return ReadAcrossHeldBytes(file, offset, length, out);
  uint32_t count = 0;
  if (accessor_.Position(file, offset, SeekMode::kBegin, nullptr) != kOk) return kFailed;
  return accessor_.Read(file, out, length, &count);
}

short ReadAhead::View(FileHandle file, uint32_t offset, uint32_t length, const uint8_t** bytes) {
  *bytes = nullptr;
  if (ReachesHeldBytes(file, offset, length) || block_.empty() || length > block_.size()) {
    return kOk;
  }
  const uint64_t end = static_cast<uint64_t>(offset) + length;
  if (file != file_ || offset < start_ || end > static_cast<uint64_t>(start_) + length_) {
    Forget();
    uint32_t count = 0;
    if (accessor_.Position(file, offset, SeekMode::kBegin, nullptr) != kOk ||
        accessor_.ReadUpTo(file, block_.data(), static_cast<uint32_t>(block_.size()), length,
                           &count) != kOk) {
      return kFailed;
    }
    file_ = file;
    start_ = offset;
    length_ = count;
  }
  *bytes = block_.data() + (offset - start_);
  return kOk;
}

short ReadAhead::Read(FileHandle file, uint32_t offset, uint32_t length, uint8_t* out) {
  const uint8_t* bytes = nullptr;
  short status = View(file, offset, length, &bytes);
  if (status != kOk) return status;
  if (bytes == nullptr) {
    status = ReadOnce(file, offset, length, out);
    if (status != kOk) Forget();
    return status;
  }
  if (length != 0) memcpy(out, bytes, length);
  return kOk;
}

}  // namespace telbook
