// Reading the library's own comma-separated text export back into host structures: the lines of
// personal entries (K1, K2, ...) and of groups (G1, ...) whose members name the K lines.
#ifndef TELBOOK_TOOLS_IMPORT_TEXT_H_
#define TELBOOK_TOOLS_IMPORT_TEXT_H_

#include <cstddef>
#include <string>
#include <vector>

#include "telbook.h"

namespace telbook {
namespace tool {

struct ImportedEntry {
  unsigned k = 0;  // the number of its K line
  int line = 0;    // physical line of the file where it begins, from 1
  TL_Kojin entry{};
};

struct ImportedGroup {
  int line = 0;
  TL_Group group{};
  std::vector<size_t> members;  // indexes into ImportedText::entries, in member order
};

struct ImportedText {
  std::vector<ImportedEntry> entries;  // in file order
  std::vector<ImportedGroup> groups;   // in file order
};

struct ImportProblem {
  int line = 0;  // where the faulty line begins, from 1; 0 when no one line is at fault
  std::string reason;
};

// Parses a whole text export held in data[0, size). Texts are code page 932 and copied as they
// stand, or UTF-8 when utf8 is set (a leading byte order mark is skipped) and converted. Returns
// false with *problem filled on the first fault; *out is then unspecified. Never reads outside
// the input and never throws but std::bad_alloc, whatever the bytes.
bool ParseTextExport(const char* data, size_t size, bool utf8, ImportedText* out,
                     ImportProblem* problem);

}  // namespace tool
}  // namespace telbook

#endif  // TELBOOK_TOOLS_IMPORT_TEXT_H_
