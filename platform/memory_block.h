// Move-only owner of one zero-filled memory block obtained through the Env, so that tests can
// fail any allocation. The block does not move while it is owned.
#ifndef TELBOOK_PLATFORM_MEMORY_BLOCK_H_
#define TELBOOK_PLATFORM_MEMORY_BLOCK_H_

#include <cstddef>
#include <cstdint>
#include <utility>

#include "platform/env.h"

namespace telbook {

class MemoryBlock {
 public:
  MemoryBlock() = default;
  MemoryBlock(const MemoryBlock&) = delete;
  MemoryBlock& operator=(const MemoryBlock&) = delete;
  MemoryBlock(MemoryBlock&& other) noexcept { *this = std::move(other); }
  MemoryBlock& operator=(MemoryBlock&& other) noexcept {
    if (this != &other) {
      Release();
      env_ = other.env_;
      data_ = other.data_;
      size_ = other.size_;
      other.data_ = nullptr;
      other.size_ = 0;
    }
    return *this;
  }
  ~MemoryBlock() { Release(); }

  // Replaces any held block with a new zero-filled one; false when none could be had (a block
  // of size 0 counts as not obtained), leaving this empty.
  bool Obtain(Env* env, size_t size) {
    Release();
    if (size == 0) return false;
    void* p = env->AllocBlock(size);
    if (p == nullptr) return false;
    env_ = env;
    data_ = static_cast<uint8_t*>(p);
    size_ = size;
    return true;
  }

  void Release() {
    if (data_ != nullptr) env_->FreeBlock(data_);
    data_ = nullptr;
    size_ = 0;
  }

  uint8_t* data() const { return data_; }
  size_t size() const { return size_; }
  bool empty() const { return data_ == nullptr; }

 private:
  Env* env_ = nullptr;
  uint8_t* data_ = nullptr;
  size_t size_ = 0;
};

}  // namespace telbook

#endif  // TELBOOK_PLATFORM_MEMORY_BLOCK_H_
