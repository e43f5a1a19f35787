// `telbook create` and `telbook info`: a new empty phone book, and what a phone book holds,
// with the space a save would give back.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include "records/record_converter.h"
#include "store/format.h"
#include "tools/book.h"
#include "tools/commands.h"
#include "tools/favourites.h"
#include "tools/records.h"
#include "tools/tool_error.h"

namespace telbook {
namespace tool {
namespace {

// The entry as the save's repair of texts leaves it, for its length in the saved file.
TL_Kojin AsSaved(TL_Kojin e) {
  RecordConverter::RepairKojin(&e);
  return e;
}

struct SavedSize {
  int64_t bytes = format::kFixedPartSize;
  int alternate = 0;  // entries with an alternate destination in force, which no save writes
};

// What a save would write: every entry, and every group of slots 1 to 5000, re-encoded.
SavedSize SizeAfterSave(const Book& book) {
  SavedSize size;
  for (const TL_ListItem& item : AllRecords(book)) {
    if (item.Kind == 2) {
      if (item.RecordNumber > kLastNewGroup) continue;  // not carried into a saved file
      TL_Group group{};
      TL_FaxUtl* s = book.session();
      if (TL_openGroup(s, item.RecordNumber) != 0 || TL_readGroupData(s, &group) != 0) {
        TL_closeGroup(s);
        book.Fail("cannot read group " + std::to_string(item.RecordNumber));
      }
      TL_closeGroup(s);
      RecordConverter::RepairGroup(&group);
      size.bytes += static_cast<int64_t>(EncodedLength(group, group.MemberCount));
    } else {
      if (item.Kind == 3) ++size.alternate;
      size.bytes +=
          static_cast<int64_t>(EncodedLength(AsSaved(ReadEntry(book, item.RecordNumber))));
    }
  }
  return size;
}

}  // namespace

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
  struct Options {
    std::string path;
    bool json = false;
  };
  auto o = std::make_shared<Options>();
  CLI::App* cmd = app->add_subcommand("info", "Show the version, counts and size of a phone book.");
  cmd->add_option("BOOK", o->path, "the phone book file")->required();
  cmd->add_flag("--json", o->json, "print JSON");
  cmd->callback([action, o] {
    *action = [o] {
      const std::string* path = &o->path;
      Book book(*path, Book::Mode::kOpen);
      if (o->json) {
        SavedSize saved = SizeAfterSave(book);
        int64_t file_size = FileSize(*path);
        nlohmann::json j;
        j["file"] = *path;
        j["version"] = book.version();
        j["entries"] = book.personal_count();
        j["groups"] = book.group_count();
        j["file-size"] = file_size;
        if (saved.alternate > 0) {
          j["saved-size"] = nullptr;
          j["reclaimable"] = nullptr;
          j["alternate-destinations"] = saved.alternate;
        } else {
          j["saved-size"] = saved.bytes;
          j["reclaimable"] = saved.bytes <= file_size ? file_size - saved.bytes : 0;
        }
        nlohmann::json favourites = nlohmann::json::array();
        for (const std::string& name : ReadFavouriteNames(book)) favourites.push_back(name);
        j["favourites"] = favourites;
        std::cout << j.dump(2) << "\n";
        return kExitOk;
      }
      std::printf("phone book   %s\n", path->c_str());
      std::printf("version      %d\n", book.version());
      std::printf("entries      %u of 9999\n", book.personal_count());
      std::printf("groups       %u of 5000\n", book.group_count());
      int64_t file_size = FileSize(*path);
      std::printf("file size    %lld bytes\n", static_cast<long long>(file_size));
      SavedSize saved = SizeAfterSave(book);
      if (saved.alternate > 0) {
        std::printf(
            "reclaimable  - (%d entries hold an alternate destination, which a save "
            "refuses)\n",
            saved.alternate);
      } else if (saved.bytes <= file_size) {
        std::printf("reclaimable  %lld bytes (a save would write %lld)\n",
                    static_cast<long long>(file_size - saved.bytes),
                    static_cast<long long>(saved.bytes));
      } else {
        std::printf("reclaimable  0 bytes (a save would write the version-2 layout, %lld bytes)\n",
                    static_cast<long long>(saved.bytes));
      }
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
