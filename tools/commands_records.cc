// `telbook list`, `show`, `add` and `edit`: reading entries and changing them. Every
// change goes through ChangeBook and is saved before the command succeeds; on any error the phone
// book stays as it was.
#include <algorithm>
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
#include "tools/number_list.h"
#include "tools/reading_order.h"
#include "tools/records.h"
#include "tools/text.h"
#include "tools/tool_error.h"

namespace telbook {
namespace tool {
namespace {

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

// Orders a list by "reading" or "name" (the Japanese dictionary order: hiragana, katakana and
// half-width forms of one sound together), the other text breaking ties, then the number; entries
// stay before groups, and records without the text come last. "number" keeps the library's order.
void Sort(std::vector<TL_ListItem>* items, const std::string& by) {
  if (by == "number") return;
  ReadingOrder order;
  struct Keyed {
    bool group;
    bool missing;  // no text to order by
    std::string first;
    std::string second;
    TL_ListItem item;
  };
  std::vector<Keyed> keyed;
  for (const TL_ListItem& item : *items) {
    std::string reading = FromField(item.Furigana);
    std::string name = FromField(item.Name);
    bool by_reading = by == "reading";
    const std::string& first = by_reading ? reading : name;
    keyed.push_back({item.Kind == 2, first.empty(), order.Key(first),
                     order.Key(by_reading ? name : reading), item});
  }
  std::sort(keyed.begin(), keyed.end(), [](const Keyed& a, const Keyed& b) {
    if (a.group != b.group) return b.group;
    if (a.missing != b.missing) return b.missing;
    if (a.first != b.first) return a.first < b.first;
    if (a.second != b.second) return a.second < b.second;
    return a.item.RecordNumber < b.item.RecordNumber;
  });
  items->clear();
  for (const Keyed& k : keyed) items->push_back(k.item);
}

}  // namespace

void AddStrictFlag(CLI::App* cmd, bool* strict) {
  cmd->add_flag("--strict", *strict,
                "stop at the first record that cannot be read (exit status 3) instead of "
                "reporting it and going on (exit status 7)");
}

void AddListCommand(CLI::App* app, Action* action) {
  struct Options {
    std::string path;
    std::string tab;
    int favourite = 0;
    std::string sort = "number";
    bool json = false;
    bool strict = false;
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
  cmd->add_option("--sort", o->sort,
                  "number (the default: entries, then groups, by number), reading (Japanese "
                  "dictionary order of the readings) or name")
      ->check(CLI::IsMember({"number", "reading", "name"}));
  cmd->add_flag("--json", o->json, "print JSON instead of a table");
  AddStrictFlag(cmd, &o->strict);
  cmd->callback([action, o] {
    *action = [o] {
      Book book(o->path, Book::Mode::kOpen);
      book.set_strict(o->strict);
      std::vector<TL_ListItem> items;
      if (!o->tab.empty()) {
        items = TabRecords(book, ParseTabCode(o->tab));
      } else if (o->favourite != 0) {
        items = TabRecords(book, o->favourite << 4);
      } else {
        items = AllRecords(book);
      }
      Sort(&items, o->sort);
      if (o->json) {
        nlohmann::json j = nlohmann::json::array();
        for (const TL_ListItem& item : items) j.push_back(ListItemJson(item));
        std::cout << j.dump(2) << "\n";
      } else {
        PrintListTable(items);
      }
      return book.Finish(kExitOk);
    };
  });
}

void AddShowCommand(CLI::App* app, Action* action) {
  struct Options {
    std::string path;
    std::string number;
    bool json = false;
    bool strict = false;
  };
  auto o = std::make_shared<Options>();
  CLI::App* cmd = app->add_subcommand("show", "Show one entry or group in full.");
  cmd->add_option("BOOK", o->path, "the phone book file")->required();
  cmd->add_option("NUMBER", o->number, "record number: 1 to 9999 an entry, 16385 up a group")
      ->required();
  cmd->add_flag("--json", o->json, "print JSON");
  AddStrictFlag(cmd, &o->strict);
  cmd->callback([action, o] {
    *action = [o] {
      long number = ParseNumber(o->number, "NUMBER");
      Book book(o->path, Book::Mode::kOpen);
      book.set_strict(o->strict);
      std::vector<std::string> favourites = ReadFavouriteNames(book);
      if (IsGroupNumber(number)) {
        GroupRecord g = ReadGroup(book, number);
        // A member naming a free slot is counted in the group; one whose record cannot be read
        // is skipped.
        for (const auto& [member, reason] : g.unreadable_members) {
          if (book.Exists(member)) {
            book.Skip(RecordName(number) + ": member " + std::to_string(member), reason);
          }
        }
        if (o->json) {
          std::cout << GroupJson(g).dump(2) << "\n";
        } else {
          PrintGroup(g, favourites);
        }
        return book.Finish(kExitOk);
      }
      TL_Kojin entry = ReadEntry(book, number);
      if (o->json) {
        std::cout << EntryJson(static_cast<int>(number), entry).dump(2) << "\n";
      } else {
        PrintEntry(static_cast<int>(number), entry, favourites);
      }
      return book.Finish(kExitOk);
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
      ChangeBook(o->path, o->wait, /*repeatable=*/true, [&](Book& book) {
        number = WriteEntry(book, entry, 0);
        return true;
      });
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
      if (IsGroupNumber(number)) {
        throw ToolError(kExitUsage, "",
                        "edit takes entries (1 to 9999); " + std::to_string(number) +
                            " is a group's number: change groups with `telbook group BOOK " +
                            std::to_string(number) + " ...`");
      }
      TL_Kojin fields{};
      ApplyEntryOptions(o->entry, &fields);  // text errors before the book is touched
      ChangeBook(o->path, o->wait, /*repeatable=*/true, [&](Book& book) {
        TL_Kojin entry = ReadEntry(book, number);
        ApplyEntryOptions(o->entry, &entry);
        entry.AltDestFlag = 0;
        WriteEntry(book, entry, static_cast<int>(number));
        return true;
      });
      std::printf("%ld\n", number);
      return kExitOk;
    };
  });
}

}  // namespace tool
}  // namespace telbook
