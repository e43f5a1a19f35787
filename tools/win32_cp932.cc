// Code page 932 <-> UTF-8 on Windows through MultiByteToWideChar and WideCharToMultiByte, strict:
// no best-fit mappings and no default characters. The JIS look-alikes that other Japanese
// encodings use (U+301C for U+FF5E, U+2016, U+2212, ...) are taken as code page 932's own.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "tools/cp932.h"

namespace telbook {
namespace cp932 {
namespace {

constexpr UINT kCodePage = 932;

// The character code page 932 keeps in place of a JIS look-alike; the character itself else.
wchar_t CodePageForm(wchar_t c) {
  switch (c) {
    case 0x301C:
      return 0xFF5E;  // wave dash -> full-width tilde
    case 0x2016:
      return 0x2225;  // double vertical line -> parallel to
    case 0x2212:
      return 0xFF0D;  // minus sign -> full-width hyphen-minus
    case 0x00A2:
      return 0xFFE0;  // cent sign
    case 0x00A3:
      return 0xFFE1;  // pound sign
    case 0x00AC:
      return 0xFFE2;  // not sign
    case 0x2014:
      return 0x2015;  // em dash -> horizontal bar
    case 0x00A5:
      return 0x005C;  // yen sign of JIS-Roman -> backslash, as iconv's CP932 has it
    case 0x203E:
      return 0x007E;  // overline of JIS-Roman -> tilde
    default:
      return c;
  }
}

// UTF-16 of a UTF-8 text; false when the text is not well-formed UTF-8.
bool Wide(const std::string& utf8, std::wstring* out) {
  out->clear();
  if (utf8.empty()) return true;
  int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(),
                              static_cast<int>(utf8.size()), nullptr, 0);
  if (n <= 0) return false;
  out->resize(static_cast<size_t>(n));
  return MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(),
                             static_cast<int>(utf8.size()), &(*out)[0], n) == n;
}

std::string Utf8(const wchar_t* text, size_t length) {
  if (length == 0) return std::string();
  int n =
      WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
  if (n <= 0) return std::string();
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), &out[0], n, nullptr, nullptr);
  return out;
}

// Code page 932 bytes of UTF-16 text; false when a character has no code of its own there.
bool Narrow(const wchar_t* text, size_t length, std::string* out) {
  out->clear();
  if (length == 0) return true;
  BOOL defaulted = FALSE;
  int n = WideCharToMultiByte(kCodePage, WC_NO_BEST_FIT_CHARS, text, static_cast<int>(length),
                              nullptr, 0, nullptr, &defaulted);
  if (n <= 0 || defaulted) return false;
  out->resize(static_cast<size_t>(n));
  defaulted = FALSE;
  int done = WideCharToMultiByte(kCodePage, WC_NO_BEST_FIT_CHARS, text, static_cast<int>(length),
                                 &(*out)[0], n, nullptr, &defaulted);
  return done == n && !defaulted;
}

// "U+XXXX "c"" for the character at text[i] (a surrogate pair counts as one).
std::string Describe(const std::wstring& text, size_t i, size_t* width) {
  uint32_t cp = text[i];
  *width = 1;
  if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size()) {
    cp = 0x10000 + ((cp - 0xD800) << 10) + (static_cast<uint32_t>(text[i + 1]) - 0xDC00);
    *width = 2;
  }
  char code[16];
  snprintf(code, sizeof(code), "U+%04X \"", static_cast<unsigned>(cp));
  return std::string(code) + Utf8(text.data() + i, *width) + "\"";
}

// The first byte of a UTF-8 text that is not well formed, for the message.
std::string FirstBadByte(const std::string& utf8) {
  for (size_t i = 0; i < utf8.size();) {
    size_t n = 1;
    for (; n <= 4 && i + n <= utf8.size(); ++n) {
      std::wstring probe;
      if (Wide(utf8.substr(i, n), &probe)) break;
    }
    if (n > 4 || i + n > utf8.size()) {
      char text[48];
      snprintf(text, sizeof(text), "byte 0x%02X is not valid UTF-8",
               static_cast<unsigned>(static_cast<uint8_t>(utf8[i])));
      return text;
    }
    i += n;
  }
  return "text that is not valid UTF-8";
}

}  // namespace

bool FromUtf8(const std::string& utf8, std::string* out, std::string* bad) {
  out->clear();
  std::wstring wide;
  if (!Wide(utf8, &wide)) {
    if (bad != nullptr) *bad = FirstBadByte(utf8);
    return false;
  }
  for (wchar_t& c : wide) {
    // A zero would end the text early in every field of the library.
    if (c == 0) {
      if (bad != nullptr) *bad = "U+0000 (a zero character)";
      return false;
    }
    c = CodePageForm(c);
  }
  if (Narrow(wide.data(), wide.size(), out)) return true;
  out->clear();
  // Find the first character the code page lacks, to name it.
  for (size_t i = 0; i < wide.size();) {
    size_t width = 1;
    std::string description = Describe(wide, i, &width);
    std::string one;
    if (!Narrow(wide.data() + i, width, &one)) {
      if (bad != nullptr) *bad = description;
      return false;
    }
    i += width;
  }
  if (bad != nullptr) *bad = "text code page 932 cannot hold";
  return false;
}

bool ToUtf8Strict(const std::string& text, std::string* out) {
  out->clear();
  bool exact = true;
  std::wstring wide;
  for (size_t i = 0; i < text.size();) {
    uint8_t b = static_cast<uint8_t>(text[i]);
    size_t n = IsDBCSLeadByteEx(kCodePage, b) && i + 1 < text.size() ? 2 : 1;
    wchar_t c[2] = {};
    int got = MultiByteToWideChar(kCodePage, MB_ERR_INVALID_CHARS, text.data() + i,
                                  static_cast<int>(n), c, 2);
    if (got == 1) {
      wide += c[0];
    } else {
      wide += static_cast<wchar_t>(0xFFFD);
      exact = false;
      n = 1;  // a byte that begins no character: go on with the next one
    }
    i += n;
  }
  *out = Utf8(wide.data(), wide.size());
  return exact;
}

}  // namespace cp932
}  // namespace telbook
