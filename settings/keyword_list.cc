// Encoding and decoding of the keyword list value text.
// Neither side reads or writes outside the structure, the text buffer or its given length.
#include "settings/keyword_list.h"

#include <cstring>

#include "records/text_util.h"

namespace telbook {
namespace keyword_list {

namespace {

constexpr uint8_t kCr = '\r';
constexpr uint8_t kLf = '\n';

size_t BoundedLength(const char* text, size_t limit) {
  const void* zero = memchr(text, '\0', limit);
  return zero != nullptr ? static_cast<size_t>(static_cast<const char*>(zero) - text) : limit;
}

// The number in a line: its decimal parse up to the first zero byte or the line's end.
uint32_t ParseLine(const uint8_t* line, size_t length) {
  char text[kReadCapacity + 1];
  if (length > kReadCapacity) return 0;
  memcpy(text, line, length);
  text[length] = '\0';
  return text_util::ParseDecimal(text);
}

}  // namespace

uint32_t Encode(const TL_KeyWordInfo& list, uint8_t* out) {
  uint16_t count = list.Count > kMaxKeywords ? kMaxKeywords : list.Count;
  char digits[text_util::kToTextBufferSize];
  text_util::ToText(count, digits, 10);
  uint32_t at = 0;
  size_t digit_count = strlen(digits);
  memcpy(out, digits, digit_count);
  at += static_cast<uint32_t>(digit_count);
  out[at++] = kCr;
  out[at++] = kLf;
  for (uint16_t i = 0; i < count; ++i) {
    size_t length = BoundedLength(list.KeyWord[i], kMaxKeywordLength);
    memcpy(out + at, list.KeyWord[i], length);
    at += static_cast<uint32_t>(length);
    out[at++] = kCr;
    out[at++] = kLf;
  }
  return at;
}

void Decode(const uint8_t* text, uint32_t length, TL_KeyWordInfo* list) {
  list->Count = 0;
  uint32_t line_start = 0;
  int line = 0;
  for (uint32_t i = 0; i + 1 < length; ++i) {
    if (text[i] != kCr || text[i + 1] != kLf) continue;
    const uint8_t* begin = text + line_start;
    size_t line_length = i - line_start;
    if (line == 0) {
      uint32_t count = ParseLine(begin, line_length);
      list->Count = static_cast<uint16_t>(count > kMaxKeywords ? kMaxKeywords : count);
    } else if (line <= kMaxKeywords) {
      char* slot = list->KeyWord[line - 1];
      size_t n = line_length > kMaxKeywordLength ? kMaxKeywordLength : line_length;
      memcpy(slot, begin, n);
      slot[n] = '\0';
    } else {
      break;
    }
    ++line;
    line_start = i + 2;
    ++i;
  }
}

}  // namespace keyword_list
}  // namespace telbook
