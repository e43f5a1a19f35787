// The phone book file's container: offsets and sizes of the fixed part, the slot, the framing of
// a record, and the magic and version texts. Record contents have their own codecs in records/.
#ifndef TELBOOK_STORE_FORMAT_H_
#define TELBOOK_STORE_FORMAT_H_

#include <cstdint>

namespace telbook {
namespace format {

// ---- Fixed part ----
constexpr uint32_t kHeaderOffset = 0;
constexpr uint32_t kHeaderSize = 32;
constexpr uint32_t kFavouritesOffset = kHeaderOffset + kHeaderSize;
constexpr uint32_t kFavouritesSize = 96;

constexpr uint32_t kSlotSize = 8;
constexpr uint32_t kSlotsPerTable = 9999;
// Each index table lies in the file in two parts: slots 1 to 1024, and 1025 to 9999.
constexpr uint32_t kLowSlots = 1024;
constexpr uint32_t kHighSlots = kSlotsPerTable - kLowSlots;
constexpr uint32_t kLowTableSize = kLowSlots * kSlotSize;
constexpr uint32_t kHighTableSize = kHighSlots * kSlotSize;

constexpr uint32_t kPersonalLowOffset = kFavouritesOffset + kFavouritesSize;
constexpr uint32_t kGroupLowOffset = kPersonalLowOffset + kLowTableSize;
constexpr uint32_t kPersonalHighOffset = kGroupLowOffset + kLowTableSize;
constexpr uint32_t kGroupHighOffset = kPersonalHighOffset + kHighTableSize;
constexpr uint32_t kFixedPartSize = kGroupHighOffset + kHighTableSize;
// A version-1 file ends its fixed part after the low halves of the tables.
constexpr uint32_t kFixedPartSizeV1 = kPersonalHighOffset;

static_assert(kPersonalLowOffset == 128, "personal index at 128");
static_assert(kGroupLowOffset == 8320, "group index at 8320");
static_assert(kPersonalHighOffset == 16512, "personal slots 1025 up at 16512");
static_assert(kGroupHighOffset == 88312, "group slots 1025 up at 88312");
static_assert(kFixedPartSize == 160112, "version-2 fixed part is 160112 bytes");
static_assert(kHighTableSize == 71800, "high table part is 71800 bytes");

// In memory each table is one buffer of all its slots in order, plus spare bytes.
constexpr uint32_t kIndexBufferSize = 80000;
static_assert(kIndexBufferSize >= kSlotsPerTable * kSlotSize, "index buffer holds every slot");

// ---- Header ----
constexpr uint32_t kMagicOffset = 0;
constexpr uint32_t kMagicSize = 4;
constexpr uint32_t kVersionOffset = 4;
constexpr uint32_t kVersionSize = 4;
constexpr uint32_t kPersonalCountOffset = 8;
constexpr uint32_t kGroupCountOffset = 10;
constexpr uint32_t kPersonalLimitOffset = 12;
constexpr uint32_t kGroupLimitOffset = 14;
constexpr uint32_t kReservedOffset = 16;
static_assert(kReservedOffset + 16 == kHeaderSize, "header is 32 bytes");

// Format versions, as the version text gives them: 1 ends the index tables after slot 1024,
// 2 adds the rest of the slots and the extension strings of personal entries, 3 the alternate
// destination. A text that does not parse gives 0, read as version 1.
constexpr uint16_t kVersionUnknown = 0;
constexpr uint16_t kVersion1 = 1;
constexpr uint16_t kVersion2 = 2;
constexpr uint16_t kVersion3 = 3;
constexpr uint16_t kSavedVersion = kVersion2;  // written by create, every save and the subset

constexpr char kMagicV2[] = "KVTL";      // format versions 0, 1 and 2
constexpr char kMagicV3[] = "KVPL";      // format version 3
constexpr char kVersionText[] = "0200";  // the text of kSavedVersion
constexpr uint16_t kPersonalLimit = 9999;
constexpr uint16_t kGroupLimit = 5000;

// The magic a header of this version must begin with.
constexpr const char* MagicFor(uint16_t version) {
  return version == kVersion3 ? kMagicV3 : kMagicV2;
}

// ---- Favourites block ----
constexpr uint32_t kFavouriteCountOffset = 0;
constexpr uint32_t kFavouriteNamesOffset = 4;
constexpr uint32_t kFavouriteNameSize = 16;
constexpr uint16_t kFavouriteCount = 5;
static_assert(kFavouriteNamesOffset + kFavouriteCount * kFavouriteNameSize + 12 == kFavouritesSize,
              "favourites block is 96 bytes");

// ---- Slot ----
constexpr uint32_t kSlotKindOffset = 0;
constexpr uint32_t kSlotTabOffset = 1;
constexpr uint32_t kSlotLengthOffset = 2;
constexpr uint32_t kSlotRecordOffset = 4;

// ---- Tab code (the slot's second byte) ----
// The reading class (1 to 11) in the low four bits, the favourite category (0 to 5) in the high
// four.
constexpr uint8_t kTabClassMask = 0x0F;
constexpr uint8_t kTabFavouriteMask = 0xF0;
constexpr int kTabFavouriteShift = 4;
constexpr uint8_t kMaxFavourite = 5;
static_assert(kTabClassMask == static_cast<uint8_t>(~kTabFavouriteMask), "two halves of a byte");
static_assert((kTabFavouriteMask >> kTabFavouriteShift) == kTabClassMask, "four bits each");

// The tab code of a reading class and a favourite number; only the favourite's low four bits
// are kept.
constexpr uint8_t TabCode(uint8_t reading_class, uint8_t favourite) {
  return static_cast<uint8_t>(reading_class | ((favourite & kTabClassMask) << kTabFavouriteShift));
}
constexpr uint8_t TabClass(uint8_t tab) { return tab & kTabClassMask; }
constexpr uint8_t TabFavourite(uint8_t tab) {
  return static_cast<uint8_t>(tab >> kTabFavouriteShift);
}

// ---- Records ----
constexpr uint8_t kKindFree = 0;
constexpr uint8_t kKindPersonal = 1;
constexpr uint8_t kKindGroup = 2;
constexpr uint8_t kKindPersonalAltDest = 3;  // read from version-3 files, never written
constexpr uint32_t kMaxPersonalRecordSize = 953;
constexpr uint32_t kMaxGroupMembers = 9999;
constexpr uint32_t kMaxGroupRecordSize = 148 + 2 * kMaxGroupMembers;
static_assert(kMaxGroupRecordSize == 20146, "largest group record");

// ---- Record numbers ----
constexpr uint16_t kFirstPersonal = 1;
constexpr uint16_t kLastPersonal = 9999;
constexpr uint16_t kGroupBase = 16384;  // group slot n is record number kGroupBase + n
constexpr uint16_t kFirstGroup = kGroupBase + 1;
constexpr uint16_t kLastGroup = kGroupBase + kSlotsPerTable;
constexpr uint16_t kUsedGroupSlots = 5000;  // new groups get slots 1 to 5000 only
constexpr uint16_t kLastNewGroup = kGroupBase + kUsedGroupSlots;
constexpr uint16_t kNoFreeSlot = 65535;
static_assert(kLastGroup == 26383 && kLastNewGroup == 21384, "group numbers");

// File offset of slot n (from 1) of the personal or group table.
constexpr uint32_t PersonalSlotOffset(uint32_t n) {
  return n <= kLowSlots ? kPersonalLowOffset + kSlotSize * (n - 1)
                        : kPersonalHighOffset + kSlotSize * (n - 1 - kLowSlots);
}
constexpr uint32_t GroupSlotOffset(uint32_t n) {
  return n <= kLowSlots ? kGroupLowOffset + kSlotSize * (n - 1)
                        : kGroupHighOffset + kSlotSize * (n - 1 - kLowSlots);
}
static_assert(PersonalSlotOffset(1025) == 16512, "personal slot 1025");
static_assert(GroupSlotOffset(1024) == 16504, "group slot 1024");
static_assert(GroupSlotOffset(5000) == 120112, "group slot 5000");
static_assert(GroupSlotOffset(5001) == 120120, "group slot 5001");
static_assert(PersonalSlotOffset(9999) == 88304, "personal slot 9999");
static_assert(GroupSlotOffset(9999) == 160104, "group slot 9999");

// Format version from a four-byte version text: "01nn" 1, "02nn" 2, "03nn" 3, anything else 0.
inline uint16_t ParseVersion(const uint8_t* text) {
  auto digit = [](uint8_t c) { return c >= '0' && c <= '9'; };
  if (text[0] != '0' || !digit(text[2]) || !digit(text[3])) return kVersionUnknown;
  if (text[1] < '1' || text[1] > '3') return kVersionUnknown;
  return static_cast<uint16_t>(text[1] - '0');
}

// The probe of a file whose header says version 2 or 3 for the version-1 layout, given the two
// bytes at kPersonalHighOffset: in a version-1 file they are the kind and the zero of the first
// record; in a later one the kind and tab code of personal slot 1025, never a non-zero kind with
// tab code 0.
inline bool LaidOutAsVersion1(const uint8_t* at_personal_high) {
  return at_personal_high[0] != kKindFree && at_personal_high[1] == 0;
}

}  // namespace format
}  // namespace telbook

#endif  // TELBOOK_STORE_FORMAT_H_
