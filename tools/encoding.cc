// Encoding detection and decoding for the import. Code page 932 goes through the platform's
// converter; UTF-8, UTF-16 and ISO-8859-1 are read here.
#include "tools/encoding.h"

#include <cctype>
#include <cstdint>
#include <cstdio>

#include "tools/cp932.h"
#include "tools/text.h"

namespace telbook {
namespace tool {
namespace {

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
  return s;
}

// Length of the code page 932 character at s[i]: 1, 2, or 0 when no character begins there.
size_t Cp932Length(const std::string& s, size_t i) {
  uint8_t b = static_cast<uint8_t>(s[i]);
  if (b < 0x80 || (b >= 0xA1 && b <= 0xDF)) return 1;
  bool lead = (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
  if (!lead || i + 1 >= s.size()) return 0;
  uint8_t t = static_cast<uint8_t>(s[i + 1]);
  return (t >= 0x40 && t <= 0x7E) || (t >= 0x80 && t <= 0xFC) ? 2 : 0;
}

// Converts code page 932 to UTF-8; false with *bad_at at the first byte that begins no
// character the code page assigns.
bool Cp932ToUtf8(const std::string& s, std::string* out, size_t* bad_at) {
  for (size_t i = 0; i < s.size();) {
    size_t n = Cp932Length(s, i);
    if (n == 0) {
      *bad_at = i;
      return false;
    }
    i += n;
  }
  if (cp932::ToUtf8Strict(s, out)) return true;
  // Some character is unassigned: find it, one character at a time.
  std::string one;
  for (size_t i = 0; i < s.size();) {
    size_t n = Cp932Length(s, i);
    if (!cp932::ToUtf8Strict(s.substr(i, n), &one)) {
      *bad_at = i;
      return false;
    }
    i += n;
  }
  *bad_at = 0;
  return false;
}

bool Utf16ToUtf8(const std::string& s, size_t from, bool little, std::string* out, size_t* bad_at) {
  out->clear();
  auto unit = [&](size_t i) -> uint32_t {
    uint8_t a = static_cast<uint8_t>(s[i]);
    uint8_t b = static_cast<uint8_t>(s[i + 1]);
    return little ? (a | (b << 8)) : ((a << 8) | b);
  };
  for (size_t i = from; i < s.size();) {
    if (i + 1 >= s.size()) {
      *bad_at = i;
      return false;
    }
    uint32_t u = unit(i);
    if (u >= 0xD800 && u <= 0xDBFF) {
      if (i + 3 >= s.size()) {
        *bad_at = i;
        return false;
      }
      uint32_t v = unit(i + 2);
      if (v < 0xDC00 || v > 0xDFFF) {
        *bad_at = i;
        return false;
      }
      AppendUtf8(0x10000 + ((u - 0xD800) << 10) + (v - 0xDC00), out);
      i += 4;
    } else if (u >= 0xDC00 && u <= 0xDFFF) {
      *bad_at = i;
      return false;
    } else {
      AppendUtf8(u, out);
      i += 2;
    }
  }
  return true;
}

// Line (from 1) and byte in that line (from 1) of an offset into the bytes.
FileProblem At(const std::string& bytes, size_t offset, const std::string& reason) {
  FileProblem p;
  p.line = 1;
  size_t line_start = 0;
  for (size_t i = 0; i < offset && i < bytes.size(); ++i) {
    if (bytes[i] == '\n') {
      ++p.line;
      line_start = i + 1;
    }
  }
  p.byte = offset - line_start + 1;
  char hex[8];
  snprintf(hex, sizeof(hex), "0x%02X",
           offset < bytes.size() ? static_cast<uint8_t>(bytes[offset]) : 0);
  p.reason = offset < bytes.size() ? std::string("byte ") + hex + " " + reason
                                   : "the file ends inside a character; " + reason;
  return p;
}

}  // namespace

bool ParseEncodingName(const std::string& name, Encoding* out) {
  std::string n = Lower(name);
  if (n == "utf-8" || n == "utf8") {
    *out = Encoding::kUtf8;
  } else if (n == "utf-16" || n == "utf16" || n == "utf-16le" || n == "utf16le") {
    *out = Encoding::kUtf16Le;
  } else if (n == "utf-16be" || n == "utf16be") {
    *out = Encoding::kUtf16Be;
  } else if (n == "cp932" || n == "shift_jis" || n == "shift-jis" || n == "sjis" ||
             n == "windows-31j" || n == "ms932" || n == "x-sjis") {
    *out = Encoding::kCp932;
  } else {
    return false;
  }
  return true;
}

const char* EncodingName(Encoding encoding) {
  switch (encoding) {
    case Encoding::kUtf8:
      return "UTF-8";
    case Encoding::kUtf16Le:
      return "UTF-16LE";
    case Encoding::kUtf16Be:
      return "UTF-16BE";
    case Encoding::kCp932:
      return "code page 932";
    case Encoding::kAuto:
      break;
  }
  return "unknown";
}

bool IsValidUtf8(const std::string& s, size_t* bad_at) {
  for (size_t i = 0; i < s.size();) {
    uint8_t b = static_cast<uint8_t>(s[i]);
    size_t n = b < 0x80             ? 1
               : (b & 0xE0) == 0xC0 ? 2
               : (b & 0xF0) == 0xE0 ? 3
               : (b & 0xF8) == 0xF0 ? 4
                                    : 0;
    bool ok = n > 0 && i + n <= s.size();
    uint32_t cp = n == 1 ? b : b & (0x7F >> n);
    for (size_t k = 1; ok && k < n; ++k) {
      uint8_t c = static_cast<uint8_t>(s[i + k]);
      ok = (c & 0xC0) == 0x80;
      cp = (cp << 6) | (c & 0x3F);
    }
    static const uint32_t kMin[] = {0, 0, 0x80, 0x800, 0x10000};
    if (ok && n > 1) ok = cp >= kMin[n] && cp <= 0x10FFFF && !(cp >= 0xD800 && cp <= 0xDFFF);
    if (!ok) {
      *bad_at = i;
      return false;
    }
    i += n;
  }
  *bad_at = s.size();
  return true;
}

Encoding DetectEncoding(const std::string& bytes, size_t* bom_length, FileProblem* problem) {
  *bom_length = 0;
  if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) {
    *bom_length = 3;
    return Encoding::kUtf8;
  }
  if (bytes.compare(0, 2, "\xFF\xFE") == 0) {
    *bom_length = 2;
    return Encoding::kUtf16Le;
  }
  if (bytes.compare(0, 2, "\xFE\xFF") == 0) {
    *bom_length = 2;
    return Encoding::kUtf16Be;
  }
  size_t utf8_bad = 0;
  if (IsValidUtf8(bytes, &utf8_bad)) return Encoding::kUtf8;
  std::string ignored;
  size_t cp932_bad = 0;
  if (Cp932ToUtf8(bytes, &ignored, &cp932_bad)) return Encoding::kCp932;
  *problem = At(bytes, utf8_bad > cp932_bad ? utf8_bad : cp932_bad,
                "is neither UTF-8 nor code page 932 (name the encoding with --encoding)");
  return Encoding::kAuto;
}

bool DecodeFile(const std::string& bytes, Encoding encoding, std::string* utf8, Encoding* used,
                FileProblem* problem) {
  size_t bom = 0;
  if (encoding == Encoding::kAuto) {
    encoding = DetectEncoding(bytes, &bom, problem);
    if (encoding == Encoding::kAuto) return false;
  } else if ((encoding == Encoding::kUtf8 && bytes.compare(0, 3, "\xEF\xBB\xBF") == 0)) {
    bom = 3;
  } else if (encoding == Encoding::kUtf16Le || encoding == Encoding::kUtf16Be) {
    if (bytes.compare(0, 2, "\xFF\xFE") == 0) {
      encoding = Encoding::kUtf16Le;
      bom = 2;
    } else if (bytes.compare(0, 2, "\xFE\xFF") == 0) {
      encoding = Encoding::kUtf16Be;
      bom = 2;
    }
  }
  *used = encoding;
  size_t bad = 0;
  switch (encoding) {
    case Encoding::kUtf8:
      if (!IsValidUtf8(bytes.substr(bom), &bad)) {
        *problem = At(bytes, bom + bad, "is not valid UTF-8");
        return false;
      }
      *utf8 = bytes.substr(bom);
      return true;
    case Encoding::kCp932:
      if (!Cp932ToUtf8(bytes, utf8, &bad)) {
        *problem = At(bytes, bad, "begins no character of code page 932");
        return false;
      }
      return true;
    case Encoding::kUtf16Le:
    case Encoding::kUtf16Be:
      if (!Utf16ToUtf8(bytes, bom, encoding == Encoding::kUtf16Le, utf8, &bad)) {
        // Lines of UTF-16 text are counted in code units; the message gives the file offset.
        problem->line = 0;
        problem->byte = 0;
        problem->reason = "byte " + std::to_string(bad + 1) + " of the file is not valid " +
                          EncodingName(encoding);
        return false;
      }
      return true;
    case Encoding::kAuto:
      break;
  }
  return false;
}

bool DecodeCharset(const std::string& bytes, const std::string& charset, std::string* utf8,
                   std::string* why) {
  std::string name = Lower(charset);
  Encoding encoding = Encoding::kAuto;
  size_t bad = 0;
  if (name == "us-ascii" || name == "ascii" || name == "iso-8859-1" || name == "latin1" ||
      name == "iso_8859-1") {
    utf8->clear();
    for (char c : bytes) AppendUtf8(static_cast<uint8_t>(c), utf8);
    return true;
  }
  if (!ParseEncodingName(name, &encoding) || encoding == Encoding::kUtf16Be ||
      encoding == Encoding::kUtf16Le) {
    *why = "CHARSET=" + charset + " is not an encoding the import reads";
    return false;
  }
  if (encoding == Encoding::kUtf8) {
    if (!IsValidUtf8(bytes, &bad)) {
      *why = "byte " + std::to_string(bad + 1) + " of the value is not valid UTF-8";
      return false;
    }
    *utf8 = bytes;
    return true;
  }
  if (!Cp932ToUtf8(bytes, utf8, &bad)) {
    *why = "byte " + std::to_string(bad + 1) + " of the value begins no character of " + charset;
    return false;
  }
  return true;
}

}  // namespace tool
}  // namespace telbook
