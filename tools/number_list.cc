// Parsing record numbers and lists of them, and putting them back into words.
#include "tools/number_list.h"

#include <cstdlib>
#include <set>

#include "store/format.h"
#include "tools/text.h"
#include "tools/tool_error.h"

namespace telbook {
namespace tool {
namespace {

bool Fits(long n, NumberKind kind) {
  const bool entry = n >= format::kFirstPersonal && n <= format::kLastPersonal;
  const bool group = n >= format::kFirstGroup && n <= format::kLastGroup;
  switch (kind) {
    case NumberKind::kEntry:
      return entry;
    case NumberKind::kGroup:
      return group;
    case NumberKind::kAny:
      return entry || group;
  }
  return false;
}

const char* KindWords(NumberKind kind) {
  switch (kind) {
    case NumberKind::kEntry:
      return "an entry's number (1 to 9999)";
    case NumberKind::kGroup:
      return "a group's number (16385 to 26383)";
    case NumberKind::kAny:
      return "a record number (entries 1 to 9999, groups 16385 to 26383)";
  }
  return "";
}

// A plain decimal number, or -1.
long Decimal(const std::string& text) {
  if (text.empty() || text.size() > 9) return -1;
  for (char c : text) {
    if (c < '0' || c > '9') return -1;
  }
  return std::strtol(text.c_str(), nullptr, 10);
}

}  // namespace

long ParseNumber(const std::string& text, const std::string& what) {
  long value = Decimal(TrimBlanks(text));
  if (value < 0) {
    throw ToolError(kExitUsage, "", what + " must be a number, not \"" + text + "\"");
  }
  return value;
}

std::vector<int> ParseNumberList(const std::string& text, const std::string& what,
                                 NumberKind kind) {
  std::vector<int> numbers;
  size_t entries = 0;
  size_t groups = 0;
  size_t start = 0;
  while (start <= text.size()) {
    size_t comma = text.find(',', start);
    if (comma == std::string::npos) comma = text.size();
    std::string item = TrimBlanks(text.substr(start, comma - start));
    start = comma + 1;
    if (item.empty()) continue;
    size_t dash = item.find('-', 1);
    long first = Decimal(TrimBlanks(item.substr(0, dash)));
    long last = dash == std::string::npos ? first : Decimal(TrimBlanks(item.substr(dash + 1)));
    bool ok = Fits(first, kind) && Fits(last, kind) && first <= last &&
              (first > format::kLastPersonal || last <= format::kLastPersonal);
    if (!ok) {
      std::string why = dash == std::string::npos ? std::string(" is not ") + KindWords(kind)
                        : first > last            ? " runs backwards"
                                       : std::string(" is not a range of ") + KindWords(kind);
      throw ToolError(kExitUsage, "", what + ": \"" + item + "\"" + why);
    }
    size_t& count = first > format::kLastPersonal ? groups : entries;
    count += static_cast<size_t>(last - first + 1);
    if (count > format::kSlotsPerTable) {
      throw ToolError(kExitUsage, "", what + ": more than 9999 numbers of one kind");
    }
    for (long n = first; n <= last; ++n) numbers.push_back(static_cast<int>(n));
  }
  return numbers;
}

int FirstRepeated(const std::vector<int>& numbers) {
  std::set<int> seen;
  for (int n : numbers) {
    if (!seen.insert(n).second) return n;
  }
  return 0;
}

std::vector<int> WithoutRepeats(const std::vector<int>& numbers) {
  std::set<int> seen;
  std::vector<int> out;
  for (int n : numbers) {
    if (seen.insert(n).second) out.push_back(n);
  }
  return out;
}

std::string NumberWords(const std::vector<int>& numbers) {
  std::vector<std::string> parts;
  for (size_t i = 0; i < numbers.size();) {
    size_t j = i;
    while (j + 1 < numbers.size() && numbers[j + 1] == numbers[j] + 1) ++j;
    if (j >= i + 2) {
      parts.push_back(std::to_string(numbers[i]) + " to " + std::to_string(numbers[j]));
      i = j + 1;
    } else {
      parts.push_back(std::to_string(numbers[i]));
      ++i;
    }
  }
  std::string out;
  for (size_t i = 0; i < parts.size(); ++i) {
    if (i > 0) out += i + 1 == parts.size() ? " and " : ", ";
    out += parts[i];
  }
  return out;
}

std::string Counted(size_t count, const char* singular, const char* plural) {
  return std::to_string(count) + " " + (count == 1 ? singular : plural);
}

}  // namespace tool
}  // namespace telbook
