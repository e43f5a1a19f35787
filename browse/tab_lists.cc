// Making the tab lists: a count of each tab's slots, then their places, in one pass each.
// A slot is in the list of its reading class and, when it has one, of its favourite category.
#include "browse/tab_lists.h"

#include "records/reading_class.h"
#include "store/file_store.h"
#include "store/format.h"
#include "store/record_index.h"

namespace telbook {

namespace {

constexpr int kClassLists = reading_class::kOther;
constexpr uint16_t kTableSlots[2] = {format::kSlotsPerTable, format::kUsedGroupSlots};

// The lists a tab code is in: its class's, and its favourite's or -1.
void ListsOf(uint8_t tab, int* by_class, int* by_favourite) {
  const uint8_t cls = format::TabClass(tab);
  const uint8_t favourite = format::TabFavourite(tab);
  *by_class = cls >= 1 && cls <= kClassLists ? cls - 1 : -1;
  *by_favourite =
      favourite >= 1 && favourite <= format::kMaxFavourite ? kClassLists + favourite - 1 : -1;
}

}  // namespace

bool TabLists::Ready() {
  if (!store_->is_open()) {
    current_ = false;
    return false;
  }
  if (current_ && generation_ == store_->slot_generation()) return true;
  current_ = false;
  const uint8_t* tables[2] = {store_->personal_index(), store_->group_index()};

  uint32_t counts[kLists] = {};
  for (int t = 0; t < 2; ++t) {
    const uint8_t* end = tables[t] + format::kSlotSize * kTableSlots[t];
    for (const uint8_t* slot = tables[t]; slot < end; slot += format::kSlotSize) {
      if (Slot::kind(slot) == format::kKindFree) continue;
      int by_class = 0;
      int by_favourite = 0;
      ListsOf(Slot::tab(slot), &by_class, &by_favourite);
      if (by_class >= 0) ++counts[by_class];
      if (by_favourite >= 0) ++counts[by_favourite];
    }
  }
  uint32_t total = 0;
  for (uint32_t count : counts) total += count;
  const size_t size = sizeof(Packed) * (kLists + 1 + total);
  if (block_.size() < size && !block_.Obtain(store_->env(), size)) return false;

  Packed* starts = reinterpret_cast<Packed*>(block_.data());
  Packed* slots = starts + kLists + 1;
  Packed next[kLists];
  starts[0] = 0;
  for (int l = 0; l < kLists; ++l) {
    next[l] = starts[l];
    starts[l + 1] = static_cast<Packed>(starts[l] + counts[l]);
  }
  for (int t = 0; t < 2; ++t) {
    const Packed base = t == 0 ? 0 : format::kSlotsPerTable;
    for (uint16_t i = 0; i < kTableSlots[t]; ++i) {
      const uint8_t* slot = tables[t] + format::kSlotSize * i;
      if (Slot::kind(slot) == format::kKindFree) continue;
      int by_class = 0;
      int by_favourite = 0;
      ListsOf(Slot::tab(slot), &by_class, &by_favourite);
      const Packed packed = static_cast<Packed>(base + i);
      if (by_class >= 0) slots[next[by_class]++] = packed;
      if (by_favourite >= 0) slots[next[by_favourite]++] = packed;
    }
  }
  generation_ = store_->slot_generation();
  current_ = true;
  return true;
}

void TabLists::Of(uint8_t mask, uint8_t value, const Packed** begin, const Packed** end) const {
  const int list = mask == format::kTabClassMask
                       ? value - 1
                       : kClassLists + (value >> format::kTabFavouriteShift) - 1;
  const Packed* starts = reinterpret_cast<const Packed*>(block_.data());
  const Packed* slots = starts + kLists + 1;
  *begin = slots + starts[list];
  *end = slots + starts[list + 1];
}

}  // namespace telbook
