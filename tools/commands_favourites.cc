// `telbook favourites`: the names of the five favourite categories, shown or changed one at a
// time. A change is saved at once; on any error the file stays as it was.
#include <cstdio>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include "tools/book.h"
#include "tools/commands.h"
#include "tools/favourites.h"
#include "tools/text.h"
#include "tools/tool_error.h"

namespace telbook {
namespace tool {

std::vector<std::string> ReadFavouriteNames(const Book& book) {
  char places[kFavouriteCount * kFavouriteNameSize] = {};
  book.Check(TL_readOkonomi(book.session(), 0, places), "cannot read the favourite names");
  std::vector<std::string> names;
  for (int k = 0; k < kFavouriteCount; ++k) {
    names.push_back(FromField(places + k * kFavouriteNameSize, kFavouriteNameSize));
  }
  return names;
}

void WriteFavouriteName(const Book& book, int k, const std::string& utf8) {
  if (k < 1 || k > kFavouriteCount) {
    throw ToolError(kExitUsage, "", "favourite category must be 1 to 5, not " + std::to_string(k));
  }
  for (char c : utf8) {
    if (c == ' ' || (static_cast<unsigned char>(c) < 0x20) || c == 0x7F) {
      throw ToolError(kExitText, "",
                      "favourite name: a space or control character would end the name "
                      "there; use another separator (the full-width space is fine)");
    }
  }
  // A name fills at most the 16 bytes of its place, without terminator when it fills them all.
  std::string text = ToBook(utf8, "favourite name", kFavouriteNameSize + 1);
  char place[kFavouriteNameSize] = {};
  text.copy(place, text.size());
  book.Check(TL_writeOkonomi(book.session(), k, place), "cannot write the favourite name");
}

void AddFavouritesCommand(CLI::App* app, Action* action) {
  struct Options {
    std::string path;
    int category = 0;
    int clear = 0;
    std::string name;
    bool json = false;
    double wait = kDefaultWaitSeconds;
  };
  auto o = std::make_shared<Options>();
  CLI::App* cmd = app->add_subcommand("favourites", "Show or rename the favourite categories.");
  cmd->add_option("BOOK", o->path, "the phone book file")->required();
  auto* set = cmd->add_option("--set", o->category, "category to rename, 1 to 5 (with NAME)")
                  ->check(CLI::Range(1, kFavouriteCount));
  auto* name = cmd->add_option("NAME", o->name,
                               "the new name (at most 16 bytes in code page 932, no spaces)")
                   ->needs(set);
  auto* clear = cmd->add_option("--clear", o->clear, "category whose name to clear, 1 to 5")
                    ->check(CLI::Range(1, kFavouriteCount))
                    ->excludes(set);
  cmd->add_flag("--json", o->json, "print JSON")->excludes(set)->excludes(clear);
  AddWaitOption(cmd, &o->wait);
  cmd->footer("A new name is saved at once; nothing changes on any error.");
  cmd->callback([action, o, set, name] {
    if (set->count() > 0 && name->count() == 0) {
      throw CLI::ValidationError("--set " + std::to_string(o->category) +
                                 " needs the new NAME (--clear " + std::to_string(o->category) +
                                 " clears the name)");
    }
    *action = [o] {
      int k = o->category != 0 ? o->category : o->clear;
      if (k != 0) {
        std::string name = o->category != 0 ? o->name : std::string();
        ChangeBook(o->path, o->wait, /*repeatable=*/true, [&](Book& book) {
          WriteFavouriteName(book, k, name);
          return true;
        });
        if (name.empty()) {
          std::printf("favourite %d has no name now\n", k);
        } else {
          std::printf("favourite %d is now \"%s\"\n", k, name.c_str());
        }
        return kExitOk;
      }
      Book book(o->path, Book::Mode::kOpen);
      std::vector<std::string> names = ReadFavouriteNames(book);
      if (o->json) {
        nlohmann::json j = nlohmann::json::array();
        for (int i = 0; i < kFavouriteCount; ++i) {
          char code[8];
          std::snprintf(code, sizeof(code), "0x%X0", i + 1);
          j.push_back({{"category", i + 1}, {"tab", code}, {"name", names[i]}});
        }
        std::cout << j.dump(2) << "\n";
        return kExitOk;
      }
      for (int i = 0; i < kFavouriteCount; ++i) {
        std::printf("%d  tab 0x%X0  %s\n", i + 1, i + 1,
                    names[i].empty() ? "(no name)" : names[i].c_str());
      }
      return kExitOk;
    };
  });
}

}  // namespace tool
}  // namespace telbook
