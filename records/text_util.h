// Decimal text to number and back, for the registry settings and the text export. Stateless; no
// allocation. The code page 932 byte tests that go with them are in records/cp932_bytes.h.
#ifndef TELBOOK_RECORDS_TEXT_UTIL_H_
#define TELBOOK_RECORDS_TEXT_UTIL_H_

#include <cstddef>
#include <cstdint>

namespace telbook {
namespace text_util {

// Output buffers of ToText hold at least this many bytes: 17 digits and the terminator.
constexpr size_t kToTextBufferSize = 18;
constexpr size_t kMaxDigits = kToTextBufferSize - 1;

// A zero-terminated text of decimal digits only, read modulo 2^32. The empty text, a null
// pointer, and any text holding anything but digits (a sign, a blank) give 0.
uint32_t ParseDecimal(const char* text);

// Writes value in radix (2 to 16; digits 0-9 then A-F, no sign, no leading zeros) into
// out[kToTextBufferSize], zero-terminated, and returns true. A negative value is written as its
// unsigned 32-bit two's complement. A radix above 16, below 2, or a value that needs more than
// kMaxDigits digits leaves out untouched and returns false.
bool ToText(int32_t value, char* out, int radix);

}  // namespace text_util
}  // namespace telbook

#endif  // TELBOOK_RECORDS_TEXT_UTIL_H_
