// The tab browser: counting and walking the slots of one tab, and the other-class rebuild.
// Only the slot tables in memory are scanned; each delivered record is read from the file.
#include "browse/tab_browser.h"

#include "records/reading_class.h"
#include "store/file_store.h"
#include "store/format.h"
#include "store/record_index.h"

namespace telbook {

namespace {
constexpr uint16_t kTableSlots[2] = {format::kSlotsPerTable, format::kUsedGroupSlots};
}  // namespace

uint16_t SlotRef::record_number() const {
  switch (table) {
    case kPersonal:
      return static_cast<uint16_t>(index + 1);
    case kGroup:
      return static_cast<uint16_t>(format::kFirstGroup + index);
    default:
      return 0;
  }
}

void SlotRef::Advance() {
  if (table == kNone) return;
  if (++index < kTableSlots[table]) return;
  index = 0;
  table = table == kPersonal ? kGroup : kNone;
}

uint8_t* TabBrowser::SlotAt(const SlotRef& ref) const {
  if (ref.none() || !store_->is_open() || ref.index >= kTableSlots[ref.table]) return nullptr;
  uint8_t* table =
      ref.table == SlotRef::kPersonal ? store_->personal_index() : store_->group_index();
  return table + format::kSlotSize * ref.index;
}

bool TabBrowser::FindNext(uint8_t mask, uint8_t value, bool any, SlotRef* ref) const {
  for (; !ref->none(); ref->Advance()) {
    const uint8_t* slot = SlotAt(*ref);
    if (slot == nullptr) break;
    if (Slot::kind(slot) == format::kKindFree) continue;
    if (any || (Slot::tab(slot) & mask) == value) return true;
  }
  ref->table = SlotRef::kNone;
  ref->index = 0;
  return false;
}

uint16_t TabBrowser::Count(uint8_t mask, uint8_t value) const {
  uint16_t count = 0;
  for (SlotRef ref; FindNext(mask, value, false, &ref); ref.Advance()) ++count;
  return count;
}

short TabBrowser::OpenTag(uint8_t code) {
  if (!store_->is_open()) {
    store_->RecordError(category::kOpenTag, detail::kOpenFailed);
    return kFailed;
  }
  if (tab_open_) {
    store_->RecordError(category::kOpenTag, detail::kTabAlreadyOpen);
    return kFailed;
  }
  uint8_t mask = 0;
  uint8_t value = 0;
  if (!DecodeTabCode(code, &mask, &value)) {
    store_->RecordError(category::kTabCode, detail::kBadTabCode);
    return kFailed;
  }
  tab_open_ = true;
  code_ = code;
  mask_ = mask;
  value_ = value;
  count_ = Count(mask, value);
  delivered_ = 0;
  resume_ = SlotRef();
  return kOk;
}

short TabBrowser::ReadTagWeightCount(uint8_t code, uint16_t* count) {
  uint16_t result = 0;
  short status = kFailed;
  if (!store_->is_open()) {
    store_->RecordError(category::kReadTagWeightCount, detail::kOpenFailed);
  } else if (!tab_open_) {
    store_->RecordError(category::kReadTagWeightCount, detail::kNoTabOpen);
  } else if (code != code_) {
    store_->RecordError(category::kReadTagWeightCount, detail::kOtherTab);
  } else {
    result = count_;
    status = kOk;
  }
  if (count != nullptr) *count = result;
  return status;
}

short TabBrowser::ReadTagData(uint8_t code, TL_ListItem* item) {
  if (!store_->is_open()) {
    store_->RecordError(category::kReadTagData, detail::kOpenFailed);
    return kFailed;
  }
  if (!tab_open_) {
    store_->RecordError(category::kReadTagData, detail::kNoTabOpen);
    return kFailed;
  }
  if (code != code_) {
    store_->RecordError(category::kReadTagData, detail::kOtherTab);
    return kFailed;
  }
  if (count_ == 0 || delivered_ == count_) {
    store_->RecordError(category::kReadTagData, detail::kNoMoreRecords);
    return kFailed;
  }
  if (item == nullptr) {
    store_->RecordError(category::kReadTagData, detail::kNoCountPlace);
    return kFailed;
  }
  SlotRef position = resume_;
  if (!FindNext(mask_, value_, false, &position)) return kOk;
  short status = reader_.ReadListItem(position.record_number(), item);
  ++delivered_;
  position.Advance();
  resume_ = position;
  return status;
}

void TabBrowser::RebuildOtherClass() {
  CloseTab();
  if (!store_->is_open()) return;
  const uint8_t mask = format::kTabClassMask;
  const uint8_t value = reading_class::kOther;
  uint16_t count = Count(mask, value);
  SlotRef position;
  TL_ListItem item;
  for (uint16_t i = 0; i < count; ++i) {
    if (!FindNext(mask, value, false, &position)) break;
    reader_.ReadReading(position.record_number(), &item, SlotAt(position));
    position.Advance();
  }
  CloseTab();
}

bool DecodeTabCode(uint8_t code, uint8_t* mask, uint8_t* value) {
  uint8_t low = format::TabClass(code);
  uint8_t high = format::TabFavourite(code);
  if (high > format::kMaxFavourite) return false;
  if (low == 0) {
    if (high == 0) return false;
    *mask = format::kTabFavouriteMask;
    *value = static_cast<uint8_t>(high << format::kTabFavouriteShift);
    return true;
  }
  if (low > reading_class::kOther) return false;
  *mask = format::kTabClassMask;
  *value = low;
  return true;
}

}  // namespace telbook
