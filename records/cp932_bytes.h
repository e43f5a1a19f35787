// The byte classes of code page 932 text that the library tells apart: the lead and trail bytes
// of its double-byte test, and the code page's own, wider set of lead bytes.
#ifndef TELBOOK_RECORDS_CP932_BYTES_H_
#define TELBOOK_RECORDS_CP932_BYTES_H_

#include <cstdint>

namespace telbook {

// Lead bytes of the library's double-byte test (texts cut, repaired and exported): 0x81 to 0x9F
// and 0xE0 to 0xEF; 0xF0 up, which the code page also counts, are not.
constexpr bool IsLeadByte(uint8_t byte) {
  return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xEF);
}
// Trail bytes: 0x40 to 0x7E and 0x80 to 0xFC.
constexpr bool IsTrailByte(uint8_t byte) {
  return (byte >= 0x40 && byte <= 0x7E) || (byte >= 0x80 && byte <= 0xFC);
}
// Every lead byte of the code page, 0xF0 to 0xFC included: the test of the reading
// classification, which looks at a second byte after any of them.
constexpr bool IsCodePageLeadByte(uint8_t byte) {
  return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

}  // namespace telbook

#endif  // TELBOOK_RECORDS_CP932_BYTES_H_
