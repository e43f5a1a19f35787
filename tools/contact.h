// A card of another address book as its reader found it, before it is fitted to a phone book
// entry: UTF-8 texts in the source's own structure (name parts, readings, several numbers).
#ifndef TELBOOK_TOOLS_CONTACT_H_
#define TELBOOK_TOOLS_CONTACT_H_

#include <string>
#include <vector>

namespace telbook {
namespace tool {

struct Contact {
  int line = 0;        // where the card or row begins in the file, from 1
  std::string name;    // the name as formatted by the source (FN, a "Name" column)
  std::string family;  // name parts, when the source keeps them apart
  std::string given;
  std::string middle;
  std::string reading;  // a whole reading (SORT-STRING, a "Yomi" column)
  std::string family_reading;
  std::string given_reading;
  std::vector<std::string> organization;  // company, then departments
  std::string title;
  std::vector<std::string> faxes;   // in source order
  std::vector<std::string> phones;  // voice numbers, in source order
  std::vector<std::string> emails;
  std::string note;  // line breaks as "\n"
  std::vector<std::string> categories;
  // Why this card cannot be imported (a value that cannot be decoded, a broken line); the rest
  // of the file is not affected. Empty for a sound card.
  std::string problem;
};

// A fault of a whole file: where it is and what it is. line is 0 when no one line is at fault;
// byte, when not 0, is the position in that line, from 1.
struct FileProblem {
  int line = 0;
  size_t byte = 0;
  std::string reason;
  bool usage = false;  // the fault is in what the command line asked of the file
};

}  // namespace tool
}  // namespace telbook

#endif  // TELBOOK_TOOLS_CONTACT_H_
