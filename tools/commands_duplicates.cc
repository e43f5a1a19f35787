// `telbook duplicates`: the entries of a phone book that look like one addressee, grouped, by
// the rule the import skips duplicates with.
#include <cstdio>
#include <iostream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include "tools/book.h"
#include "tools/commands.h"
#include "tools/display.h"
#include "tools/duplicates.h"
#include "tools/fold.h"
#include "tools/number_list.h"
#include "tools/records.h"
#include "tools/text.h"
#include "tools/tool_error.h"

namespace telbook {
namespace tool {

void AddDuplicatesCommand(CLI::App* app, Action* action) {
  struct Options {
    std::string path;
    bool json = false;
  };
  auto o = std::make_shared<Options>();
  CLI::App* cmd = app->add_subcommand(
      "duplicates",
      "List entries that share a fax number (its digits compared) or the same name and "
      "reading; exit status 1 when there are some.");
  cmd->add_option("BOOK", o->path, "the phone book file")->required();
  cmd->add_flag("--json", o->json, "print JSON");
  cmd->footer(
      "Names and readings are compared as the search compares them: hiragana and katakana,\n"
      "half and full width, and case alike, blanks left out. Entries joined through another\n"
      "one are in one group.");
  cmd->callback([action, o] {
    *action = [o] {
      Book book(o->path, Book::Mode::kOpen);
      std::map<int, TL_ListItem> items;
      std::vector<DuplicateCandidate> candidates;
      for (const TL_ListItem& item : AllRecords(book)) {
        if (item.Kind == 2) continue;
        items[item.RecordNumber] = item;
        candidates.push_back({item.RecordNumber, FromField(item.Name), FromField(item.Furigana),
                              FromField(item.FaxNumber)});
      }
      Folder folder;
      std::vector<DuplicateGroup> groups = FindDuplicates(candidates, folder);
      if (o->json) {
        nlohmann::json j = nlohmann::json::array();
        for (const DuplicateGroup& g : groups) {
          nlohmann::json reasons = nlohmann::json::array();
          for (DuplicateReason r : g.reasons) {
            reasons.push_back(r == DuplicateReason::kFax ? "fax" : "name-and-reading");
          }
          nlohmann::json entries = nlohmann::json::array();
          for (int id : g.ids) entries.push_back(ListItemJson(items[id]));
          j.push_back({{"reasons", reasons}, {"entries", entries}});
        }
        std::cout << j.dump(2) << "\n";
      } else {
        for (size_t i = 0; i < groups.size(); ++i) {
          std::string why;
          for (DuplicateReason r : groups[i].reasons) {
            why += (why.empty() ? "" : "; ") + std::string(DuplicateReasonWords(r));
          }
          std::printf("%s%zu entries: %s\n", i == 0 ? "" : "\n", groups[i].ids.size(), why.c_str());
          std::vector<TL_ListItem> rows;
          for (int id : groups[i].ids) rows.push_back(items[id]);
          PrintListTable(rows);
        }
        if (groups.empty()) {
          std::printf("%s: no duplicates among %s\n", o->path.c_str(),
                      Counted(items.size(), "entry", "entries").c_str());
        }
      }
      return groups.empty() ? kExitOk : kExitFindings;
    };
  });
}

}  // namespace tool
}  // namespace telbook
