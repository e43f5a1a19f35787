// The keyword list value text: the count as decimal digits and CR LF, then each keyword and CR LF.
// Encoding and decoding against the 822-byte host structure, bounded on both sides.
#ifndef TELBOOK_SETTINGS_KEYWORD_LIST_H_
#define TELBOOK_SETTINGS_KEYWORD_LIST_H_

#include <cstddef>
#include <cstdint>

#include "interface/telbook.h"

namespace telbook {
namespace keyword_list {

constexpr uint16_t kMaxKeywords = 10;
constexpr size_t kSlotSize = 82;
constexpr size_t kMaxKeywordLength = kSlotSize - 1;
constexpr size_t kLineEndSize = 2;     // CR LF
constexpr size_t kMaxCountDigits = 2;  // "10"
// The structure the list is exchanged in.
constexpr size_t kStructureSize = 2 + kMaxKeywords * kSlotSize;
static_assert(kStructureSize == sizeof(TL_KeyWordInfo), "keyword list structure is 822 bytes");
// The longest text the encoder makes: ten keywords of 81 bytes.
constexpr uint32_t kMaxTextSize =
    kMaxCountDigits + kLineEndSize + kMaxKeywords * (kMaxKeywordLength + kLineEndSize);
static_assert(kMaxTextSize == 834, "longest keyword list text");
// The read takes back anything the encoder writes, though that is 12 bytes more than the
// structure: a full list of long keywords would otherwise be lost as a whole on the next load.
constexpr uint32_t kReadCapacity = kMaxTextSize;

// Writes the text of the list into out[kMaxTextSize] and returns its length. A count above 10 is
// written as 10; each keyword is taken up to its zero, at most 81 bytes.
uint32_t Encode(const TL_KeyWordInfo& list, uint8_t* out);

// Loads the lines of text[0, length) over list, which the caller has reset: the first complete
// line is the count (a count above 10 becomes 10), the next ones fill keyword slots 0 to 9, each
// cut to 81 bytes. Bytes after the last CR LF are ignored; slots without a line are untouched.
// Without a complete line the count is 0.
void Decode(const uint8_t* text, uint32_t length, TL_KeyWordInfo* list);

}  // namespace keyword_list
}  // namespace telbook

#endif  // TELBOOK_SETTINGS_KEYWORD_LIST_H_
