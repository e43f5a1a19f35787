// The soundness check of a phone book file, made on its bytes: what the library would trip over
// or silently skip, each finding with where it is.
#ifndef TELBOOK_TOOLS_CHECK_H_
#define TELBOOK_TOOLS_CHECK_H_

#include <string>
#include <vector>

namespace telbook {
namespace tool {

struct Finding {
  std::string where;    // "header", "entry 12", "group 16390", ...
  std::string problem;  // in words
};

struct CheckReport {
  bool readable = false;  // the header and index tables can be read: a save can repair it
  int version = 0;
  int entries = 0;  // used slots
  int groups = 0;
  std::vector<Finding> findings;
};

// Never fails: a file that cannot be read at all is one finding.
CheckReport CheckFile(const std::string& path);

}  // namespace tool
}  // namespace telbook

#endif  // TELBOOK_TOOLS_CHECK_H_
