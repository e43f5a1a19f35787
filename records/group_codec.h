// The stored group record: its layout, a bounded view that decodes it, and the encoder from the
// host's group structure and member list used by the writer and the record conversion.
#ifndef TELBOOK_RECORDS_GROUP_CODEC_H_
#define TELBOOK_RECORDS_GROUP_CODEC_H_

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "interface/telbook.h"
#include "store/format.h"

namespace telbook {
namespace group {

// ---- Stored group record (offsets from the record's first byte) ----
constexpr uint32_t kKindOffset = 0;
constexpr uint32_t kHostWord1Offset = 2;
constexpr uint32_t kHostWord2Offset = kHostWord1Offset + 2;
constexpr uint32_t kNameLinkOffset = kHostWord2Offset + 2;     // group string 0
constexpr uint32_t kFuriganaLinkOffset = kNameLinkOffset + 2;  // group string 1
constexpr uint32_t kReservedOffset = kFuriganaLinkOffset + 2;
constexpr uint32_t kMemberCountOffset = kReservedOffset + 2;     // N
constexpr uint32_t kExtraPlacesOffset = kMemberCountOffset + 2;  // M
constexpr uint32_t kMembersOffset = kExtraPlacesOffset + 2;
constexpr uint32_t kMemberSize = 2;
// Member places holding these are empty.
constexpr uint16_t kEmptyPlace = 0;
constexpr uint16_t kEmptyPlaceAlt = 0xFFFF;

// The encoding buffer for N members: the fixed part, the member list and both texts.
constexpr uint32_t kEncodeSlack = 148;
constexpr uint32_t EncodeCapacity(uint32_t members) { return kEncodeSlack + kMemberSize * members; }

static_assert(kNameLinkOffset == 6 && kFuriganaLinkOffset == 8, "string offsets at 6 and 8");
static_assert(kMemberCountOffset == 12 && kExtraPlacesOffset == 14, "counts at 12 and 14");
static_assert(kMembersOffset == 16, "members from 16");
static_assert(kEncodeSlack >= kMembersOffset + sizeof(TL_Group::Name) + sizeof(TL_Group::Furigana),
              "the slack holds both texts and their terminators");
static_assert(EncodeCapacity(format::kMaxGroupMembers) == format::kMaxGroupRecordSize,
              "largest group record");

}  // namespace group

// A read-only view of one stored group record of `length` bytes. Member places and strings past
// the record's end are not read.
class GroupView {
 public:
  GroupView(const uint8_t* record, size_t length) : record_(record), length_(length) {}

  uint8_t kind() const;
  uint16_t host_word1() const;
  uint16_t host_word2() const;
  uint16_t member_count() const;  // N
  uint16_t extra_places() const;  // M
  // The number of member places (N + M) that lie wholly inside the record.
  size_t place_count() const;
  // Place i (below place_count()); 0 or 0xFFFF mean empty.
  uint16_t place(size_t i) const;
  static bool IsEmptyPlace(uint16_t number) {
    return number == group::kEmptyPlace || number == group::kEmptyPlaceAlt;
  }
  // Group string 0 (Name) or 1 (Furigana) through the main string decoder; false for a kind
  // other than 1, 2 or 3 (the caller reports (kTextField, kWrongKind)).
  bool Text(int n, std::string_view* text) const;

  const uint8_t* data() const { return record_; }
  size_t length() const { return length_; }

 private:
  const uint8_t* record_;
  size_t length_;
};

// Encodes a group of `count` members as a stored record of kind 2 into `buffer`, which must hold
// at least group::EncodeCapacity(count) bytes (it is zero-filled here). Members are stored as
// given; texts as by EncodeKojin. Favourite and MemberCount of the structure are not stored.
// Returns the record length, or 0 when the buffer is too small or members is null with a count.
uint32_t EncodeGroup(const TL_Group& entry, const uint16_t* members, uint16_t count,
                     uint8_t* buffer, size_t capacity);

// The tail of a group record: Name and Furigana written from `position` (the end of the member
// places) on, with their links, in a buffer with room for both fields. Every byte up to the
// returned record length is written from position on, none after it.
uint32_t EncodeGroupTexts(const TL_Group& entry, uint8_t* buffer, uint32_t position);

}  // namespace telbook

#endif  // TELBOOK_RECORDS_GROUP_CODEC_H_
