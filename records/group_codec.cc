// Decoding and encoding of the stored group record.
// Readers find the texts through their offsets, never by position.
#include "records/group_codec.h"

#include <cstring>

#include "records/record_text.h"
#include "store/coding.h"

namespace telbook {

uint8_t GroupView::kind() const { return U8At(record_, length_, group::kKindOffset); }
uint16_t GroupView::host_word1() const { return U16At(record_, length_, group::kHostWord1Offset); }
uint16_t GroupView::host_word2() const { return U16At(record_, length_, group::kHostWord2Offset); }
uint16_t GroupView::member_count() const {
  return U16At(record_, length_, group::kMemberCountOffset);
}
uint16_t GroupView::extra_places() const {
  return U16At(record_, length_, group::kExtraPlacesOffset);
}

size_t GroupView::place_count() const {
  size_t places = size_t{member_count()} + extra_places();
  if (length_ <= group::kMembersOffset) return 0;
  size_t room = (length_ - group::kMembersOffset) / group::kMemberSize;
  return places < room ? places : room;
}

uint16_t GroupView::place(size_t i) const {
  return U16At(record_, length_, group::kMembersOffset + group::kMemberSize * i);
}

bool GroupView::Text(int n, std::string_view* text) const {
  return MainString(record_, length_, n, text);
}

uint32_t EncodeGroup(const TL_Group& entry, const uint16_t* members, uint16_t count,
                     uint8_t* buffer, size_t capacity) {
  if (buffer == nullptr || capacity < group::EncodeCapacity(count)) return 0;
  if (members == nullptr && count != 0) return 0;
  memset(buffer, 0, capacity);
  buffer[group::kKindOffset] = format::kKindGroup;
  EncodeU16(buffer + group::kHostWord1Offset, entry.HostWord1);
  EncodeU16(buffer + group::kHostWord2Offset, entry.HostWord2);
  EncodeU16(buffer + group::kMemberCountOffset, count);
  EncodeU16(buffer + group::kExtraPlacesOffset, 0);
  uint32_t position = group::kMembersOffset;
  for (uint16_t i = 0; i < count; ++i, position += group::kMemberSize) {
    EncodeU16(buffer + position, members[i]);
  }
  return EncodeGroupTexts(entry, buffer, position);
}

uint32_t EncodeGroupTexts(const TL_Group& entry, uint8_t* buffer, uint32_t position) {
  EncodeU16(buffer + group::kNameLinkOffset, static_cast<uint16_t>(position));
  AppendFieldText(buffer, &position, entry.Name, sizeof(entry.Name));
  EncodeU16(buffer + group::kFuriganaLinkOffset, static_cast<uint16_t>(position));
  AppendFieldText(buffer, &position, entry.Furigana, sizeof(entry.Furigana));
  return position;
}

}  // namespace telbook
