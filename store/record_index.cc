// Record number arithmetic over the in-memory index tables.
// Personal slot n is record n; group slot n is record 16384 + n.
#include "store/record_index.h"

#include "store/file_store.h"

namespace telbook {

short IndexLookup::Lookup(uint16_t record_number, uint8_t** slot) {
  uint8_t* table;
  uint16_t index;
  if (record_number > format::kGroupBase) {
    table = store_->group_index();
    index = static_cast<uint16_t>(record_number - format::kFirstGroup);
  } else {
    table = store_->personal_index();
    index = static_cast<uint16_t>(record_number - 1);  // 0 wraps to 65535
  }
  if (index >= format::kSlotsPerTable || table == nullptr) {
    store_->RecordError(category::kRecordToSlot, detail::kBadRecordNumber);
    return kFailed;
  }
  *slot = table + format::kSlotSize * index;
  return kOk;
}

int IndexLookup::SlotNumber(const uint8_t* slot) {
  const uint8_t* tables[2] = {store_->personal_index(), store_->group_index()};
  const int bases[2] = {0, format::kGroupBase};
  for (int t = 0; t < 2; ++t) {
    const uint8_t* table = tables[t];
    if (table == nullptr || slot < table) continue;
    size_t distance = static_cast<size_t>(slot - table);
    if (distance % format::kSlotSize != 0) continue;
    size_t index = distance / format::kSlotSize;
    if (index < format::kSlotsPerTable) return bases[t] + static_cast<int>(index) + 1;
  }
  store_->RecordError(category::kSlotToRecord, detail::kSlotOutside);
  return -1;
}

uint16_t IndexLookup::FreeSlot(uint16_t base) {
  uint8_t* slot = nullptr;
  if (Lookup(static_cast<uint16_t>(base + 1), &slot) != kOk) return format::kNoFreeSlot;
  // The scan starts at the remembered lowest slot that may be free; the hint stays on the slot
  // it answers, which is free until a write fills it (a failed write leaves it free).
  const int table = base == 0 ? 0 : 1;
  uint16_t index = store_->free_slot_hint(table);
  for (slot += format::kSlotSize * index; index < format::kSlotsPerTable;
       ++index, slot += format::kSlotSize) {
    if (Slot::kind(slot) == format::kKindFree) break;
  }
  store_->set_free_slot_hint(table, index);
  if (index == format::kSlotsPerTable) return format::kNoFreeSlot;
  return static_cast<uint16_t>(base + index + 1);
}

bool IndexLookup::IsFree(uint16_t record_number) {
  if (record_number == 0) return false;
  uint8_t* slot = nullptr;
  if (Lookup(record_number, &slot) != kOk) return false;
  return Slot::kind(slot) == format::kKindFree;
}

}  // namespace telbook
