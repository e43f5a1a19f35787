// `telbook group`: a new group, or a change to one: its name, reading and favourite category, its
// whole member list, or members added and removed with the rest kept.
#include <algorithm>
#include <cstdio>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "tools/book.h"
#include "tools/commands.h"
#include "tools/number_list.h"
#include "tools/records.h"
#include "tools/text.h"
#include "tools/tool_error.h"

namespace telbook {
namespace tool {
namespace {

struct GroupOptions {
  std::string path;
  std::string number;
  std::string number_option;
  std::string name;
  std::string furigana;
  int favourite = 0;
  std::string members;
  std::string add;
  std::string remove;
  double wait = kDefaultWaitSeconds;
  // Which of the fields were given.
  bool has_name = false;
  bool has_furigana = false;
  bool has_favourite = false;
  bool has_members = false;
};

// The checked request, ready before the book is opened.
struct GroupRequest {
  int number = 0;  // 0: a new group under the lowest free number
  std::string name;
  std::string furigana;
  std::vector<int> members;
  std::vector<int> add;
  std::vector<int> remove;
};

int GroupNumber(const GroupOptions& o) {
  if (!o.number.empty() && !o.number_option.empty() && o.number != o.number_option) {
    throw ToolError(kExitUsage, "", "NUMBER and --number name different groups; give one");
  }
  const std::string& text = o.number.empty() ? o.number_option : o.number;
  if (text.empty()) return 0;
  long n = ParseNumber(text, "the group's number");
  if (n >= kFirstPersonal && n <= kLastPersonal) {
    throw ToolError(kExitUsage, "",
                    "group takes groups (16385 to 21384); " + std::to_string(n) +
                        " is an entry's number: change entries with `telbook edit`");
  }
  if (n > kLastNewGroup && n <= kLastGroup) {
    throw ToolError(kExitUsage, "",
                    "group " + std::to_string(n) +
                        " can only be read: groups are written as 16385 to 21384, and a save "
                        "keeps no others (`telbook move` gives it such a number)");
  }
  if (n < kFirstGroup || n > kLastGroup) {
    throw ToolError(kExitUsage, "",
                    "the group's number must be 16385 to 21384, not " + std::to_string(n));
  }
  return static_cast<int>(n);
}

std::vector<int> MemberList(const std::string& text, const char* what) {
  std::vector<int> numbers = ParseNumberList(text, what, NumberKind::kEntry);
  int twice = FirstRepeated(numbers);
  if (twice != 0) {
    throw ToolError(kExitUsage, "",
                    std::string(what) + ": entry " + std::to_string(twice) +
                        " is given twice; a group lists each member once");
  }
  return numbers;
}

GroupRequest Check(const GroupOptions& o) {
  GroupRequest r;
  r.number = GroupNumber(o);
  if (o.has_members && (!o.add.empty() || !o.remove.empty())) {
    throw ToolError(kExitUsage, "",
                    "--members gives the whole list; to change some members, use --add and "
                    "--remove without it");
  }
  r.members = MemberList(o.members, "--members");
  r.add = MemberList(o.add, "--add");
  r.remove = MemberList(o.remove, "--remove");
  for (int n : r.add) {
    if (std::find(r.remove.begin(), r.remove.end(), n) != r.remove.end()) {
      throw ToolError(kExitUsage, "",
                      "entry " + std::to_string(n) + " is both in --add and in --remove");
    }
  }
  if (r.number == 0 && !o.has_name) throw ToolError(kExitUsage, "", "a new group needs --name");
  if (r.number == 0 && !r.remove.empty()) {
    throw ToolError(kExitUsage, "", "--remove needs the number of the group to change");
  }
  // Text errors before the book is touched.
  TL_Group probe{};
  r.name = ToBook(o.name, "--name", sizeof(probe.Name));
  r.furigana = ToBook(o.furigana, "--furigana", sizeof(probe.Furigana));
  return r;
}

void RequireEntries(const Book& book, const std::vector<int>& numbers, const char* what) {
  std::vector<int> missing;
  for (int n : numbers) {
    if (!book.Exists(n)) missing.push_back(n);
  }
  if (!missing.empty()) {
    throw ToolError(kExitUsage, book.path(),
                    std::string(what) + ": there is no entry " + NumberWords(missing));
  }
}

std::vector<unsigned short> Numbers(const std::vector<int>& numbers) {
  return std::vector<unsigned short>(numbers.begin(), numbers.end());
}

// Applies the request to the open book. Returns whether anything changed; *number gets the
// group's number and *notes what was asked but already so.
bool Apply(Book& book, const GroupOptions& o, const GroupRequest& r, int* number,
           std::vector<std::string>* notes) {
  notes->clear();
  *number = r.number;
  const bool exists = r.number != 0 && book.Exists(r.number);
  if (!exists) {
    if (!r.remove.empty()) {
      throw ToolError(kExitUsage, book.path(), "no group " + std::to_string(r.number));
    }
    if (!o.has_name) {
      throw ToolError(
          kExitUsage, book.path(),
          "no group " + std::to_string(r.number) + " to change; a new one needs --name");
    }
    std::vector<int> members = o.has_members ? r.members : r.add;
    RequireEntries(book, members, o.has_members ? "--members" : "--add");
    TL_Group group{};
    SetField(group.Name, r.name);
    SetField(group.Furigana, r.furigana);
    group.Favourite = static_cast<uint8_t>(o.favourite);
    *number = WriteGroup(book, group, Numbers(members), r.number);
    return true;
  }

  GroupRecord old = ReadGroup(book, r.number);
  std::vector<int> members;
  for (const TL_ListItem& m : old.members) members.push_back(m.RecordNumber);
  TL_Group group = old.group;
  if (o.has_name) SetField(group.Name, r.name);
  if (o.has_furigana) SetField(group.Furigana, r.furigana);
  if (o.has_favourite) group.Favourite = static_cast<uint8_t>(o.favourite);
  bool changed = o.has_name || o.has_furigana || o.has_favourite;
  if (o.has_members) {
    RequireEntries(book, r.members, "--members");
    changed = changed || members != r.members;
    members = r.members;
  } else {
    for (int n : r.remove) {
      auto end = std::remove(members.begin(), members.end(), n);
      if (end == members.end()) {
        notes->push_back("entry " + std::to_string(n) + " is not a member");
        continue;
      }
      members.erase(end, members.end());
      changed = true;
    }
    std::vector<int> added;
    for (int n : r.add) {
      if (std::find(members.begin(), members.end(), n) != members.end()) {
        notes->push_back("entry " + std::to_string(n) + " is a member already");
      } else {
        added.push_back(n);
      }
    }
    RequireEntries(book, added, "--add");
    members.insert(members.end(), added.begin(), added.end());
    changed = changed || !added.empty();
  }
  if (!changed) return false;
  // A member the group lists but no entry has would be lost by the write.
  if (!o.has_members) {
    RequireWholeGroup(book, old, "a change",
                      "give the whole list with --members, or see `telbook check`");
  }
  WriteGroup(book, group, Numbers(members), r.number);
  return true;
}

}  // namespace

void AddGroupCommand(CLI::App* app, Action* action) {
  auto o = std::make_shared<GroupOptions>();
  CLI::App* cmd = app->add_subcommand(
      "group", "Add a group, or change one: its name, reading, favourite or members.");
  cmd->add_option("BOOK", o->path, "the phone book file")->required();
  cmd->add_option("NUMBER", o->number,
                  "the group to change (16385 to 21384); without it a new group is added");
  cmd->add_option("--number", o->number_option, "the same as NUMBER");
  auto* name = cmd->add_option("--name", o->name, "name of the group (at most 40 bytes)");
  auto* furigana =
      cmd->add_option("--furigana", o->furigana, "reading of the name (at most 80 bytes)");
  auto* favourite =
      cmd->add_option("--favourite", o->favourite, "favourite category 1 to 5, 0 for none")
          ->check(CLI::Range(0, 5));
  auto* members = cmd->add_option("--members", o->members,
                                  "the whole member list, e.g. 1,5,9-12 (replaces the old one)");
  cmd->add_option("--add", o->add, "entries to add to the members, e.g. 7,20-22");
  cmd->add_option("--remove", o->remove, "entries to take out of the members");
  AddWaitOption(cmd, &o->wait);
  cmd->footer(
      "Fields not given keep their values. Members must be entries of the phone book, each\n"
      "given once; an entry added that is a member already, or removed that is not one, is\n"
      "noted and changes nothing. The group is saved at once; on any error the phone book is\n"
      "left as it was. Prints the group's number.");
  cmd->callback([action, o, name, furigana, favourite, members] {
    o->has_name = name->count() > 0;
    o->has_furigana = furigana->count() > 0;
    o->has_favourite = favourite->count() > 0;
    o->has_members = members->count() > 0;
    *action = [o] {
      GroupRequest request = Check(*o);
      int number = 0;
      std::vector<std::string> notes;
      ChangeBook(o->path, o->wait, /*repeatable=*/true,
                 [&](Book& book) { return Apply(book, *o, request, &number, &notes); });
      for (const std::string& note : notes) {
        std::cerr << "telbook: " << o->path << ": group " << number << ": " << note << "\n";
      }
      std::printf("%d\n", number);
      return kExitOk;
    };
  });
}

}  // namespace tool
}  // namespace telbook
