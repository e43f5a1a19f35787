// `telbook create` and `telbook info`: a new empty phone book, and what a phone book holds.
#include <cstdio>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "tools/book.h"
#include "tools/commands.h"
#include "tools/favourites.h"
#include "tools/tool_error.h"

namespace telbook {
namespace tool {

void AddCreateCommand(CLI::App* app, Action* action) {
  auto path = std::make_shared<std::string>();
  CLI::App* cmd = app->add_subcommand("create", "Create a new, empty phone book.");
  cmd->add_option("BOOK", *path, "the phone book file to create (must not exist)")->required();
  cmd->footer("Refuses to replace an existing file.");
  cmd->callback([action, path] {
    *action = [path] {
      Book book(*path, Book::Mode::kCreate);
      book.Save();
      std::cout << "created " << *path << "\n";
      return kExitOk;
    };
  });
}

void AddInfoCommand(CLI::App* app, Action* action) {
  auto path = std::make_shared<std::string>();
  CLI::App* cmd = app->add_subcommand("info", "Show the version, counts and size of a phone book.");
  cmd->add_option("BOOK", *path, "the phone book file")->required();
  cmd->callback([action, path] {
    *action = [path] {
      Book book(*path, Book::Mode::kOpen);
      std::printf("phone book   %s\n", path->c_str());
      std::printf("version      %d\n", book.version());
      std::printf("entries      %u of 9999\n", book.personal_count());
      std::printf("groups       %u of 5000\n", book.group_count());
      std::printf("file size    %lld bytes\n", static_cast<long long>(FileSize(*path)));
      std::vector<std::string> names = ReadFavouriteNames(book);
      for (int k = 0; k < kFavouriteCount; ++k) {
        std::printf("favourite %d  %s\n", k + 1, names[k].empty() ? "-" : names[k].c_str());
      }
      return kExitOk;
    };
  });
}

}  // namespace tool
}  // namespace telbook
