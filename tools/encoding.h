// The encodings a file given to the import may come in: which one a file is in (byte order
// mark, UTF-8, code page 932), and the turn of its bytes, or of one value, into UTF-8.
#ifndef TELBOOK_TOOLS_ENCODING_H_
#define TELBOOK_TOOLS_ENCODING_H_

#include <cstddef>
#include <string>

#include "tools/contact.h"

namespace telbook {
namespace tool {

enum class Encoding { kAuto, kUtf8, kUtf16Le, kUtf16Be, kCp932 };

// "utf-8", "utf-16" (the byte order mark decides, little-endian without one), "utf-16le",
// "utf-16be", "cp932" and its other names ("shift_jis", "sjis", "windows-31j", "ms932"), in
// any case. False for anything else.
bool ParseEncodingName(const std::string& name, Encoding* out);
const char* EncodingName(Encoding encoding);

// The encoding of a whole file: a byte order mark decides; else UTF-8 when every byte is valid
// UTF-8, else code page 932 when every character is one of its own. *bom_length is the length
// of the mark. When the file is none of them, returns kAuto with *problem naming the first
// line and byte that neither encoding can read (the later of the two places).
Encoding DetectEncoding(const std::string& bytes, size_t* bom_length, FileProblem* problem);

// The file's text as UTF-8, read in the given encoding (kAuto detects it); a byte order mark is
// dropped. False with *problem on the first line and byte that is not valid in the encoding.
bool DecodeFile(const std::string& bytes, Encoding encoding, std::string* utf8, Encoding* used,
                FileProblem* problem);

// The bytes of one value in an encoding named the way vCard's CHARSET parameter names one
// (SHIFT_JIS, UTF-8, ISO-8859-1, US-ASCII, ...), as UTF-8. False with the reason when the name
// is unknown or the bytes are not valid in it.
bool DecodeCharset(const std::string& bytes, const std::string& charset, std::string* utf8,
                   std::string* why);

// True when the bytes are well-formed UTF-8; *bad_at is then the size, else the first bad byte.
bool IsValidUtf8(const std::string& bytes, size_t* bad_at);

}  // namespace tool
}  // namespace telbook

#endif  // TELBOOK_TOOLS_ENCODING_H_
