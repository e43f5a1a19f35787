// `telbook favourites`: the names of the five favourite categories, shown or changed one at a
// time. A change is saved at once; on any error the file stays as it was.
#include <cstdio>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

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
    std::string name;
    double wait = kDefaultWaitSeconds;
  };
  auto o = std::make_shared<Options>();
  CLI::App* cmd = app->add_subcommand("favourites", "Show or rename the favourite categories.");
  cmd->add_option("BOOK", o->path, "the phone book file")->required();
  auto* set = cmd->add_option("--set", o->category, "category to rename, 1 to 5 (with NAME)")
                  ->check(CLI::Range(1, kFavouriteCount));
  cmd->add_option("NAME", o->name,
                  "the new name (at most 16 bytes in code page 932, no spaces; "
                  "empty to clear)")
      ->needs(set);
  AddWaitOption(cmd, &o->wait);
  cmd->footer("The new name is saved at once; nothing changes on any error.");
  cmd->callback([action, o] {
    *action = [o] {
      if (o->category != 0) {
        ChangeBook(o->path, o->wait, /*repeatable=*/true,
                   [&](Book& book) { WriteFavouriteName(book, o->category, o->name); });
        std::printf("favourite %d is now \"%s\"\n", o->category, o->name.c_str());
        return kExitOk;
      }
      Book book(o->path, Book::Mode::kOpen);
      std::vector<std::string> names = ReadFavouriteNames(book);
      for (int k = 0; k < kFavouriteCount; ++k) {
        std::printf("%d  tab 0x%X0  %s\n", k + 1, k + 1,
                    names[k].empty() ? "(no name)" : names[k].c_str());
      }
      return kExitOk;
    };
  });
}

}  // namespace tool
}  // namespace telbook
