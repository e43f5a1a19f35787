// `telbook list`, `show`, `add`, `edit` and `group`: reading records and changing them. Every
// change is saved before the command succeeds; on any error the phone book stays as it was.
#include <cstdio>
#include <iostream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include "tools/book.h"
#include "tools/commands.h"
#include "tools/display.h"
#include "tools/favourites.h"
#include "tools/records.h"
#include "tools/text.h"
#include "tools/tool_error.h"

namespace telbook {
namespace tool {
namespace {

long ParseNumber(const std::string& text, const std::string& what) {
  size_t used = 0;
  long value = -1;
  try {
    value = std::stol(text, &used, 10);
  } catch (const std::exception&) {
    used = 0;
  }
  if (used == 0 || used != text.size()) {
    throw ToolError(kExitUsage, "", what + " must be a number, not \"" + text + "\"");
  }
  return value;
}

std::vector<unsigned short> ParseMembers(const Book& book, const std::string& list) {
  std::vector<unsigned short> members;
  std::stringstream in(list);
  std::string item;
  while (std::getline(in, item, ',')) {
    if (item.empty()) continue;
    long n = ParseNumber(item, "--members");
    if (!IsPersonalNumber(n)) {
      throw ToolError(kExitUsage, "", "--members: " + item + " is no entry's number (1 to 9999)");
    }
    TL_Kojin probe{};
    if (TL_readKojin(book.session(), &probe, static_cast<unsigned short>(n)) != 0) {
      throw ToolError(kExitUsage, book.path(), "--members: there is no entry " + item);
    }
    members.push_back(static_cast<unsigned short>(n));
  }
  return members;
}

// The options of every field of an entry, shared by add and edit.
struct EntryOptions {
  std::map<std::string, std::string> texts;
  std::string line_type;
  int favourite = -1;
  int comm_mode = -1;
  int relay_output = -1;
};

void AddEntryOptions(CLI::App* cmd, EntryOptions* o) {
  for (const TextField& f : EntryTextFields()) {
    std::string help = std::string(f.label) + " (at most " + std::to_string(f.capacity - 1) +
                       " bytes in code page 932)";
    cmd->add_option_function<std::string>(
        std::string("--") + f.key,
        [o, key = std::string(f.key)](const std::string& v) { o->texts[key] = v; }, help);
  }
  cmd->add_option("--line-type", o->line_type, "outside (default), internal or none");
  cmd->add_option("--favourite", o->favourite, "favourite category 1 to 5, 0 for none")
      ->check(CLI::Range(0, 5));
  cmd->add_option("--comm-mode", o->comm_mode, "communication mode code 0 to 255")
      ->check(CLI::Range(0, 255));
  cmd->add_option("--relay-output", o->relay_output, "output at the relay station, 0 to 255")
      ->check(CLI::Range(0, 255));
}

void ApplyEntryOptions(const EntryOptions& o, TL_Kojin* entry) {
  for (const auto& [key, value] : o.texts) SetText(entry, *FindTextField(key), value);
  if (!o.line_type.empty()) entry->LineType = ParseLineType(o.line_type);
  if (o.favourite >= 0) entry->Favourite = static_cast<uint8_t>(o.favourite);
  if (o.comm_mode >= 0) entry->CommMode = static_cast<uint8_t>(o.comm_mode);
  if (o.relay_output >= 0) entry->RelayOutput = static_cast<uint8_t>(o.relay_output);
}

}  // namespace

void AddListCommand(CLI::App* app, Action* action) {
  struct Options {
    std::string path;
    std::string tab;
    int favourite = 0;
    bool json = false;
  };
  auto o = std::make_shared<Options>();
  CLI::App* cmd = app->add_subcommand("list", "List the entries and groups of a phone book.");
  cmd->add_option("BOOK", o->path, "the phone book file")->required();
  auto* tab = cmd->add_option("--tab", o->tab,
                              "only one index tab: a row (あ か さ た な は ま や ら わ), "
                              "\"other\", or a tab code such as 0x02");
  cmd->add_option("--favourite", o->favourite, "only favourite category 1 to 5")
      ->check(CLI::Range(1, 5))
      ->excludes(tab);
  cmd->add_flag("--json", o->json, "print JSON instead of a table");
  cmd->callback([action, o] {
    *action = [o] {
      Book book(o->path, Book::Mode::kOpen);
      std::vector<TL_ListItem> items;
      if (!o->tab.empty()) {
        items = TabRecords(book, ParseTabCode(o->tab));
      } else if (o->favourite != 0) {
        items = TabRecords(book, o->favourite << 4);
      } else {
        items = AllRecords(book);
      }
      if (o->json) {
        nlohmann::json j = nlohmann::json::array();
        for (const TL_ListItem& item : items) j.push_back(ListItemJson(item));
        std::cout << j.dump(2) << "\n";
      } else {
        PrintListTable(items);
      }
      return kExitOk;
    };
  });
}

void AddShowCommand(CLI::App* app, Action* action) {
  struct Options {
    std::string path;
    std::string number;
    bool json = false;
  };
  auto o = std::make_shared<Options>();
  CLI::App* cmd = app->add_subcommand("show", "Show one entry or group in full.");
  cmd->add_option("BOOK", o->path, "the phone book file")->required();
  cmd->add_option("NUMBER", o->number, "record number: 1 to 9999 an entry, 16385 up a group")
      ->required();
  cmd->add_flag("--json", o->json, "print JSON");
  cmd->callback([action, o] {
    *action = [o] {
      long number = ParseNumber(o->number, "NUMBER");
      Book book(o->path, Book::Mode::kOpen);
      std::vector<std::string> favourites = ReadFavouriteNames(book);
      if (IsGroupNumber(number)) {
        GroupRecord g = ReadGroup(book, number);
        if (o->json) {
          std::cout << GroupJson(g).dump(2) << "\n";
        } else {
          PrintGroup(g, favourites);
        }
        return kExitOk;
      }
      TL_Kojin entry = ReadEntry(book, number);
      if (o->json) {
        std::cout << EntryJson(static_cast<int>(number), entry).dump(2) << "\n";
      } else {
        PrintEntry(static_cast<int>(number), entry, favourites);
      }
      return kExitOk;
    };
  });
}

void AddAddCommand(CLI::App* app, Action* action) {
  struct Options {
    std::string path;
    EntryOptions entry;
    double wait = kDefaultWaitSeconds;
  };
  auto o = std::make_shared<Options>();
  CLI::App* cmd = app->add_subcommand("add", "Add a personal entry; prints its record number.");
  cmd->add_option("BOOK", o->path, "the phone book file")->required();
  AddEntryOptions(cmd, &o->entry);
  AddWaitOption(cmd, &o->wait);
  cmd->footer("The entry is saved at once; on any error the phone book is left as it was.");
  cmd->callback([action, o] {
    *action = [o] {
      if (o->entry.texts.count("name") == 0) {
        throw ToolError(kExitUsage, "", "add needs at least --name");
      }
      TL_Kojin entry{};
      ApplyEntryOptions(o->entry, &entry);  // text errors before the book is touched
      int number = 0;
      ChangeBook(o->path, o->wait, /*repeatable=*/true,
                 [&](Book& book) { number = WriteEntry(book, entry, 0); });
      std::printf("%d\n", number);
      return kExitOk;
    };
  });
}

void AddEditCommand(CLI::App* app, Action* action) {
  struct Options {
    std::string path;
    std::string number;
    EntryOptions entry;
    double wait = kDefaultWaitSeconds;
  };
  auto o = std::make_shared<Options>();
  CLI::App* cmd = app->add_subcommand("edit", "Change fields of a personal entry.");
  cmd->add_option("BOOK", o->path, "the phone book file")->required();
  cmd->add_option("NUMBER", o->number, "record number of the entry, 1 to 9999")->required();
  AddEntryOptions(cmd, &o->entry);
  AddWaitOption(cmd, &o->wait);
  cmd->footer(
      "Fields not named keep their values; an empty value clears a field.\n"
      "The change is saved at once; on any error the phone book is left as it was.");
  cmd->callback([action, o] {
    *action = [o] {
      long number = ParseNumber(o->number, "NUMBER");
      ChangeBook(o->path, o->wait, /*repeatable=*/true, [&](Book& book) {
        TL_Kojin entry = ReadEntry(book, number);
        ApplyEntryOptions(o->entry, &entry);
        entry.AltDestFlag = 0;
        WriteEntry(book, entry, static_cast<int>(number));
      });
      std::printf("%ld\n", number);
      return kExitOk;
    };
  });
}

void AddGroupCommand(CLI::App* app, Action* action) {
  struct Options {
    std::string path;
    std::string name;
    std::string furigana;
    std::string members;
    std::string number;
    int favourite = 0;
    double wait = kDefaultWaitSeconds;
  };
  auto o = std::make_shared<Options>();
  CLI::App* cmd = app->add_subcommand("group", "Add a group, or replace one with --number.");
  cmd->add_option("BOOK", o->path, "the phone book file")->required();
  cmd->add_option("--name", o->name, "name of the group (at most 40 bytes)")->required();
  cmd->add_option("--furigana", o->furigana, "reading of the name (at most 80 bytes)");
  cmd->add_option("--members", o->members, "record numbers of the members, e.g. 1,5,9");
  cmd->add_option("--number", o->number, "replace the group of this number (16385 to 21384)");
  cmd->add_option("--favourite", o->favourite, "favourite category 1 to 5, 0 for none")
      ->check(CLI::Range(0, 5));
  AddWaitOption(cmd, &o->wait);
  cmd->footer(
      "Every member must name an entry of the phone book. The group is saved at once;\n"
      "on any error the phone book is left as it was. Prints the group's number.");
  cmd->callback([action, o] {
    *action = [o] {
      TL_Group group{};
      SetField(group.Name, ToBook(o->name, "--name", sizeof(group.Name)));
      SetField(group.Furigana, ToBook(o->furigana, "--furigana", sizeof(group.Furigana)));
      group.Favourite = static_cast<uint8_t>(o->favourite);
      int number = 0;
      if (!o->number.empty()) {
        long n = ParseNumber(o->number, "--number");
        if (n < kFirstGroup || n > kLastNewGroup) {
          throw ToolError(kExitUsage, "", "--number must be a group's number, 16385 to 21384");
        }
        number = static_cast<int>(n);
      }
      int used = 0;
      ChangeBook(o->path, o->wait, /*repeatable=*/true, [&](Book& book) {
        std::vector<unsigned short> members = ParseMembers(book, o->members);
        used = WriteGroup(book, group, members, number);
      });
      std::printf("%d\n", used);
      return kExitOk;
    };
  });
}

}  // namespace tool
}  // namespace telbook
