// Decimal text to number and back, and the code page 932 lead and trail byte tests shared by the
// registry settings, the text export and the record repair. Stateless; no allocation.
#ifndef TELBOOK_SETTINGS_TEXT_UTIL_H_
#define TELBOOK_SETTINGS_TEXT_UTIL_H_

#include <cstddef>
#include <cstdint>

namespace telbook {

class TextUtil {
 public:
  // Output buffers of ToText hold at least this many bytes: 17 digits and the terminator.
  static constexpr size_t kToTextBufferSize = 18;
  static constexpr size_t kMaxDigits = kToTextBufferSize - 1;

  TextUtil() = default;
  virtual ~TextUtil() = default;

  // A zero-terminated text of decimal digits only, read modulo 2^32. The empty text, a null
  // pointer, and any text holding anything but digits (a sign, a blank) give 0.
  static uint32_t ParseDecimal(const char* text);

  // Writes value in radix (2 to 16; digits 0-9 then A-F, no sign, no leading zeros) into
  // out[kToTextBufferSize], zero-terminated, and returns true. A negative value is written as its
  // unsigned 32-bit two's complement. A radix above 16, below 2, or a value that needs more than
  // kMaxDigits digits leaves out untouched and returns false.
  static bool ToText(int32_t value, char* out, int radix);

  // Lead bytes of this library's test: 0x81 to 0x9F and 0xE0 to 0xEF (0xF0 up are not).
  static constexpr bool IsLeadByte(uint8_t byte) {
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xEF);
  }
  // Trail bytes: 0x40 to 0x7E and 0x80 to 0xFC.
  static constexpr bool IsTrailByte(uint8_t byte) {
    return (byte >= 0x40 && byte <= 0x7E) || (byte >= 0x80 && byte <= 0xFC);
  }
};

}  // namespace telbook

#endif  // TELBOOK_SETTINGS_TEXT_UTIL_H_
