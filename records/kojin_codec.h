// The stored personal entry record: its layout, a bounded view that decodes it, and the encoder
// from the host's personal entry structure used by the writer and the record conversion.
#ifndef TELBOOK_RECORDS_KOJIN_CODEC_H_
#define TELBOOK_RECORDS_KOJIN_CODEC_H_

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "interface/telbook.h"
#include "records/record_text.h"

namespace telbook {
namespace kojin {

// ---- Stored personal entry record (offsets from the record's first byte) ----
constexpr uint32_t kKindOffset = 0;
constexpr uint32_t kMainTableOffset = 2;  // thirteen 16-bit string offsets
constexpr int kMainStrings = 13;
constexpr uint32_t kExtensionLinkOffset = kMainTableOffset + 2 * kMainStrings;
constexpr uint32_t kHostWord1Offset = kExtensionLinkOffset + 2;
constexpr uint32_t kHostWord2Offset = kHostWord1Offset + 2;
constexpr uint32_t kLineTypeOffset = kHostWord2Offset + 2;
constexpr uint32_t kCommModeOffset = kLineTypeOffset + 1;
constexpr uint32_t kHostByte1Offset = kCommModeOffset + 1;
constexpr uint32_t kHostByte2Offset = kHostByte1Offset + 1;
constexpr uint32_t kRelayOutputOffset = kHostByte2Offset + 1;
constexpr uint32_t kReserved2Offset = kRelayOutputOffset + 1;
constexpr uint32_t kReserved2Size = 4;
constexpr uint32_t kExtensionBlockOffset = kReserved2Offset + kReserved2Size;

// Extension block, offsets from its start (the value at kExtensionLinkOffset).
constexpr uint32_t kExtTagOffset = 0;
constexpr uint32_t kExtTagSize = 4;
constexpr char kExtTag[] = "0200";
constexpr uint32_t kExtTableOffset = kExtTagOffset + kExtTagSize;  // three 16-bit offsets
constexpr int kExtensionStrings = 3;
constexpr uint32_t kExtAltDestLinkOffset = kExtTableOffset + 2 * kExtensionStrings;
constexpr uint32_t kExtReservedOffset = kExtAltDestLinkOffset + 2;
constexpr uint32_t kExtBlockSize = kExtReservedOffset + 2;
constexpr uint32_t kStringsOffset = kExtensionBlockOffset + kExtBlockSize;

// Alternate destination block (version-3 files), offsets from its start.
constexpr uint32_t kAltFlagOffset = 4;
constexpr uint32_t kAltStringLinkOffset = 5;
constexpr uint8_t kAltInForce = 1;

// Extension string numbers.
constexpr int kSpeedDial = 0;
constexpr int kFCode = 1;
constexpr int kPCode = 2;

// The encoding buffer: the fixed part plus the whole host structure.
constexpr uint32_t kEncodeCapacity = kStringsOffset + sizeof(TL_Kojin);
// The longest record the encoder makes: every text at its capacity (terminators included).
constexpr uint32_t kTextCapacities = 885;
constexpr uint32_t kMaxEncodedLength = kStringsOffset + kTextCapacities;

// Capacities of the host fields behind main strings 0 to 12 and extension strings 0 to 2.
constexpr size_t kMainFieldCapacities[kMainStrings] = {
    sizeof(TL_Kojin::Name),      sizeof(TL_Kojin::Furigana),  sizeof(TL_Kojin::Affiliation),
    sizeof(TL_Kojin::FaxNumber), sizeof(TL_Kojin::Phone),     sizeof(TL_Kojin::EMail),
    sizeof(TL_Kojin::Memo),      sizeof(TL_Kojin::BoxNumber), sizeof(TL_Kojin::BoxPassword),
    sizeof(TL_Kojin::HostText1), sizeof(TL_Kojin::RelayId),   sizeof(TL_Kojin::BroadcastList),
    sizeof(TL_Kojin::HostText2)};
constexpr size_t kExtensionFieldCapacities[kExtensionStrings] = {
    sizeof(TL_Kojin::SpeedDial), sizeof(TL_Kojin::FCode), sizeof(TL_Kojin::PCode)};

constexpr size_t SumOfCapacities() {
  size_t sum = 0;
  for (size_t c : kMainFieldCapacities) sum += c;
  for (size_t c : kExtensionFieldCapacities) sum += c;
  return sum;
}
static_assert(SumOfCapacities() == kTextCapacities, "every text at its capacity");

static_assert(kExtensionLinkOffset == 28, "extension link at 28");
static_assert(kHostWord1Offset == 30 && kHostWord2Offset == 32, "host words at 30 and 32");
static_assert(kLineTypeOffset == 34 && kRelayOutputOffset == 38, "numbers at 34 to 38");
static_assert(kExtensionBlockOffset == 43, "extension block at 43");
static_assert(kExtBlockSize == 14 && kExtAltDestLinkOffset == 10, "extension block layout");
static_assert(kStringsOffset == 57, "strings from 57");
static_assert(kEncodeCapacity == 953, "encoding buffer is 953 bytes");
static_assert(kMaxEncodedLength == 942, "longest record is 942 bytes");

// Main string n's field of the host structure (n from 0 to 12), with its capacity.
char* MainField(TL_Kojin* entry, int n, size_t* capacity);
const char* MainField(const TL_Kojin* entry, int n, size_t* capacity);
// Extension string n's field (0 SpeedDial, 1 FCode, 2 PCode).
char* ExtensionField(TL_Kojin* entry, int n, size_t* capacity);
const char* ExtensionField(const TL_Kojin* entry, int n, size_t* capacity);

}  // namespace kojin

// A read-only view of one stored personal entry record of `length` bytes. Every accessor stays
// inside the record: a number past its end reads 0, a string whose offset lies past the end is
// empty, and a string without its zero ends at the record's end. The views returned point into
// the record, which must outlive them.
class KojinView {
 public:
  KojinView(const uint8_t* record, size_t length) : record_(record), length_(length) {}

  uint8_t kind() const;
  // False when the kind is none of 1, 2 and 3 (the caller reports (kTextField, kWrongKind)).
  bool Main(int n, std::string_view* text) const { return MainString(record_, length_, n, text); }
  // Main string n followed by the rest of the record, for a reader that stops at the string's
  // zero itself, as TextAt does, without a search for it first; empty where Main's text is empty
  // for want of an offset.
  std::string_view MainAndRest(int n) const {
    size_t offset = length_;
    MainStringOffset(record_, length_, n, &offset);
    return Rest(offset);
  }
  // Empty when the record has no extension block (0 at offset 28).
  std::string_view Extension(int n) const { return TextAt(record_, length_, ExtensionOffset(n)); }
  // Extension string n followed by the rest of the record, as MainAndRest.
  std::string_view ExtensionAndRest(int n) const { return Rest(ExtensionOffset(n)); }
  // Where extension string n starts; length() (an empty text) when the record has none.
  size_t ExtensionOffset(int n) const {
    uint16_t block = U16At(record_, length_, kojin::kExtensionLinkOffset);
    if (block == 0 || n < 0 || n >= kojin::kExtensionStrings) return length_;
    size_t link = size_t{block} + kojin::kExtTableOffset + 2 * static_cast<size_t>(n);
    if (link + 2 > length_) return length_;
    return U16At(record_, length_, link);
  }
  // The alternate destination flag and text, 0 and empty when there is none.
  uint8_t AltDestFlag() const;
  std::string_view AltDest() const;

  uint16_t host_word1() const { return U16At(record_, length_, kojin::kHostWord1Offset); }
  uint16_t host_word2() const { return U16At(record_, length_, kojin::kHostWord2Offset); }
  uint8_t line_type() const { return U8At(record_, length_, kojin::kLineTypeOffset); }
  uint8_t comm_mode() const { return U8At(record_, length_, kojin::kCommModeOffset); }
  uint8_t host_byte1() const { return U8At(record_, length_, kojin::kHostByte1Offset); }
  uint8_t host_byte2() const { return U8At(record_, length_, kojin::kHostByte2Offset); }
  uint8_t relay_output() const { return U8At(record_, length_, kojin::kRelayOutputOffset); }

  const uint8_t* data() const { return record_; }
  size_t length() const { return length_; }

 private:
  // Offset of the alternate destination block, 0 when there is none.
  uint16_t AltBlock() const;
  std::string_view Rest(size_t offset) const {
    if (offset >= length_) return {};
    return std::string_view(reinterpret_cast<const char*>(record_ + offset), length_ - offset);
  }

  const uint8_t* record_;
  size_t length_;
};

// Encodes a host personal entry as a stored record of kind 1 into `buffer`, which must hold at
// least kojin::kEncodeCapacity bytes (it is zero-filled here). Tab characters become spaces;
// each text is taken up to its zero, but at most its field's capacity - 1 bytes. AltDestFlag
// and Favourite are not stored. Returns the record length (at most kojin::kMaxEncodedLength),
// or 0 when the buffer is too small.
uint32_t EncodeKojin(const TL_Kojin& entry, uint8_t* buffer, size_t capacity);

}  // namespace telbook

#endif  // TELBOOK_RECORDS_KOJIN_CODEC_H_
