// A run of consecutive slots of one index table, at most one block long and never crossing
// from the low to the high part of the table in the file, collected in memory and written to
// its place in a new file's fixed part in one write.
#ifndef TELBOOK_STORE_SLOT_WINDOW_H_
#define TELBOOK_STORE_SLOT_WINDOW_H_

#include <cstdint>

#include "platform/env.h"
#include "platform/memory_block.h"
#include "store/file_accessor.h"
#include "store/format.h"

namespace telbook {

class FileStore;

class SlotWindow final {
 public:
  // The low part of a table is exactly one window.
  static constexpr uint32_t kSlots = format::kLowSlots;

  explicit SlotWindow(FileStore* store) : store_(store), accessor_(store) {}
  SlotWindow(const SlotWindow&) = delete;
  SlotWindow& operator=(const SlotWindow&) = delete;

  // Obtains the block through the store's Env; false, recording nothing, when there is no memory.
  bool Obtain();
  void Release() { block_.Release(); }

  // Starts a window at slot `first` (from 1) of the personal or group table, reaching to `last`
  // or to the end of the block or of the table's part, whichever comes first. Its slots start as
  // a copy of the slots at `from` (first's slot and those after it), or as zeros for null.
  void Begin(bool personal, uint32_t first, uint32_t last, const uint8_t* from);
  uint32_t first() const { return first_; }
  uint32_t last() const { return last_; }
  // Slot n of the table, first <= n <= last.
  uint8_t* slot(uint32_t n) { return block_.data() + format::kSlotSize * (n - first_); }
  // Writes the window at its offset in file. 0, or -1 with the file layer's pair.
  short Write(FileHandle file);

 private:
  FileStore* store_;
  FileAccessor accessor_;
  MemoryBlock block_;
  bool personal_ = true;
  uint32_t first_ = 1;
  uint32_t last_ = 0;
};

}  // namespace telbook

#endif  // TELBOOK_STORE_SLOT_WINDOW_H_
