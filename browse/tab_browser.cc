// The tab browser: counting and walking the slots of one tab, and the other-class rebuild.
// A tab's slots come from the tab lists (a scan of the slot tables when they cannot be had).
#include "browse/tab_browser.h"

#include <algorithm>

#include "records/reading_class.h"
#include "store/file_store.h"
#include "store/format.h"
#include "store/record_index.h"

namespace telbook {

namespace {
constexpr uint16_t kTableSlots[2] = {format::kSlotsPerTable, format::kUsedGroupSlots};
// Each tab's records lie all over the record area, so that walking the tabs one by one would
// read the whole area once per tab: from the first tab on, the area is held in memory (up to
// this size, twice a book of 9999 entries and 1000 groups) until the next write or the close.
constexpr uint32_t kHeldAreaLimit = 4 * 1024 * 1024;
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
  if (any) mask = value = 0;
  while (store_->is_open() && !ref->none()) {
    const uint8_t* table =
        ref->table == SlotRef::kPersonal ? store_->personal_index() : store_->group_index();
    const uint16_t end = kTableSlots[ref->table];
    for (uint16_t i = ref->index; i < end; ++i) {
      const uint8_t* slot = table + format::kSlotSize * i;
      if (Slot::kind(slot) != format::kKindFree && (Slot::tab(slot) & mask) == value) {
        ref->index = i;
        return true;
      }
    }
    if (ref->table != SlotRef::kPersonal) break;
    ref->table = SlotRef::kGroup;
    ref->index = 0;
  }
  ref->table = SlotRef::kNone;
  ref->index = 0;
  return false;
}

uint16_t TabBrowser::Count(uint8_t mask, uint8_t value) const {
  const uint8_t* tables[2] = {store_->personal_index(), store_->group_index()};
  uint16_t count = 0;
  for (int t = 0; t < 2; ++t) {
    const uint8_t* end = tables[t] + format::kSlotSize * kTableSlots[t];
    for (const uint8_t* slot = tables[t]; slot < end; slot += format::kSlotSize) {
      count += Slot::kind(slot) != format::kKindFree && (Slot::tab(slot) & mask) == value;
    }
  }
  return count;
}

bool TabBrowser::FindNextInTab(SlotRef* ref) {
  if (!lists_.Ready()) return FindNext(mask_, value_, false, ref);
  const TabLists::Packed* begin = nullptr;
  const TabLists::Packed* end = nullptr;
  lists_.Of(mask_, value_, &begin, &end);
  const TabLists::Packed* next = end;
  if (cursor_set_ && cursor_generation_ == lists_.generation()) {
    next = begin + cursor_;
  } else if (!ref->none()) {
    const uint32_t from =
        ref->table == SlotRef::kPersonal ? ref->index : format::kSlotsPerTable + ref->index;
    next = std::lower_bound(begin, end, from);
  }
  if (next == end) {
    cursor_set_ = false;
    ref->table = SlotRef::kNone;
    ref->index = 0;
    return false;
  }
  // The caller hands this slot out and resumes behind it, where the list's next slot lies.
  cursor_set_ = true;
  cursor_ = static_cast<uint32_t>(next - begin) + 1;
  cursor_generation_ = lists_.generation();
  if (*next < format::kSlotsPerTable) {
    ref->table = SlotRef::kPersonal;
    ref->index = *next;
  } else {
    ref->table = SlotRef::kGroup;
    ref->index = static_cast<uint16_t>(*next - format::kSlotsPerTable);
  }
  return true;
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
  const uint32_t area = store_->format_version >= format::kVersion2 ? format::kFixedPartSize
                                                                    : format::kFixedPartSizeV1;
  store_->read_ahead().Hold(store_->handle, area, kHeldAreaLimit);
  tab_open_ = true;
  code_ = code;
  mask_ = mask;
  value_ = value;
  if (lists_.Ready()) {
    const TabLists::Packed* begin = nullptr;
    const TabLists::Packed* end = nullptr;
    lists_.Of(mask, value, &begin, &end);
    count_ = static_cast<uint16_t>(end - begin);
  } else {
    count_ = Count(mask, value);
  }
  delivered_ = 0;
  resume_ = SlotRef();
  cursor_set_ = false;
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
  if (!FindNextInTab(&position)) return kOk;
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
  store_->SlotsChanged();
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
