// Text at the tool's edges: UTF-8 from the command line to code page 932 fields of the host
// structures and back, and the display width of UTF-8 text for aligned columns.
#ifndef TELBOOK_TOOLS_TEXT_H_
#define TELBOOK_TOOLS_TEXT_H_

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

namespace telbook {
namespace tool {

// Converts UTF-8 to code page 932 for a field of the given capacity (terminator included).
// Throws ToolError(kExitText) naming `what` (an option or field name) when the text is not UTF-8,
// holds a character code page 932 cannot hold, or does not fit the field. A character the code
// page keeps as another one (¥ as \, 〜 as ～) is noted on standard error, once per character in
// a run of the tool.
std::string ToBook(const std::string& utf8, const std::string& what, size_t capacity);

// A code page 932 field of a host structure, read up to its terminator or its capacity, as UTF-8.
std::string FromField(const char* field, size_t capacity);
template <size_t N>
std::string FromField(const char (&field)[N]) {
  return FromField(field, N);
}

// Copies code page 932 text into a field; the text must fit (ToBook checked it).
template <size_t N>
void SetField(char (&field)[N], const std::string& text) {
  size_t n = text.size() < N - 1 ? text.size() : N - 1;
  memset(field, 0, N);
  memcpy(field, text.data(), n);
}

// Decodes the UTF-8 character at s[i] into *cp; returns its length (1 for a stray byte).
size_t NextUtf8(const std::string& s, size_t i, uint32_t* cp);
// Appends the UTF-8 form of a code point.
void AppendUtf8(uint32_t cp, std::string* out);
// The text without blanks (space, tab, U+3000), and with none at either end.
std::string WithoutBlanks(const std::string& utf8);
std::string TrimBlanks(const std::string& utf8);

// Columns a UTF-8 text takes on a terminal: East Asian wide and full-width characters take two.
size_t DisplayWidth(const std::string& utf8);
// The text cut to at most `width` columns (with "…" when cut), then padded with spaces to it.
std::string Fit(const std::string& utf8, size_t width);

}  // namespace tool
}  // namespace telbook

#endif  // TELBOOK_TOOLS_TEXT_H_
