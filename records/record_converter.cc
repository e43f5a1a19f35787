// Stored records converted to the current layout in the caller's buffer, as decoding and encoding
// them again would. The save runs it with the repair of its texts, the subset export without.
#include "records/record_converter.h"

#include <cstring>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "records/cp932_bytes.h"
#include "records/group_codec.h"
#include "records/kojin_codec.h"
#include "records/record_text.h"
#include "store/coding.h"

namespace telbook {

namespace {

// An Affiliation this long, with a lead byte at kAffiliationLeadAt, straddles a field boundary
// of older writers.
constexpr size_t kAffiliationCutLength = 80;
constexpr size_t kAffiliationLeadAt = 39;

size_t TextLength(const char* text, size_t capacity) { return strnlen(text, capacity); }

// Each byte's classes, looked up rather than tested range by range in the repair's scans.
constexpr uint8_t kLead = 1;
constexpr uint8_t kTrail = 2;
struct ByteClasses {
  uint8_t of[256];
};
constexpr ByteClasses MakeByteClasses() {
  ByteClasses classes{};
  for (int c = 0; c < 256; ++c) {
    uint8_t byte = static_cast<uint8_t>(c);
    classes.of[c] =
        static_cast<uint8_t>((IsLeadByte(byte) ? kLead : 0) | (IsTrailByte(byte) ? kTrail : 0));
  }
  return classes;
}
constexpr ByteClasses kByteClasses = MakeByteClasses();

constexpr uint8_t kTab = 0x09;
constexpr uint8_t kSpace = 0x20;
// Texts are repaired after their tabs became spaces: neither is a lead or a trail byte.
static_assert(kByteClasses.of[kTab] == 0 && kByteClasses.of[kSpace] == 0, "tabs and spaces");

// Texts are scanned a machine word at a time. The masks below are exact: a byte is marked only
// when it is itself zero, never because of its neighbours, so the first marked byte is the
// text's end and every marked byte after a tab test is a tab.
using Word = size_t;
constexpr Word kEveryByte = ~Word{0} / 0xFF;
constexpr Word kLow7 = kEveryByte * 0x7F;
constexpr Word kTabs = kEveryByte * kTab;
// 0x80 in each byte of word that is zero, 0 in every other.
inline Word ZeroBytes(Word word) { return ~(((word & kLow7) + kLow7) | word | kLow7); }
// Index, in memory order, of the first byte that a nonzero mask of ZeroBytes marks.
inline size_t FirstMarked(Word mask) {
#if defined(__GNUC__) && defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
  return static_cast<size_t>(__builtin_ctzll(mask)) / 8;
#else
  uint8_t bytes[sizeof(Word)];
  memcpy(bytes, &mask, sizeof(Word));
  size_t i = 0;
  while (bytes[i] == 0) ++i;
  return i;
#endif
}

// How many bytes a mask of ZeroBytes marks: the marks, moved to each byte's low bit, summed
// into the top byte.
inline size_t CountMarked(Word mask) {
  return static_cast<size_t>(((mask >> 7) * kEveryByte) >> (8 * (sizeof(Word) - 1)));
}

// Copies the stored text at `offset` of a record of `length` bytes to out, up to its zero, the
// record's end or `limit` bytes, tabs written as spaces. Returns the bytes copied. Reads nothing
// outside the record. May also write the record's bytes after the text's end into out, but never
// past out + limit.
size_t CopyStoredText(const uint8_t* record, size_t length, size_t offset, size_t limit,
                      uint8_t* out) {
  if (offset >= length) return 0;
  const uint8_t* in = record + offset;
  if (limit > length - offset) limit = length - offset;
  size_t size = 0;
  for (; limit - size >= sizeof(Word); size += sizeof(Word)) {
    Word word;
    memcpy(&word, in + size, sizeof(word));
    Word zeros = ZeroBytes(word);
    word ^= (ZeroBytes(word ^ kTabs) >> 7) * (kTab ^ kSpace);
    memcpy(out + size, &word, sizeof(word));
    if (zeros != 0) return size + FirstMarked(zeros);
  }
  for (; size < limit && in[size] != 0; ++size) out[size] = in[size] == kTab ? kSpace : in[size];
  return size;
}

// Whether the record is exactly what ConvertKojin would make of it: the writer's layout, every
// text within its field, no tab, and (with repair) nothing the repair would cut. Such a record
// converts to itself. Reads nothing outside the record.
bool IsConvertedKojin(const uint8_t* record, size_t length, bool repair) {
  using namespace kojin;
  constexpr int kTexts = kMainStrings + kExtensionStrings;
  if (length < kStringsOffset + kTexts || length > kMaxEncodedLength) return false;
  if (record[kKindOffset] != format::kKindPersonal || record[kKindOffset + 1] != 0 ||
      DecodeU32(record + kReserved2Offset) != 0 ||
      memcmp(record + kExtensionBlockOffset + kExtTagOffset, kExtTag, kExtTagSize) != 0 ||
      DecodeU32(record + kExtensionBlockOffset + kExtAltDestLinkOffset) != 0) {
    return false;
  }
  // Each text runs from its offset to the zero just before the next one's.
  size_t start[kTexts + 1];
  size_t capacity[kTexts];
  for (int n = 0; n < kMainStrings; ++n) {
    start[n] = DecodeU16(record + kMainTableOffset + 2 * n);
    capacity[n] = kMainFieldCapacities[n];
  }
  for (int n = 0; n < kExtensionStrings; ++n) {
    start[kMainStrings + n] = DecodeU16(record + kExtensionBlockOffset + kExtTableOffset + 2 * n);
    capacity[kMainStrings + n] = kExtensionFieldCapacities[n];
  }
  start[kTexts] = length;
  if (start[0] != kStringsOffset) return false;
  for (int n = 0; n < kTexts; ++n) {
    if (start[n + 1] <= start[n] || start[n + 1] > length ||
        start[n + 1] - start[n] > capacity[n] || record[start[n + 1] - 1] != 0) {
      return false;
    }
  }
  bool any_extension = start[kTexts] - start[kMainStrings] > kExtensionStrings;
  if (DecodeU16(record + kExtensionLinkOffset) != (any_extension ? kExtensionBlockOffset : 0)) {
    return false;
  }
  // No zero inside a text, as the sixteen known ones are all there are, and no tab anywhere.
  size_t zeros = 0;
  bool tab = false;
  size_t at = kStringsOffset;
#if defined(__SSE2__)
  // Sixteen bytes at a time where the processor has the instructions for it: each lane counts
  // its zeros (at most 59 in the longest record, so no lane overflows) and keeps its tabs.
  static_assert(kMaxEncodedLength / sizeof(__m128i) < 256, "a lane counts every zero");
  const __m128i zero_bytes = _mm_setzero_si128();
  const __m128i tab_bytes = _mm_set1_epi8(static_cast<char>(kTab));
  __m128i zero_counts = zero_bytes;
  __m128i tab_marks = zero_bytes;
  for (; length - at >= sizeof(__m128i); at += sizeof(__m128i)) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(record + at));
    zero_counts = _mm_sub_epi8(zero_counts, _mm_cmpeq_epi8(bytes, zero_bytes));
    tab_marks = _mm_or_si128(tab_marks, _mm_cmpeq_epi8(bytes, tab_bytes));
  }
  const __m128i sums = _mm_sad_epu8(zero_counts, zero_bytes);
  zeros = static_cast<size_t>(_mm_cvtsi128_si32(sums) + _mm_extract_epi16(sums, 4));
  tab = _mm_movemask_epi8(tab_marks) != 0;
#endif
  for (; length - at >= sizeof(Word); at += sizeof(Word)) {
    Word word;
    memcpy(&word, record + at, sizeof(word));
    zeros += CountMarked(ZeroBytes(word));
    tab = tab || ZeroBytes(word ^ kTabs) != 0;
  }
  for (; at < length; ++at) {
    zeros += record[at] == 0;
    tab = tab || record[at] == kTab;
  }
  if (zeros != kTexts || tab) return false;
  if (!repair) return true;
  constexpr int kRepaired[] = {0, 1, 2, 4, 5, 6};
  constexpr int kAffiliation = 2;
  for (int n : kRepaired) {
    size_t size = start[n + 1] - start[n] - 1;
    const uint8_t* text = record + start[n];
    if (RecordConverter::WithoutDanglingLead(text, size) != size) return false;
    if (n == kAffiliation && RecordConverter::AffiliationLength(text, size) != size) return false;
  }
  return true;
}

}  // namespace

size_t RecordConverter::WithoutDanglingLead(const uint8_t* text, size_t length) {
  // A byte that is a trail byte but no lead byte ends any character: after it the scan is never
  // inside one, whatever came before. So the scan starts behind the last such byte.
  size_t start = length;
  while (start > 0 && kByteClasses.of[text[start - 1]] != kTrail) --start;
  bool after_lead = false;
  for (size_t i = start; i < length; ++i) {
    uint8_t classes = kByteClasses.of[text[i]];
    after_lead = after_lead ? (classes & kTrail) == 0 : (classes & kLead) != 0;
  }
  return after_lead && length > 0 ? length - 1 : length;
}

size_t RecordConverter::AffiliationLength(const uint8_t* text, size_t length) {
  if (length != kAffiliationCutLength || !IsLeadByte(text[kAffiliationLeadAt])) {
    return length;
  }
  return IsLeadByte(text[kAffiliationCutLength - 2]) ? kAffiliationCutLength - 2
                                                     : kAffiliationCutLength - 1;
}

void RecordConverter::DropDanglingLead(char* text, size_t capacity) {
  size_t length = TextLength(text, capacity);
  size_t kept = WithoutDanglingLead(reinterpret_cast<const uint8_t*>(text), length);
  if (kept < length) text[kept] = '\0';
}

void RecordConverter::CutAffiliation(char* text, size_t capacity) {
  if (capacity <= kAffiliationCutLength) return;
  size_t length = TextLength(text, capacity);
  size_t kept = AffiliationLength(reinterpret_cast<const uint8_t*>(text), length);
  if (kept < length) text[kept] = '\0';
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
  using namespace kojin;
  if (buffer == nullptr || capacity < kKojinBufferSize) return 0;
  if (length > capacity) length = static_cast<uint32_t>(capacity);
  static_assert(kKojinBufferSize >= kEncodeCapacity, "the buffer holds any new record");
  // Records the writer made, and untouched since, need no rewriting.
  if (IsConvertedKojin(buffer, length, repair)) return length;
  // Each text goes straight from the stored record into the new one, cut to its host field and
  // repaired on the way, as if decoded into the host structure and encoded again. The new record
  // is built aside, since its texts may land on stored texts not yet read. Bytes a copy leaves
  // behind a text's end are overwritten by what follows it, or lie past the new record.
  uint8_t out[kMaxEncodedLength];
  memset(out, 0, kStringsOffset);
  KojinView view(buffer, length);
  out[kKindOffset] = format::kKindPersonal;
  EncodeU16(out + kHostWord1Offset, view.host_word1());
  EncodeU16(out + kHostWord2Offset, view.host_word2());
  out[kLineTypeOffset] = view.line_type();
  out[kCommModeOffset] = view.comm_mode();
  out[kHostByte1Offset] = view.host_byte1();
  out[kHostByte2Offset] = view.host_byte2();
  out[kRelayOutputOffset] = view.relay_output();

  // The texts the repair looks at: Name, Furigana, Affiliation, Phone, EMail and Memo.
  constexpr uint32_t kRepaired =
      (1u << 0) | (1u << 1) | (1u << 2) | (1u << 4) | (1u << 5) | (1u << 6);
  constexpr int kAffiliation = 2;
  static_assert(kMainFieldCapacities[kAffiliation] > kAffiliationCutLength, "the cut applies");
  uint32_t position = kStringsOffset;
  for (int n = 0; n < kMainStrings; ++n) {
    size_t offset = length;
    MainStringOffset(buffer, length, n, &offset);
    uint8_t* text = out + position;
    size_t size = CopyStoredText(buffer, length, offset, kMainFieldCapacities[n] - 1, text);
    if (repair && ((kRepaired >> n) & 1u) != 0) {
      size = WithoutDanglingLead(text, size);
      if (n == kAffiliation) size = AffiliationLength(text, size);
    }
    EncodeU16(out + kMainTableOffset + 2 * n, static_cast<uint16_t>(position));
    text[size] = 0;
    position += static_cast<uint32_t>(size + 1);
  }

  uint8_t* ext = out + kExtensionBlockOffset;
  memcpy(ext + kExtTagOffset, kExtTag, kExtTagSize);
  bool any_extension = false;
  for (int n = 0; n < kExtensionStrings; ++n) {
    uint8_t* text = out + position;
    size_t size = CopyStoredText(buffer, length, view.ExtensionOffset(n),
                                 kExtensionFieldCapacities[n] - 1, text);
    EncodeU16(ext + kExtTableOffset + 2 * n, static_cast<uint16_t>(position));
    if (size != 0) any_extension = true;
    text[size] = 0;
    position += static_cast<uint32_t>(size + 1);
  }
  EncodeU16(out + kExtensionLinkOffset,
            any_extension ? static_cast<uint16_t>(kExtensionBlockOffset) : 0);

  memcpy(buffer, out, position);
  return position;
}

uint32_t RecordConverter::ConvertGroup(uint8_t* buffer, size_t capacity, uint32_t length,
                                       bool repair) const {
  if (buffer == nullptr || capacity < kGroupBufferSize) return 0;
  if (length > capacity) length = static_cast<uint32_t>(capacity);
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

  // The fixed bytes a short record lacks are zero; the texts follow the members kept.
  uint32_t position = group::kMembersOffset + group::kMemberSize * static_cast<uint32_t>(members);
  if (length < position) memset(buffer + length, 0, position - length);
  EncodeU16(buffer + group::kMemberCountOffset, static_cast<uint16_t>(members));
  EncodeU16(buffer + group::kExtraPlacesOffset, 0);
  return EncodeGroupTexts(entry, buffer, position);
}

bool SaveConversion::Keeps(BookFileWriter::Table, uint32_t) { return true; }

uint32_t SaveConversion::Convert(BookFileWriter::Table table, uint8_t* record, size_t capacity,
                                 uint32_t length, uint8_t*) {
  return table == BookFileWriter::kPersonal
             ? converter_.ConvertKojin(record, capacity, length, /*repair=*/true)
             : converter_.ConvertGroup(record, capacity, length, /*repair=*/true);
}

void SalvageConversion::Keep(uint16_t record_number) {
  BookFileWriter::Table table = BookFileWriter::kPersonal;
  uint32_t n = record_number;
  if (n > format::kGroupBase) {
    table = BookFileWriter::kGroup;
    n -= format::kGroupBase;
  }
  if (n == 0 || n > format::kSlotsPerTable) return;
  kept_[table][n / 8] = static_cast<uint8_t>(kept_[table][n / 8] | (1u << (n % 8)));
}

bool SalvageConversion::Keeps(BookFileWriter::Table table, uint32_t n) {
  return n <= format::kSlotsPerTable && ((kept_[table][n / 8] >> (n % 8)) & 1u) != 0;
}

uint32_t SalvageConversion::Convert(BookFileWriter::Table table, uint8_t* record, size_t capacity,
                                    uint32_t length, uint8_t*) {
  return table == BookFileWriter::kPersonal
             ? converter_.ConvertKojin(record, capacity, length, repair_)
             : converter_.ConvertGroup(record, capacity, length, repair_);
}

}  // namespace telbook
