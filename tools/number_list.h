// Record numbers as the command line gives them: one number ("NUMBER", "--number"), or a list of
// numbers and ranges ("1,5,9-12,16385"), checked against the ranges of entries and groups.
#ifndef TELBOOK_TOOLS_NUMBER_LIST_H_
#define TELBOOK_TOOLS_NUMBER_LIST_H_

#include <string>
#include <vector>

namespace telbook {
namespace tool {

// Which records a list may name.
enum class NumberKind {
  kEntry,  // 1 to 9999
  kGroup,  // 16385 to 26383
  kAny,    // entries and groups
};

// A whole decimal number; throws ToolError(kExitUsage) "<what> must be a number, not "<text>"".
long ParseNumber(const std::string& text, const std::string& what);

// Numbers and ranges A-B (A not above B) separated by commas, blanks around them allowed, in the
// order given; a range stands for every number from A to B. Throws ToolError(kExitUsage) naming
// `what` and the item for an item that is no number or range of the kind (a range may not run
// from entries into groups), and for more than 9999 numbers of a kind.
std::vector<int> ParseNumberList(const std::string& text, const std::string& what, NumberKind kind);

// The first number that stands twice in the list, or 0.
int FirstRepeated(const std::vector<int>& numbers);
// The list without repeats, in the order of first appearance.
std::vector<int> WithoutRepeats(const std::vector<int>& numbers);

// "5", "5 and 9", "5, 9 and 12": numbers for a message, runs of three or more as "1 to 4".
std::string NumberWords(const std::vector<int>& numbers);

// "1 entry", "2 entries": a count with its noun, `plural` used for every count but 1.
std::string Counted(size_t count, const char* singular, const char* plural);

}  // namespace tool
}  // namespace telbook

#endif  // TELBOOK_TOOLS_NUMBER_LIST_H_
