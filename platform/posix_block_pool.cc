// The block pool: each block carries its capacity in a header in front of it, so that a freed
// block can be kept by size; a reused block is cleared over the size asked for.
#include "platform/posix_block_pool.h"

#include <cstdlib>
#include <cstring>

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TELBOOK_POOL_ASAN 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define TELBOOK_POOL_ASAN 1
#endif
#ifdef TELBOOK_POOL_ASAN
#include <sanitizer/asan_interface.h>
#endif

namespace telbook {

namespace {

// The header keeps the block behind it aligned as malloc aligns.
constexpr size_t kHeaderSize = alignof(std::max_align_t);
static_assert(kHeaderSize >= sizeof(size_t), "the header holds the capacity");

void* BlockOf(void* raw) { return static_cast<char*>(raw) + kHeaderSize; }
void* RawOf(void* block) { return static_cast<char*>(block) - kHeaderSize; }
size_t CapacityOf(void* block) {
  size_t capacity;
  memcpy(&capacity, RawOf(block), sizeof(capacity));
  return capacity;
}

// A held block is out of bounds for the address sanitizer until it is handed out again, so that
// a use after its free is still caught.
void Hold(void* block, size_t capacity) {
#ifdef TELBOOK_POOL_ASAN
  ASAN_POISON_MEMORY_REGION(block, capacity);
#else
  (void)block;
  (void)capacity;
#endif
}
void Unhold(void* block, size_t capacity) {
#ifdef TELBOOK_POOL_ASAN
  ASAN_UNPOISON_MEMORY_REGION(block, capacity);
#else
  (void)block;
  (void)capacity;
#endif
}

}  // namespace

BlockPool::~BlockPool() {
  for (int i = 0; i < count_; ++i) {
    Unhold(entries_[i].block, entries_[i].capacity);
    free(RawOf(entries_[i].block));
  }
}

void* BlockPool::Alloc(size_t size) {
  if (size >= kMinPooledSize) {
    void* reused = nullptr;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      int best = -1;
      for (int i = 0; i < count_; ++i) {
        const size_t capacity = entries_[i].capacity;
        if (capacity >= size && capacity / 2 <= size &&
            (best < 0 || capacity < entries_[best].capacity)) {
          best = i;
        }
      }
      if (best >= 0) {
        reused = entries_[best].block;
        Unhold(reused, entries_[best].capacity);
        bytes_ -= entries_[best].capacity;
        entries_[best] = entries_[--count_];
      }
    }
    if (reused != nullptr) {
      memset(reused, 0, size);
      return reused;
    }
  }
  if (size > static_cast<size_t>(-1) - kHeaderSize) return nullptr;
  void* raw = calloc(1, kHeaderSize + size);
  if (raw == nullptr) return nullptr;
  memcpy(raw, &size, sizeof(size));
  return BlockOf(raw);
}

void BlockPool::Free(void* block) {
  if (block == nullptr) return;
  const size_t capacity = CapacityOf(block);
  if (capacity >= kMinPooledSize) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (count_ < kMaxPooledBlocks && bytes_ + capacity <= kMaxPooledBytes) {
      Hold(block, capacity);
      entries_[count_++] = {block, capacity};
      bytes_ += capacity;
      return;
    }
  }
  free(RawOf(block));
}

size_t BlockPool::pooled_bytes() {
  std::lock_guard<std::mutex> lock(mutex_);
  return bytes_;
}

int BlockPool::pooled_blocks() {
  std::lock_guard<std::mutex> lock(mutex_);
  return count_;
}

}  // namespace telbook
