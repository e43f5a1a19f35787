// Deleting records: the checks, the groups rewritten without a deleted entry into a copy of their
// slots, and the one step that puts the copy in place and frees the entry's slot.
#include "records/record_deleter.h"

#include <cstring>
#include <string_view>

#include "records/group_codec.h"
#include "records/record_text.h"
#include "records/record_writer.h"
#include "store/file_store.h"
#include "store/working_copy.h"

namespace telbook {

namespace {

constexpr int kPersonalTable = 0;
constexpr int kGroupTable = 1;
// The group slots a save keeps, and so the ones a deleted entry is taken out of.
constexpr uint32_t kKeptGroupSlotsSize = format::kSlotSize * format::kUsedGroupSlots;

}  // namespace

short RecordDeleter::Prepare(uint16_t record_number, uint16_t category, bool group,
                             uint8_t** slot) {
  FileStore* fs = store_;
  if (!fs->is_open()) {
    fs->RecordError(category, detail::kOpenFailed);
    return kFailed;
  }
  bool in_range =
      group ? record_number >= format::kFirstGroup && record_number <= format::kLastGroup
            : record_number >= format::kFirstPersonal && record_number <= format::kLastPersonal;
  if (!in_range) {
    fs->RecordError(category, detail::kBadRecordNumber);
    return kFailed;
  }
  if (lookup_.IsFree(record_number)) {
    fs->RecordError(category, detail::kNoRecord);
    return kFailed;
  }
  short status = working_copy_->Ensure();
  if (status != kOk) return status;
  // The switch read the index again from the copy; the number is looked up afresh.
  if (lookup_.Lookup(record_number, slot) != kOk || Slot::kind(*slot) == format::kKindFree) {
    fs->RecordError(category, detail::kNoRecord);
    return kFailed;
  }
  return kOk;
}

void RecordDeleter::Free(uint8_t* slot, int table, uint16_t index) {
  Slot::Fill(slot, format::kKindFree, 0, 0, 0);
  if (index < store_->free_slot_hint(table)) store_->set_free_slot_hint(table, index);
}

short RecordDeleter::RewriteGroup(const uint8_t* record, size_t length, uint16_t number,
                                  uint8_t* slot) {
  FileStore* fs = store_;
  GroupView view(record, length);
  size_t places = view.place_count();
  uint16_t kept = 0;
  for (size_t i = 0; i < places; ++i) {
    uint16_t member = view.place(i);
    if (!GroupView::IsEmptyPlace(member) && member != number) ++kept;
  }
  // As the save's conversion does, a group keeps at most the members a group record holds.
  if (kept > format::kMaxGroupMembers) kept = format::kMaxGroupMembers;
  MemoryBlock members;
  MemoryBlock buffer;
  if ((kept != 0 && !members.Obtain(fs->env(), group::kMemberSize * kept)) ||
      !buffer.Obtain(fs->env(), group::EncodeCapacity(kept))) {
    fs->RecordError(category::kDeleteKojin, detail::kNoMemory);
    return kFailed;
  }
  uint16_t* list = reinterpret_cast<uint16_t*>(members.data());
  uint16_t n = 0;
  for (size_t i = 0; i < places && n < kept; ++i) {
    uint16_t member = view.place(i);
    if (!GroupView::IsEmptyPlace(member) && member != number) list[n++] = member;
  }
  TL_Group entry;
  memset(&entry, 0, sizeof(entry));
  entry.HostWord1 = view.host_word1();
  entry.HostWord2 = view.host_word2();
  std::string_view text;
  view.Text(0, &text);
  CopyToField(entry.Name, sizeof(entry.Name), text);
  view.Text(1, &text);
  CopyToField(entry.Furigana, sizeof(entry.Furigana), text);
  uint32_t encoded = EncodeGroup(entry, list, kept, buffer.data(), buffer.size());
  uint32_t offset = 0;
  short status = writer_->AppendRecord(buffer.data(), encoded, category::kDeleteKojin, &offset);
  if (status != kOk) return status;
  Slot::Fill(slot, format::kKindGroup, Slot::tab(slot), static_cast<uint16_t>(encoded), offset);
  return kOk;
}

short RecordDeleter::RewriteGroups(uint16_t number, MemoryBlock* slots, bool* changed) {
  FileStore* fs = store_;
  *changed = false;
  const uint8_t* table = fs->group_index();
  for (uint32_t i = 0; i < format::kUsedGroupSlots; ++i) {
    const uint8_t* slot = table + format::kSlotSize * i;
    if (Slot::kind(slot) == format::kKindFree) continue;
    uint16_t group_number = static_cast<uint16_t>(format::kFirstGroup + i);
    if (Slot::length(slot) == 0) {
      fs->RecordError(category::kDeleteKojin, detail::kRecordFailed);
      return kFailed;
    }
    MemoryBlock record;
    short status =
        reader_.Load(group_number, category::kDeleteKojin, &record, nullptr, /*ahead=*/true);
    if (status != kOk) {
      // A block that could not be had keeps its own pair; a read that failed is named here.
      if (!(fs->error().category == category::kDeleteKojin &&
            fs->error().detail == detail::kNoMemory)) {
        fs->RecordError(category::kDeleteKojin, detail::kRecordFailed);
      }
      return kFailed;
    }
    if (record.data()[group::kKindOffset] != format::kKindGroup) {
      fs->RecordError(category::kDeleteKojin, detail::kWrongKind);
      return kFailed;
    }
    GroupView view(record.data(), record.size());
    bool lists = false;
    for (size_t p = 0; p < view.place_count() && !lists; ++p) lists = view.place(p) == number;
    if (!lists) continue;
    if (!*changed) {
      if (!slots->Obtain(fs->env(), kKeptGroupSlotsSize)) {
        fs->RecordError(category::kDeleteKojin, detail::kNoMemory);
        return kFailed;
      }
      memcpy(slots->data(), table, kKeptGroupSlotsSize);
      *changed = true;
    }
    status =
        RewriteGroup(record.data(), record.size(), number, slots->data() + format::kSlotSize * i);
    if (status != kOk) return status;
  }
  return kOk;
}

short RecordDeleter::DeleteKojin(uint16_t record_number) {
  FileStore* fs = store_;
  uint8_t* slot = nullptr;
  short status = Prepare(record_number, category::kDeleteKojin, /*group=*/false, &slot);
  if (status != kOk) return status;
  MemoryBlock group_slots;
  bool changed = false;
  status = RewriteGroups(record_number, &group_slots, &changed);
  if (status != kOk) return status;
  // Nothing has failed: the rewritten groups and the freed entry take effect together.
  if (changed) memcpy(fs->group_index(), group_slots.data(), kKeptGroupSlotsSize);
  Free(slot, kPersonalTable, static_cast<uint16_t>(record_number - format::kFirstPersonal));
  uint16_t count = fs->personal_count();
  if (count > 0) fs->set_personal_count(static_cast<uint16_t>(count - 1));
  return kOk;
}

short RecordDeleter::DeleteGroup(uint16_t record_number) {
  FileStore* fs = store_;
  uint8_t* slot = nullptr;
  short status = Prepare(record_number, category::kDeleteGroup, /*group=*/true, &slot);
  if (status != kOk) return status;
  Free(slot, kGroupTable, static_cast<uint16_t>(record_number - format::kFirstGroup));
  // Only groups of slots 1 to 5000 are counted; a save keeps no others.
  uint16_t count = fs->group_count();
  if (record_number <= format::kLastNewGroup && count > 0) {
    fs->set_group_count(static_cast<uint16_t>(count - 1));
  }
  return kOk;
}

}  // namespace telbook
