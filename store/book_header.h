// The header of a phone book file: the one encoder of its version, limits and counts, used by
// create, the save and the subset, and the decoding of its counts.
#ifndef TELBOOK_STORE_BOOK_HEADER_H_
#define TELBOOK_STORE_BOOK_HEADER_H_

#include <cstdint>
#include <cstring>

#include "store/coding.h"
#include "store/format.h"

namespace telbook {
namespace book_header {

// The magic and version text of the version every writer writes (format::kSavedVersion).
inline void EncodeSavedVersion(uint8_t* header) {
  memcpy(header + format::kMagicOffset, format::kMagicV2, format::kMagicSize);
  memcpy(header + format::kVersionOffset, format::kVersionText, format::kVersionSize);
}

inline void EncodeLimits(uint8_t* header) {
  EncodeU16(header + format::kPersonalLimitOffset, format::kPersonalLimit);
  EncodeU16(header + format::kGroupLimitOffset, format::kGroupLimit);
}

inline void EncodeCounts(uint8_t* header, uint16_t personal, uint16_t groups) {
  EncodeU16(header + format::kPersonalCountOffset, personal);
  EncodeU16(header + format::kGroupCountOffset, groups);
}

// The header of a new or saved phone book: the saved version, both limits and the counts. The
// reserved bytes stay as they are.
inline void EncodeSaved(uint8_t* header, uint16_t personal, uint16_t groups) {
  EncodeSavedVersion(header);
  EncodeLimits(header);
  EncodeCounts(header, personal, groups);
}

inline uint16_t PersonalCount(const uint8_t* header) {
  return DecodeU16(header + format::kPersonalCountOffset);
}
inline uint16_t GroupCount(const uint8_t* header) {
  return DecodeU16(header + format::kGroupCountOffset);
}
inline uint16_t Version(const uint8_t* header) {
  return format::ParseVersion(header + format::kVersionOffset);
}
// Whether the header begins with the magic its version asks for.
inline bool MagicFits(const uint8_t* header, uint16_t version) {
  return memcmp(header + format::kMagicOffset, format::MagicFor(version), format::kMagicSize) == 0;
}

}  // namespace book_header
}  // namespace telbook

#endif  // TELBOOK_STORE_BOOK_HEADER_H_
