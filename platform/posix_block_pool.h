// Memory blocks kept for reuse: the large blocks a session frees are held, up to a bound, and
// handed out again zero-filled, so that opening one phone book after another neither gives the
// heap back to the system at every close nor faults it in again at every open.
#ifndef TELBOOK_PLATFORM_POSIX_BLOCK_POOL_H_
#define TELBOOK_PLATFORM_POSIX_BLOCK_POOL_H_

#include <cstddef>
#include <mutex>

namespace telbook {

class BlockPool final {
 public:
  // Smaller blocks come and go through malloc's own bins, which it keeps.
  static constexpr size_t kMinPooledSize = 4096;
  // What the pool may hold while no one uses it, at most.
  static constexpr size_t kMaxPooledBytes = 512 * 1024;
  static constexpr int kMaxPooledBlocks = 16;

  BlockPool() = default;
  BlockPool(const BlockPool&) = delete;
  BlockPool& operator=(const BlockPool&) = delete;
  ~BlockPool();

  // A zero-filled block of size bytes that does not move until freed: a pooled one at least that
  // large (and at most twice), or a new one; null when there is no memory. Safe from any thread.
  void* Alloc(size_t size);
  // Takes back a block of Alloc, or null: kept when large enough and there is room, else freed.
  void Free(void* block);

  // What is held now, for tests.
  size_t pooled_bytes();
  int pooled_blocks();

 private:
  struct Entry {
    void* block;
    size_t capacity;
  };

  std::mutex mutex_;
  Entry entries_[kMaxPooledBlocks] = {};
  int count_ = 0;
  size_t bytes_ = 0;
};

}  // namespace telbook

#endif  // TELBOOK_PLATFORM_POSIX_BLOCK_POOL_H_
