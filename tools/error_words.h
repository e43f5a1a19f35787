// The library's error pair in words: which operation failed (category) and why (detail), for the
// messages the tool prints on standard error.
#ifndef TELBOOK_TOOLS_ERROR_WORDS_H_
#define TELBOOK_TOOLS_ERROR_WORDS_H_

#include <string>

namespace telbook {
namespace tool {

// "what failed" for a category, e.g. "writing to a file"; "unknown operation N" when unlisted.
std::string CategoryWords(unsigned category);
// "why" for a detail, e.g. "no free slot is left"; "unknown cause N" when unlisted.
std::string DetailWords(unsigned detail);
// The whole pair: "<detail words> (while <category words>; library error C/D)"; for (0, 0)
// "the library recorded no cause".
std::string PairWords(unsigned category, unsigned detail);

}  // namespace tool
}  // namespace telbook

#endif  // TELBOOK_TOOLS_ERROR_WORDS_H_
