// `telbook search`: the host's search over the library's enumeration of every record, matching
// folded texts so that kana, width and case differences do not matter.
#include <cstdio>
#include <iostream>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include "tools/book.h"
#include "tools/commands.h"
#include "tools/display.h"
#include "tools/fold.h"
#include "tools/records.h"
#include "tools/text.h"
#include "tools/tool_error.h"

namespace telbook {
namespace tool {
namespace {

// The code page 932 text of a list item's field, up to its zero.
template <size_t N>
std::string_view Text(const char (&field)[N]) {
  size_t n = 0;
  while (n < N && field[n] != '\0') ++n;
  return std::string_view(field, n);
}

// The texts of a list item a search looks at, by field name; groups have a name and reading.
struct SearchText {
  const char* field;
  std::string_view text;
};
std::vector<SearchText> SearchTexts(const TL_ListItem& item) {
  std::vector<SearchText> texts = {{"name", Text(item.Name)}, {"furigana", Text(item.Furigana)}};
  if (item.Kind != 2) {
    texts.insert(texts.end(), {{"affiliation", Text(item.Affiliation)},
                               {"fax", Text(item.FaxNumber)},
                               {"phone", Text(item.Phone)},
                               {"email", Text(item.EMail)},
                               {"memo", Text(item.Memo)}});
  }
  return texts;
}

}  // namespace

void AddSearchCommand(CLI::App* app, Action* action) {
  struct Options {
    std::string path;
    std::string text;
    std::string field;
    bool json = false;
    bool strict = false;
  };
  auto o = std::make_shared<Options>();
  CLI::App* cmd = app->add_subcommand(
      "search",
      "Find the entries and groups whose texts hold TEXT, ignoring hiragana/katakana, "
      "half/full width and case.");
  cmd->add_option("BOOK", o->path, "the phone book file")->required();
  cmd->add_option("TEXT", o->text, "the text to look for")->required();
  cmd->add_option("--field", o->field, "look in one field only")
      ->check(CLI::IsMember({"name", "furigana", "affiliation", "fax", "phone", "email", "memo"}));
  cmd->add_flag("--json", o->json, "print JSON");
  AddStrictFlag(cmd, &o->strict);
  cmd->footer(
      "Exit status 1 when nothing matched; 7 when records that could not be read were skipped\n"
      "(whether or not something matched).");
  cmd->callback([action, o] {
    *action = [o] {
      Folder folder;
      std::string needle = folder.Fold(o->text);
      Book book(o->path, Book::Mode::kOpen);
      book.set_strict(o->strict);
      Cp932Folder texts(folder);
      std::vector<TL_ListItem> found;
      ForEachRecord(book, [&](const TL_ListItem& item) {
        for (const SearchText& text : SearchTexts(item)) {
          if (!o->field.empty() && o->field != text.field) continue;
          if (texts.Fold(text.text).find(needle) != std::string::npos) {
            found.push_back(item);
            break;
          }
        }
      });
      if (o->json) {
        nlohmann::json j = nlohmann::json::array();
        for (const TL_ListItem& item : found) j.push_back(ListItemJson(item));
        std::cout << j.dump(2) << "\n";
      } else if (!found.empty()) {
        PrintListTable(found);
      }
      return book.Finish(found.empty() ? kExitFindings : kExitOk);
    };
  });
}

}  // namespace tool
}  // namespace telbook
