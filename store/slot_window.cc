// Slot windows: the file offset of a window is that of its first slot; its slots lie back to
// back there because a window never crosses from a table's low part to its high part.
#include "store/slot_window.h"

#include <cstring>

#include "store/errors.h"
#include "store/file_store.h"

namespace telbook {

bool SlotWindow::Obtain() {
  last_ = 0;
  return block_.Obtain(store_->env(), format::kSlotSize * kSlots);
}

void SlotWindow::Begin(bool personal, uint32_t first, uint32_t last, const uint8_t* from) {
  personal_ = personal;
  first_ = first;
  uint32_t part_end = first <= format::kLowSlots ? format::kLowSlots : format::kSlotsPerTable;
  last_ = first + kSlots - 1;
  if (last_ > part_end) last_ = part_end;
  if (last_ > last) last_ = last;
  const uint32_t bytes = format::kSlotSize * (last_ - first_ + 1);
  if (from != nullptr) {
    memcpy(block_.data(), from, bytes);
  } else {
    memset(block_.data(), 0, bytes);
  }
}

short SlotWindow::Write(FileHandle file) {
  const uint32_t offset =
      personal_ ? format::PersonalSlotOffset(first_) : format::GroupSlotOffset(first_);
  if (accessor_.Position(file, offset, SeekMode::kBegin, nullptr) != kOk) return kFailed;
  uint32_t count = 0;
  return accessor_.Write(file, block_.data(), format::kSlotSize * (last_ - first_ + 1), &count);
}

}  // namespace telbook
