// Reader of vCard files (versions 2.1, 3.0 and 4.0 as phones and contacts programs write them)
// into cards: the properties a phone book keeps, every other property skipped.
#ifndef TELBOOK_TOOLS_VCARD_READER_H_
#define TELBOOK_TOOLS_VCARD_READER_H_

#include <string>
#include <vector>

#include "tools/contact.h"
#include "tools/encoding.h"

namespace telbook {
namespace tool {

// True when the text's first line that is not blank is BEGIN:VCARD.
bool LooksLikeVcard(const std::string& utf8);

// Reads every card of a vCard file already decoded to UTF-8. Values in quoted-printable or
// base64 are decoded in their CHARSET, or else in file_encoding (the encoding the file was
// read in; code page 932 is tried too when that fails). A fault of one card (a line without a
// value, a value that cannot be decoded) sets that card's problem; a fault of the file (text
// outside a card, a card without its END) returns false with *problem. Never throws but
// std::bad_alloc.
bool ReadVcards(const std::string& utf8, Encoding file_encoding, std::vector<Contact>* out,
                FileProblem* problem);

}  // namespace tool
}  // namespace telbook

#endif  // TELBOOK_TOOLS_VCARD_READER_H_
