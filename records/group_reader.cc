// The group reader's groups: loading one group into the store's group cursor, its data and its
// members one by one. The loaded copy does not follow later writes.
#include "records/group_reader.h"

#include <utility>

#include "records/group_codec.h"
#include "records/record_text.h"
#include "store/file_store.h"

namespace telbook {

short GroupReader::OpenGroup(uint16_t record_number) {
  FileStore* fs = store_;
  if (!fs->is_open()) {
    fs->RecordError(category::kOpenGroup, detail::kOpenFailed);
    return kFailed;
  }
  if (record_number < format::kGroupBase) {
    fs->RecordError(category::kOpenGroup, detail::kNotAGroup);
    return kFailed;
  }
  MemoryBlock block;
  uint8_t* slot = nullptr;
  short status = reader_.Load(record_number, category::kOpenGroup, &block, &slot);
  if (status != kOk) return status;
  GroupCursor& cursor = fs->group_cursor;
  cursor.Drop();
  cursor.record = std::move(block);
  cursor.slot = slot;
  cursor.delivered = 0;
  cursor.open = true;
  return kOk;
}

short GroupReader::ReadGroupData(TL_Group* entry) {
  FileStore* fs = store_;
  GroupCursor& cursor = fs->group_cursor;
  if (!cursor.open) {
    fs->RecordError(category::kReadGroupData, detail::kNoGroupOpen);
    return kFailed;
  }
  if (entry == nullptr) {
    fs->RecordError(category::kReadGroupData, detail::kNoCountPlace);
    return kFailed;
  }
  GroupView view(cursor.record.data(), cursor.record.size());
  std::string_view text;
  if (!view.Text(0, &text)) {
    fs->RecordError(category::kTextField, detail::kWrongKind);
    return kFailed;
  }
  CopyToField(entry->Name, sizeof(entry->Name), text);
  view.Text(1, &text);
  CopyToField(entry->Furigana, sizeof(entry->Furigana), text);
  entry->HostWord1 = view.host_word1();
  entry->HostWord2 = view.host_word2();
  entry->MemberCount = view.member_count();
  entry->Favourite = format::TabFavourite(Slot::tab(cursor.slot));
  return kOk;
}

short GroupReader::ReadGroupMember(TL_ListItem* item) {
  FileStore* fs = store_;
  GroupCursor& cursor = fs->group_cursor;
  if (!cursor.open) {
    fs->RecordError(category::kReadGroupMember, detail::kNoGroupOpen);
    return kFailed;
  }
  if (item == nullptr) {
    fs->RecordError(category::kReadGroupMember, detail::kNoCountPlace);
    return kFailed;
  }
  GroupView view(cursor.record.data(), cursor.record.size());
  size_t places = view.place_count();
  uint32_t seen = 0;
  for (size_t i = 0; i < places; ++i) {
    uint16_t member = view.place(i);
    if (GroupView::IsEmptyPlace(member)) continue;
    if (seen++ < cursor.delivered) continue;
    ++cursor.delivered;
    return reader_.ReadListItem(member, item);
  }
  fs->RecordError(category::kReadGroupMember, detail::kNoMoreMembers);
  return kFailed;
}

short GroupReader::CloseGroup() {
  store_->group_cursor.Drop();
  return kOk;
}

}  // namespace telbook
