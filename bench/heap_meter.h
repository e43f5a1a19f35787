// Counts the memory blocks the library holds: every block goes through the Env, so a forwarding
// Env that notes each size sees the library's whole heap of blocks, and its peak.
#ifndef TELBOOK_BENCH_HEAP_METER_H_
#define TELBOOK_BENCH_HEAP_METER_H_

#include <cstddef>

#include "platform/fault_env.h"

namespace telbook {
namespace bench {

class CountingEnv final : public ForwardingEnv {
 public:
  explicit CountingEnv(Env* target) : ForwardingEnv(target) {}

  void* AllocBlock(size_t size) override;
  void FreeBlock(void* block) override;

  // Starts a new measurement: the peak from now on, counted from what is live now.
  void ResetPeak() { peak_ = live_; }
  size_t live() const { return live_; }
  size_t peak() const { return peak_; }
  // True when a block was freed that this Env never handed out, or more were live than tracked.
  bool lost_track() const { return lost_track_; }

 private:
  // Live blocks are few (the session, the fixed part, a record buffer or two): a small table.
  static constexpr int kTracked = 256;
  struct Entry {
    void* block;
    size_t size;
  };
  Entry entries_[kTracked] = {};
  size_t live_ = 0;
  size_t peak_ = 0;
  bool lost_track_ = false;
};

}  // namespace bench
}  // namespace telbook

#endif  // TELBOOK_BENCH_HEAP_METER_H_
