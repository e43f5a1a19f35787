// The reading classification: the index tab row of a reading's first character, which every
// writer of a record puts in the low half of its slot's tab code.
#ifndef TELBOOK_RECORDS_READING_CLASS_H_
#define TELBOOK_RECORDS_READING_CLASS_H_

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace telbook {
namespace reading_class {

// Reading classes: 1 to 10 the kana rows from あ to わ, 11 everything else.
constexpr uint8_t kFirst = 1;
constexpr uint8_t kWa = 10;
constexpr uint8_t kOther = 11;

}  // namespace reading_class

// The reading class of the first character of `text` (code page 932, `text` holding at most
// the bytes that belong to the reading). A lead byte with no second byte, and the empty text,
// give the other class.
uint8_t ClassifyReading(std::string_view text);
// The same for a host field of `capacity` bytes (the text ends at its zero or capacity - 1).
uint8_t ClassifyField(const char* field, size_t capacity);

}  // namespace telbook

#endif  // TELBOOK_RECORDS_READING_CLASS_H_
