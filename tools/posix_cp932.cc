// Code page 932 <-> UTF-8 on POSIX through the C library's iconv ("CP932"), which also accepts
// the JIS look-alikes (U+301C, U+2016, U+2212, ...) that Linux input methods produce.
#include <errno.h>
#include <iconv.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "tools/cp932.h"

namespace telbook {
namespace cp932 {
namespace {

class Converter final {
 public:
  Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Converter() {
    if (ok()) iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
  void Reset() { iconv(cd_, nullptr, nullptr, nullptr, nullptr); }

  // Converts from *in on; stops at the end or at the first byte it cannot convert. Returns the
  // count of input bytes consumed.
  size_t Run(const char* in, size_t length, std::string* out) {
    char* src = const_cast<char*>(in);
    size_t left = length;
    char buffer[256];
    while (left > 0) {
      char* dst = buffer;
      size_t room = sizeof(buffer);
      size_t r = iconv(cd_, &src, &left, &dst, &room);
      out->append(buffer, static_cast<size_t>(dst - buffer));
      if (r == static_cast<size_t>(-1) && errno != E2BIG) break;
    }
    return length - left;
  }

 private:
  iconv_t cd_;
};

// Length of the UTF-8 sequence at s[i] and its code point; 0 when it is not well formed.
size_t DecodeUtf8(const std::string& s, size_t i, uint32_t* cp) {
  auto byte = [&](size_t k) { return static_cast<uint8_t>(s[k]); };
  uint8_t b = byte(i);
  size_t n;
  uint32_t min;
  if (b < 0x80) {
    *cp = b;
    return 1;
  } else if ((b & 0xE0) == 0xC0) {
    n = 2, *cp = b & 0x1F, min = 0x80;
  } else if ((b & 0xF0) == 0xE0) {
    n = 3, *cp = b & 0x0F, min = 0x800;
  } else if ((b & 0xF8) == 0xF0) {
    n = 4, *cp = b & 0x07, min = 0x10000;
  } else {
    return 0;
  }
  if (i + n > s.size()) return 0;
  for (size_t k = 1; k < n; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return 0;
    *cp = (*cp << 6) | (byte(i + k) & 0x3F);
  }
  if (*cp < min || *cp > 0x10FFFF || (*cp >= 0xD800 && *cp <= 0xDFFF)) return 0;
  return n;
}

std::string Describe(const std::string& s, size_t i) {
  uint32_t cp = 0;
  size_t n = DecodeUtf8(s, i, &cp);
  char text[64];
  if (n == 0) {
    snprintf(text, sizeof(text), "byte 0x%02X is not valid UTF-8", static_cast<uint8_t>(s[i]));
    return text;
  }
  snprintf(text, sizeof(text), "U+%04X \"", static_cast<unsigned>(cp));
  return std::string(text) + s.substr(i, n) + "\"";
}

}  // namespace

bool FromUtf8(const std::string& utf8, std::string* out, std::string* bad) {
  out->clear();
  for (size_t i = 0; i < utf8.size();) {
    uint32_t cp = 0;
    size_t n = DecodeUtf8(utf8, i, &cp);
    // A zero would end the text early in every field of the library.
    if (n == 0 || cp == 0) {
      if (bad != nullptr) *bad = n == 0 ? Describe(utf8, i) : "U+0000 (a zero character)";
      return false;
    }
    i += n;
  }
  Converter converter("CP932", "UTF-8");
  if (!converter.ok()) {
    if (bad != nullptr) *bad = "no CP932 converter on this system";
    return false;
  }
  size_t done = converter.Run(utf8.data(), utf8.size(), out);
  if (done != utf8.size()) {
    if (bad != nullptr) *bad = Describe(utf8, done);
    out->clear();
    return false;
  }
  return true;
}

bool ToUtf8Strict(const std::string& text, std::string* out) {
  out->clear();
  bool exact = true;
  Converter converter("UTF-8", "CP932");
  if (!converter.ok()) return false;
  size_t at = 0;
  while (at < text.size()) {
    at += converter.Run(text.data() + at, text.size() - at, out);
    if (at < text.size()) {
      out->append("\xEF\xBF\xBD");  // U+FFFD
      exact = false;
      ++at;
      converter.Reset();
    }
  }
  return exact;
}

}  // namespace cp932
}  // namespace telbook
