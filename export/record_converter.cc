// Decoding a stored record through its codec and encoding it again in the current layout, in the
// caller's buffer. The compaction runs it with the repair of its texts, the subset export without.
#include "export/record_converter.h"

#include <cstring>
#include <string_view>

#include "records/group_codec.h"
#include "records/kojin_codec.h"
#include "records/record_text.h"
#include "settings/text_util.h"
#include "store/coding.h"

namespace telbook {

namespace {

// An Affiliation this long, with a lead byte at kAffiliationLeadAt, straddles a field boundary
// of older writers.
constexpr size_t kAffiliationCutLength = 80;
constexpr size_t kAffiliationLeadAt = 39;

size_t TextLength(const char* text, size_t capacity) { return strnlen(text, capacity); }

// Zero-fills what follows the record in the buffer, so that nothing outside it is ever decoded.
uint32_t ClearBeyondRecord(uint8_t* buffer, size_t capacity, uint32_t length) {
  if (length > capacity) length = static_cast<uint32_t>(capacity);
  memset(buffer + length, 0, capacity - length);
  return length;
}

}  // namespace

void RecordConverter::DropDanglingLead(char* text, size_t capacity) {
  size_t length = TextLength(text, capacity);
  // A byte that is a trail byte but no lead byte ends any character: after it the scan is never
  // inside one, whatever came before. So the scan starts behind the last such byte.
  size_t start = length;
  while (start > 0) {
    uint8_t c = static_cast<uint8_t>(text[start - 1]);
    if (TextUtil::IsTrailByte(c) && !TextUtil::IsLeadByte(c)) break;
    --start;
  }
  bool after_lead = false;
  for (size_t i = start; i < length; ++i) {
    uint8_t c = static_cast<uint8_t>(text[i]);
    if (!after_lead) {
      if (TextUtil::IsLeadByte(c)) after_lead = true;
    } else if (TextUtil::IsTrailByte(c)) {
      after_lead = false;
    }
  }
  if (after_lead && length > 0) text[length - 1] = '\0';
}

void RecordConverter::CutAffiliation(char* text, size_t capacity) {
  if (capacity <= kAffiliationCutLength) return;
  if (TextLength(text, capacity) != kAffiliationCutLength) return;
  if (!TextUtil::IsLeadByte(static_cast<uint8_t>(text[kAffiliationLeadAt]))) return;
  text[kAffiliationCutLength - 1] = '\0';
  if (TextUtil::IsLeadByte(static_cast<uint8_t>(text[kAffiliationCutLength - 2]))) {
    text[kAffiliationCutLength - 2] = '\0';
  }
}

void RecordConverter::RepairKojin(TL_Kojin* e) {
  DropDanglingLead(e->Name, sizeof(e->Name));
  DropDanglingLead(e->Furigana, sizeof(e->Furigana));
  DropDanglingLead(e->Affiliation, sizeof(e->Affiliation));
  CutAffiliation(e->Affiliation, sizeof(e->Affiliation));
  DropDanglingLead(e->Phone, sizeof(e->Phone));
  DropDanglingLead(e->EMail, sizeof(e->EMail));
  DropDanglingLead(e->Memo, sizeof(e->Memo));
}

void RecordConverter::RepairGroup(TL_Group* e) {
  DropDanglingLead(e->Name, sizeof(e->Name));
  DropDanglingLead(e->Furigana, sizeof(e->Furigana));
}

uint32_t RecordConverter::ConvertKojin(uint8_t* buffer, size_t capacity, uint32_t length,
                                       bool repair) const {
  if (buffer == nullptr || capacity < kKojinBufferSize) return 0;
  length = ClearBeyondRecord(buffer, capacity, length);
  KojinView view(buffer, length);
  TL_Kojin entry;
  memset(&entry, 0, sizeof(entry));
  entry.HostWord1 = view.host_word1();
  entry.HostWord2 = view.host_word2();
  entry.LineType = view.line_type();
  entry.CommMode = view.comm_mode();
  entry.HostByte1 = view.host_byte1();
  entry.HostByte2 = view.host_byte2();
  entry.RelayOutput = view.relay_output();
  for (int n = 0; n < kojin::kMainStrings; ++n) {
    std::string_view text;
    if (!view.Main(n, &text)) text = {};
    size_t field_capacity = 0;
    char* field = kojin::MainField(&entry, n, &field_capacity);
    CopyToField(field, field_capacity, text);
  }
  for (int n : {kojin::kFCode, kojin::kPCode, kojin::kSpeedDial}) {
    size_t field_capacity = 0;
    char* field = kojin::ExtensionField(&entry, n, &field_capacity);
    CopyToField(field, field_capacity, view.Extension(n));
  }
  if (repair) RepairKojin(&entry);
  return EncodeKojin(entry, buffer, capacity);
}

uint32_t RecordConverter::ConvertGroup(uint8_t* buffer, size_t capacity, uint32_t length,
                                       bool repair) const {
  if (buffer == nullptr || capacity < kGroupBufferSize) return 0;
  length = ClearBeyondRecord(buffer, capacity, length);
  GroupView view(buffer, length);
  TL_Group entry;
  memset(&entry, 0, sizeof(entry));
  std::string_view text;
  if (!view.Text(0, &text)) text = {};
  CopyToField(entry.Name, sizeof(entry.Name), text);
  if (!view.Text(1, &text)) text = {};
  CopyToField(entry.Furigana, sizeof(entry.Furigana), text);

  // Only places that lie wholly inside the record are members; never more than a group holds.
  size_t members = view.member_count();
  size_t room =
      length > group::kMembersOffset ? (length - group::kMembersOffset) / group::kMemberSize : 0;
  if (members > room) members = room;
  if (members > format::kMaxGroupMembers) members = format::kMaxGroupMembers;
  if (repair) RepairGroup(&entry);

  uint32_t position = group::kMembersOffset + group::kMemberSize * static_cast<uint32_t>(members);
  memset(buffer + position, 0, kGroupBufferSize - position);
  EncodeU16(buffer + group::kMemberCountOffset, static_cast<uint16_t>(members));
  EncodeU16(buffer + group::kExtraPlacesOffset, 0);
  EncodeU16(buffer + group::kNameLinkOffset, static_cast<uint16_t>(position));
  AppendFieldText(buffer, &position, entry.Name, sizeof(entry.Name));
  EncodeU16(buffer + group::kFuriganaLinkOffset, static_cast<uint16_t>(position));
  AppendFieldText(buffer, &position, entry.Furigana, sizeof(entry.Furigana));
  return position;
}

}  // namespace telbook
