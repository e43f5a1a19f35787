// The soundness check of a phone book file, made on its bytes: what the library would trip over,
// silently skip or file wrongly, each finding with the record and the byte where it is.
#ifndef TELBOOK_TOOLS_CHECK_H_
#define TELBOOK_TOOLS_CHECK_H_

#include <cstdint>
#include <string>
#include <vector>

namespace telbook {
namespace tool {

struct Finding {
  std::string where;    // "header", "entry 12", "group 16390", ...
  long record = 0;      // the record number, 0 for the header
  int64_t offset = -1;  // the byte of the file where the fault lies; -1 for the file as a whole
  std::string problem;  // in words
};

struct CheckReport {
  bool readable = false;  // the header and index tables can be read: repair can work on it
  int version = 0;
  int entries = 0;  // used slots
  int groups = 0;
  // Bytes of the record area that no record lies in, which a save drops: no fault.
  int64_t dead_bytes = 0;
  // A file of version 2 or 3 whose personal slot 1025 holds a used kind with tab code 0, which
  // makes the library take it for the version-1 layout and leave every slot above 1024 unseen.
  bool hidden_high_slots = false;
  std::vector<Finding> findings;
};

// Never fails: a file that cannot be read at all is one finding.
CheckReport CheckFile(const std::string& path);
CheckReport CheckBytes(const std::vector<uint8_t>& file);

// The whole file; false when it cannot be read.
bool ReadWholeFile(const std::string& path, std::vector<uint8_t>* bytes);

}  // namespace tool
}  // namespace telbook

#endif  // TELBOOK_TOOLS_CHECK_H_
