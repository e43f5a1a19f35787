// Temporary files a killed process of the library left behind: named "tel", up to eight hex
// digits and ".tmp", beside a phone book or in the temporary directory, held by no live process.
#ifndef TELBOOK_TOOLS_LEFTOVERS_H_
#define TELBOOK_TOOLS_LEFTOVERS_H_

#include <cstdint>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace telbook {
namespace tool {

struct Leftover {
  std::string path;
  int64_t bytes = 0;
  bool beside_book = false;  // in the book's directory, not (only) in the temporary directory
  bool phone_book = false;   // a whole, sound phone book: a save that did not finish
};

// The leftovers beside the phone book at book (the file its links lead to) and in the
// temporary directory that no live handle holds, by path.
std::vector<Leftover> FindLeftovers(const std::string& book);

// Lines for `telbook check`: one per leftover, "BOOK: leftover PATH (...)"; and the same as JSON.
void PrintLeftovers(const std::string& book, const std::vector<Leftover>& leftovers);
nlohmann::json LeftoversJson(const std::vector<Leftover>& leftovers);

// Removes the leftovers of book that no live handle holds, each in one step with that check.
// A sound phone book beside a book that is not sound is kept: it may be the only whole copy of
// an interrupted save. Prints what it removes and keeps; returns how many it removed.
int CleanLeftovers(const std::string& book);

}  // namespace tool
}  // namespace telbook

#endif  // TELBOOK_TOOLS_LEFTOVERS_H_
