// Decimal parsing and radix conversion of the text conversion utility.
// Both are total: no input reads past its terminator or writes past the 18-byte output.
#include "records/text_util.h"

namespace telbook {
namespace text_util {

uint32_t ParseDecimal(const char* text) {
  if (text == nullptr) return 0;
  uint32_t value = 0;
  for (const char* p = text; *p != '\0'; ++p) {
    if (*p < '0' || *p > '9') return 0;
    value = value * 10u + static_cast<uint32_t>(*p - '0');
  }
  return value;
}

bool ToText(int32_t value, char* out, int radix) {
  if (out == nullptr || radix < 2 || radix > 16) return false;
  static const char kDigits[] = "0123456789ABCDEF";
  char scratch[kMaxDigits];
  size_t count = 0;
  uint32_t rest = static_cast<uint32_t>(value);
  const uint32_t base = static_cast<uint32_t>(radix);
  do {
    if (count == kMaxDigits) return false;
    scratch[count++] = kDigits[rest % base];
    rest /= base;
  } while (rest != 0);
  for (size_t i = 0; i < count; ++i) out[i] = scratch[count - 1 - i];
  out[count] = '\0';
  return true;
}

}  // namespace text_util
}  // namespace telbook
