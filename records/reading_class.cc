// The classification table: hiragana (lead byte 0x82), katakana (lead byte 0x83) and
// half-width katakana (single bytes) by row, and the prolonged sound mark.
#include "records/reading_class.h"

#include "records/cp932_bytes.h"
#include "records/record_text.h"

namespace telbook {

namespace {

struct Range {
  uint8_t first;
  uint8_t last;
  uint8_t reading_class;
};

// Second bytes after lead byte 0x82.
constexpr Range kHiragana[] = {
    {0x9F, 0xA8, 1}, {0xA9, 0xB2, 2}, {0xB3, 0xBC, 3}, {0xBD, 0xC7, 4}, {0xC8, 0xCC, 5},
    {0xCD, 0xDB, 6}, {0xDC, 0xE0, 7}, {0xE1, 0xE6, 8}, {0xE7, 0xEB, 9}, {0xEC, 0xF1, 10},
};
// Second bytes after lead byte 0x83.
constexpr Range kKatakana[] = {
    {0x40, 0x49, 1}, {0x4A, 0x53, 2}, {0x54, 0x5D, 3}, {0x5E, 0x68, 4}, {0x69, 0x6D, 5},
    {0x6E, 0x7C, 6}, {0x7D, 0x82, 7}, {0x83, 0x88, 8}, {0x89, 0x8D, 9}, {0x8E, 0x93, 10},
};
// Single bytes.
constexpr Range kHalfWidth[] = {
    {0xA7, 0xAB, 1}, {0xB1, 0xB5, 1}, {0xB6, 0xBA, 2},  {0xBB, 0xBF, 3},  {0xAF, 0xAF, 4},
    {0xC0, 0xC4, 4}, {0xC5, 0xC9, 5}, {0xCA, 0xCE, 6},  {0xCF, 0xD3, 7},  {0xAC, 0xAE, 8},
    {0xD4, 0xD6, 8}, {0xD7, 0xDB, 9}, {0xDC, 0xDD, 10}, {0xA6, 0xA6, 10}, {0xB0, 0xB0, 10},
};

constexpr uint8_t kSymbolLead = 0x81;
constexpr uint8_t kProlongedMark = 0x5B;
constexpr uint8_t kHiraganaLead = 0x82;
constexpr uint8_t kKatakanaLead = 0x83;

template <size_t N>
uint8_t Lookup(const Range (&table)[N], uint8_t byte) {
  for (const Range& r : table) {
    if (byte >= r.first && byte <= r.last) return r.reading_class;
  }
  return reading_class::kOther;
}

}  // namespace

uint8_t ClassifyReading(std::string_view text) {
  if (text.empty()) return reading_class::kOther;
  uint8_t first = static_cast<uint8_t>(text[0]);
  if (!IsCodePageLeadByte(first)) return Lookup(kHalfWidth, first);
  if (text.size() < 2) return reading_class::kOther;
  uint8_t second = static_cast<uint8_t>(text[1]);
  switch (first) {
    case kSymbolLead:
      return second == kProlongedMark ? reading_class::kWa : reading_class::kOther;
    case kHiraganaLead:
      return Lookup(kHiragana, second);
    case kKatakanaLead:
      return Lookup(kKatakana, second);
    default:
      return reading_class::kOther;
  }
}

uint8_t ClassifyField(const char* field, size_t capacity) {
  return ClassifyReading(FieldText(field, capacity));
}

}  // namespace telbook
