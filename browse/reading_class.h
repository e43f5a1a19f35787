// The reading classification: the index tab row of a reading's first character, and the tab
// codes that select a tab (a reading class or a favourite category).
#ifndef TELBOOK_BROWSE_READING_CLASS_H_
#define TELBOOK_BROWSE_READING_CLASS_H_

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace telbook {
namespace tab {

// Reading classes: 1 to 10 the kana rows from あ to わ, 11 everything else.
constexpr uint8_t kFirstClass = 1;
constexpr uint8_t kClassWa = 10;
constexpr uint8_t kOtherClass = 11;
// Tab code: reading class in the low four bits, favourite number in the high four.
constexpr uint8_t kClassMask = 0x0F;
constexpr uint8_t kFavouriteMask = 0xF0;
constexpr int kFavouriteShift = 4;
constexpr uint8_t kMaxFavourite = 5;

// The tab code a writer gives a record: the class of its reading, with the low four bits of a
// non-zero favourite number in the high four bits.
inline uint8_t TabCode(uint8_t reading_class, uint8_t favourite) {
  return static_cast<uint8_t>(reading_class | ((favourite & 0x0F) << kFavouriteShift));
}

}  // namespace tab

// The reading class of the first character of `text` (code page 932, `text` holding at most
// the bytes that belong to the reading). A lead byte with no second byte, and the empty text,
// give the other class.
uint8_t ClassifyReading(std::string_view text);
// The same for a host field of `capacity` bytes (the text ends at its zero or capacity - 1).
uint8_t ClassifyField(const char* field, size_t capacity);

// The match rule of a tab code: a used slot matches when (tab code & mask) == value. False when
// the code selects no tab.
bool DecodeTabCode(uint8_t code, uint8_t* mask, uint8_t* value);

}  // namespace telbook

#endif  // TELBOOK_BROWSE_READING_CLASS_H_
