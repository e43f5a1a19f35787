// Code page 932 <-> UTF-8 for the command-line tool: the library keeps code page 932 text, the
// terminal speaks UTF-8. One implementation per platform.
#ifndef TELBOOK_TOOLS_CP932_H_
#define TELBOOK_TOOLS_CP932_H_

#include <string>

namespace telbook {
namespace cp932 {

// Converts UTF-8 text to code page 932. Fails when the text is not valid UTF-8 or holds a
// character that code page 932 cannot hold; *bad then names that character (as "U+XXXX" and the
// character itself), *out is left empty. The characters that other Japanese encodings use where
// code page 932 keeps a look-alike (the wave dash U+301C for U+FF5E, and the like) are accepted.
bool FromUtf8(const std::string& utf8, std::string* out, std::string* bad);

// Strict form of ToUtf8: false when any byte had to be replaced.
bool ToUtf8Strict(const std::string& text, std::string* out);

// Converts code page 932 text to UTF-8. Never fails: a byte that begins no character of the code
// page (a lone lead byte at the end of a text, an unassigned code) becomes U+FFFD.
inline std::string ToUtf8(const std::string& text) {
  std::string out;
  ToUtf8Strict(text, &out);
  return out;
}

}  // namespace cp932
}  // namespace telbook

#endif  // TELBOOK_TOOLS_CP932_H_
