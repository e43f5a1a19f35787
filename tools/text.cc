// UTF-8 <-> code page 932 at the tool's edges, with the field capacities of the host structures,
// and terminal column widths.
#include "tools/text.h"

#include <cstdint>
#include <cstdio>
#include <set>

#include "tools/cp932.h"
#include "tools/tool_error.h"

namespace telbook {
namespace tool {
namespace {

bool Wide(uint32_t cp) {
  return (cp >= 0x1100 && cp <= 0x115F) || (cp >= 0x2E80 && cp <= 0x303E) ||
         (cp >= 0x3041 && cp <= 0x33FF) || (cp >= 0x3400 && cp <= 0x4DBF) ||
         (cp >= 0x4E00 && cp <= 0x9FFF) || (cp >= 0xAC00 && cp <= 0xD7A3) ||
         (cp >= 0xF900 && cp <= 0xFAFF) || (cp >= 0xFE30 && cp <= 0xFE4F) ||
         (cp >= 0xFF00 && cp <= 0xFF60) || (cp >= 0xFFE0 && cp <= 0xFFE6) ||
         (cp >= 0x20000 && cp <= 0x3FFFD);
}

bool IsBlankAt(const std::string& s, size_t i, size_t* width) {
  if (s[i] == ' ' || s[i] == '\t') {
    *width = 1;
    return true;
  }
  *width = 3;
  return s.compare(i, 3, "\xE3\x80\x80") == 0;  // U+3000
}

}  // namespace

size_t NextUtf8(const std::string& s, size_t i, uint32_t* cp) {
  uint8_t b = static_cast<uint8_t>(s[i]);
  size_t n = b < 0x80             ? 1
             : (b & 0xE0) == 0xC0 ? 2
             : (b & 0xF0) == 0xE0 ? 3
             : (b & 0xF8) == 0xF0 ? 4
                                  : 1;
  if (i + n > s.size()) n = 1;
  *cp = n == 1 ? b : b & (0x7F >> n);
  for (size_t k = 1; k < n; ++k) *cp = (*cp << 6) | (static_cast<uint8_t>(s[i + k]) & 0x3F);
  return n;
}

void AppendUtf8(uint32_t cp, std::string* out) {
  if (cp < 0x80) {
    out->push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out->push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out->push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out->push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out->push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out->push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

std::string WithoutBlanks(const std::string& utf8) {
  std::string out;
  for (size_t i = 0; i < utf8.size();) {
    size_t width = 0;
    if (IsBlankAt(utf8, i, &width)) {
      i += width;
    } else {
      out += utf8[i++];
    }
  }
  return out;
}

std::string TrimBlanks(const std::string& utf8) {
  size_t b = 0;
  size_t e = utf8.size();
  size_t width = 0;
  while (b < e && IsBlankAt(utf8, b, &width) && b + width <= e) b += width;
  while (e > b) {
    if (utf8[e - 1] == ' ' || utf8[e - 1] == '\t') {
      --e;
    } else if (e - b >= 3 && utf8.compare(e - 3, 3, "\xE3\x80\x80") == 0) {
      e -= 3;
    } else {
      break;
    }
  }
  return utf8.substr(b, e - b);
}

namespace {

// Says on standard error, once per character in a run of the tool, which characters code page 932
// keeps as another one (¥ as \, 〜 as ～), so that a text that reads back otherwise is no surprise.
void NoteLookAlikes(const std::string& utf8) {
  static std::set<uint32_t> noted;
  for (size_t i = 0; i < utf8.size();) {
    uint32_t cp = 0;
    size_t n = NextUtf8(utf8, i, &cp);
    std::string one = utf8.substr(i, n);
    i += n;
    if (cp < 0x80 || noted.count(cp) != 0) continue;
    std::string bytes;
    if (!cp932::FromUtf8(one, &bytes, nullptr)) continue;
    std::string back = cp932::ToUtf8(bytes);
    if (back == one) continue;
    noted.insert(cp);
    uint32_t kept = 0;
    NextUtf8(back, 0, &kept);
    std::fprintf(stderr, "telbook: note: code page 932 keeps %s (U+%04X) as %s (U+%04X)\n",
                 one.c_str(), static_cast<unsigned>(cp), back.c_str(), static_cast<unsigned>(kept));
  }
}

}  // namespace

std::string ToBook(const std::string& utf8, const std::string& what, size_t capacity) {
  std::string out;
  std::string bad;
  if (!cp932::FromUtf8(utf8, &out, &bad)) {
    // bad names a character, or says which byte is no UTF-8 at all.
    bool character = bad.compare(0, 2, "U+") == 0;
    throw ToolError(kExitText, "",
                    what + ": " + (character ? "code page 932 cannot hold " : "") + bad);
  }
  NoteLookAlikes(utf8);
  if (out.size() + 1 > capacity) {
    throw ToolError(kExitText, "",
                    what + ": too long (" + std::to_string(out.size()) +
                        " bytes in code page 932; the field holds " + std::to_string(capacity - 1) +
                        ")");
  }
  return out;
}

std::string FromField(const char* field, size_t capacity) {
  size_t n = 0;
  while (n < capacity && field[n] != '\0') ++n;
  return cp932::ToUtf8(std::string(field, n));
}

size_t DisplayWidth(const std::string& utf8) {
  size_t width = 0;
  for (size_t i = 0; i < utf8.size();) {
    uint32_t cp;
    i += NextUtf8(utf8, i, &cp);
    width += Wide(cp) ? 2 : 1;
  }
  return width;
}

std::string Fit(const std::string& utf8, size_t width) {
  std::string out;
  size_t used = 0;
  if (DisplayWidth(utf8) > width) {
    for (size_t i = 0; i < utf8.size();) {
      uint32_t cp;
      size_t n = NextUtf8(utf8, i, &cp);
      size_t w = Wide(cp) ? 2 : 1;
      if (used + w + 1 > width) break;
      out.append(utf8, i, n);
      used += w;
      i += n;
    }
    out += "\xE2\x80\xA6";  // …
    used += 1;
  } else {
    out = utf8;
    used = DisplayWidth(utf8);
  }
  if (used < width) out.append(width - used, ' ');
  return out;
}

}  // namespace tool
}  // namespace telbook
