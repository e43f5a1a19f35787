// `telbook import`: adds the entries and groups of a text export to a phone book, the members of
// each group taken over under the record numbers its entries got. Saved at once; on any error the
// phone book stays as it was.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "tools/book.h"
#include "tools/commands.h"
#include "tools/import_text.h"
#include "tools/records.h"
#include "tools/tool_error.h"

namespace telbook {
namespace tool {
namespace {

std::string ReadSource(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw ToolError(kExitFile, path, std::string("cannot read: ") + strerror(errno));
  std::ostringstream bytes;
  bytes << in.rdbuf();
  if (in.bad()) throw ToolError(kExitFile, path, "cannot read: a read failed");
  return bytes.str();
}

// "1 to 31", "7", or "none" for the numbers the records got.
std::string Span(const std::vector<int>& numbers) {
  if (numbers.empty()) return "none";
  std::string first = std::to_string(numbers.front());
  if (numbers.size() == 1) return first;
  return first + " to " + std::to_string(numbers.back());
}

}  // namespace

void AddImportCommand(CLI::App* app, Action* action) {
  struct Options {
    std::string path;
    std::string source;
    bool utf8 = false;
  };
  auto o = std::make_shared<Options>();
  CLI::App* cmd = app->add_subcommand(
      "import", "Add the entries and groups of a comma-separated text export to a phone book.");
  cmd->add_option("BOOK", o->path, "the phone book file")->required();
  cmd->add_option("FILE", o->source, "the text export to read")->required();
  cmd->add_flag("--utf8", o->utf8, "FILE is UTF-8 rather than code page 932");
  cmd->footer(
      "Every line is checked before the phone book is touched; group members name the K lines\n"
      "of the same file and become the record numbers those entries get. The records are saved\n"
      "at once; on any error the phone book is left as it was.");
  cmd->callback([action, o] {
    *action = [o] {
      std::string bytes = ReadSource(o->source);
      ImportedText text;
      ImportProblem problem;
      if (!ParseTextExport(bytes.data(), bytes.size(), o->utf8, &text, &problem)) {
        std::string where = problem.line > 0 ? "line " + std::to_string(problem.line) + ": " : "";
        throw ToolError(kExitText, o->source, where + problem.reason + "; nothing was imported");
      }
      Book book(o->path, Book::Mode::kOpen);
      std::vector<int> entry_numbers;
      for (const ImportedEntry& e : text.entries) {
        entry_numbers.push_back(WriteEntry(book, e.entry, 0));
      }
      std::vector<int> group_numbers;
      for (const ImportedGroup& g : text.groups) {
        std::vector<unsigned short> members;
        for (size_t index : g.members) {
          members.push_back(static_cast<unsigned short>(entry_numbers[index]));
        }
        group_numbers.push_back(WriteGroup(book, g.group, members, 0));
      }
      book.Save();
      std::printf("imported %zu entries (%s) and %zu groups (%s) from %s into %s\n",
                  entry_numbers.size(), Span(entry_numbers).c_str(), group_numbers.size(),
                  Span(group_numbers).c_str(), o->source.c_str(), o->path.c_str());
      return kExitOk;
    };
  });
}

}  // namespace tool
}  // namespace telbook
