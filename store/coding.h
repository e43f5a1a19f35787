// Little-endian encoding and decoding of fixed-width numbers, byte by byte.
// Callers check bounds; these helpers only touch the bytes they name.
#ifndef TELBOOK_STORE_CODING_H_
#define TELBOOK_STORE_CODING_H_

#include <cstdint>

namespace telbook {

inline uint16_t DecodeU16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

inline uint32_t DecodeU32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

inline void EncodeU16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}

inline void EncodeU32(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
  p[2] = static_cast<uint8_t>(v >> 16);
  p[3] = static_cast<uint8_t>(v >> 24);
}

}  // namespace telbook

#endif  // TELBOOK_STORE_CODING_H_
