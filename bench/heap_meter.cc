// The block counter's bookkeeping.
#include "bench/heap_meter.h"

namespace telbook {
namespace bench {

void* CountingEnv::AllocBlock(size_t size) {
  void* block = ForwardingEnv::AllocBlock(size);
  if (block == nullptr) return nullptr;
  for (Entry& entry : entries_) {
    if (entry.block == nullptr) {
      entry = {block, size};
      live_ += size;
      if (live_ > peak_) peak_ = live_;
      return block;
    }
  }
  lost_track_ = true;
  return block;
}

void CountingEnv::FreeBlock(void* block) {
  if (block == nullptr) return;
  bool found = false;
  for (Entry& entry : entries_) {
    if (entry.block == block) {
      live_ -= entry.size;
      entry = {nullptr, 0};
      found = true;
      break;
    }
  }
  if (!found) lost_track_ = true;
  ForwardingEnv::FreeBlock(block);
}

}  // namespace bench
}  // namespace telbook
