// `telbook delete` and `telbook move`: records taken out of a phone book, and an entry or group
// given another number, with the groups that list an entry kept right through the library.
#include <algorithm>
#include <cstdio>
#include <map>
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

// "entry 5 山田 太郎", "group 16385 営業部".
std::string Record(int number, const std::string& name) {
  std::string what = (IsGroupNumber(number) ? "group " : "entry ") + std::to_string(number);
  return name.empty() ? what : what + " " + name;
}

// Every group of the book (those in `skip` left out) with its members that can be read.
std::vector<GroupRecord> Groups(const Book& book, const std::vector<int>& skip = {}) {
  std::vector<GroupRecord> groups;
  for (const TL_ListItem& item : AllRecords(book)) {
    if (item.Kind != 2) continue;
    if (std::find(skip.begin(), skip.end(), item.RecordNumber) != skip.end()) continue;
    groups.push_back(ReadGroup(book, item.RecordNumber));
  }
  return groups;
}

bool Lists(const GroupRecord& g, int entry) {
  for (const TL_ListItem& m : g.members) {
    if (m.RecordNumber == entry) return true;
  }
  return false;
}

std::string GroupList(const std::vector<const GroupRecord*>& groups) {
  std::string out;
  for (size_t i = 0; i < groups.size(); ++i) {
    if (i > 0) out += i + 1 == groups.size() ? " and " : ", ";
    out += std::to_string(groups[i]->number) + " " + FromField(groups[i]->group.Name);
  }
  return out;
}

struct DeleteReport {
  std::vector<std::string> lines;
  size_t entries = 0;
  size_t groups = 0;
};

bool Delete(Book& book, const std::vector<int>& numbers, bool dry_run, DeleteReport* report) {
  *report = DeleteReport();
  const char* verb = dry_run ? "would delete " : "deleted ";
  std::map<int, std::string> names;
  for (const TL_ListItem& item : AllRecords(book)) names[item.RecordNumber] = FromField(item.Name);
  std::vector<int> entries;
  std::vector<int> groups;
  for (int n : numbers) {
    if (!book.Exists(n)) {
      report->lines.push_back((IsGroupNumber(n) ? "group " : "entry ") + std::to_string(n) +
                              ": not in the phone book, nothing to delete");
    } else {
      (IsGroupNumber(n) ? groups : entries).push_back(n);
    }
  }
  // Groups go first, so that a group deleted with its members is not rewritten for them.
  for (int g : groups) {
    if (!dry_run && TL_deleteGroup(book.session(), static_cast<unsigned short>(g)) != 0) {
      book.Fail("cannot delete group " + std::to_string(g));
    }
    report->lines.push_back(verb + Record(g, names[g]));
    ++report->groups;
  }
  std::vector<GroupRecord> kept =
      entries.empty() ? std::vector<GroupRecord>() : Groups(book, groups);
  for (int e : entries) {
    std::vector<const GroupRecord*> losing;
    for (const GroupRecord& g : kept) {
      if (Lists(g, e)) losing.push_back(&g);
    }
    if (!dry_run && TL_deleteKojin(book.session(), static_cast<unsigned short>(e)) != 0) {
      book.Fail("cannot delete entry " + std::to_string(e));
    }
    std::string line = verb + Record(e, names[e]);
    if (!losing.empty()) {
      line += std::string("; ") + (losing.size() == 1 ? "group " : "groups ") + GroupList(losing) +
              (dry_run ? " would lose it" : " lost it");
    }
    report->lines.push_back(line);
    ++report->entries;
  }
  return !dry_run && report->entries + report->groups > 0;
}

struct MoveReport {
  std::string what;
  std::vector<std::string> groups;  // the groups that list the entry under its new number
};

void Move(Book& book, int from, int to, MoveReport* report) {
  *report = MoveReport();
  const bool group = IsGroupNumber(from);
  const char* kind = group ? "group " : "entry ";
  if (!book.Exists(from)) {
    throw ToolError(kExitUsage, book.path(), std::string("no ") + kind + std::to_string(from));
  }
  if (book.Exists(to)) {
    throw ToolError(
        kExitUsage, book.path(),
        std::string(kind) + std::to_string(to) + " exists already; move gives a free number");
  }
  if (group) {
    GroupRecord g = ReadGroup(book, from);
    RequireWholeGroup(book, g, "a move");
    std::vector<unsigned short> members;
    for (const TL_ListItem& m : g.members) members.push_back(m.RecordNumber);
    WriteGroup(book, g.group, members, to);
    if (TL_deleteGroup(book.session(), static_cast<unsigned short>(from)) != 0) {
      book.Fail("cannot delete group " + std::to_string(from));
    }
    report->what = "group " + std::to_string(from) + " " + FromField(g.group.Name);
    return;
  }
  TL_Kojin entry = ReadEntry(book, from);
  // Every group that lists the entry names the new number in the same place before the old
  // number goes.
  std::vector<GroupRecord> holding;
  for (GroupRecord& g : Groups(book)) {
    if (!Lists(g, from)) continue;
    RequireWholeGroup(book, g, "giving it the new number");
    holding.push_back(std::move(g));
  }
  entry.AltDestFlag = 0;
  WriteEntry(book, entry, to);
  for (const GroupRecord& g : holding) {
    std::vector<unsigned short> members;
    for (const TL_ListItem& m : g.members) {
      members.push_back(m.RecordNumber == from ? static_cast<unsigned short>(to) : m.RecordNumber);
    }
    WriteGroup(book, g.group, members, g.number);
    report->groups.push_back(std::to_string(g.number) + " " + FromField(g.group.Name));
  }
  if (TL_deleteKojin(book.session(), static_cast<unsigned short>(from)) != 0) {
    book.Fail("cannot delete entry " + std::to_string(from));
  }
  report->what = "entry " + std::to_string(from) + " " + FromField(entry.Name);
}

}  // namespace

void AddDeleteCommand(CLI::App* app, Action* action) {
  struct Options {
    std::string path;
    std::string list;
    bool dry_run = false;
    double wait = kDefaultWaitSeconds;
  };
  auto o = std::make_shared<Options>();
  CLI::App* cmd = app->add_subcommand("delete", "Delete entries and groups.");
  cmd->add_option("BOOK", o->path, "the phone book file")->required();
  cmd->add_option("LIST", o->list, "record numbers and ranges, e.g. 1,5,9-12,16385")->required();
  cmd->add_flag("--dry-run", o->dry_run, "print what would be deleted and write nothing");
  AddWaitOption(cmd, &o->wait);
  cmd->footer(
      "A deleted entry leaves every group that lists it, so that an entry added later under\n"
      "its number joins none of them. A number that no record has is noted and passed over.\n"
      "The deletes are saved at once, all or none; on any error the phone book is left as it\n"
      "was.");
  cmd->callback([action, o] {
    *action = [o] {
      std::vector<int> numbers = WithoutRepeats(ParseNumberList(o->list, "LIST", NumberKind::kAny));
      if (numbers.empty()) throw ToolError(kExitUsage, "", "LIST names no record");
      DeleteReport report;
      if (o->dry_run) {
        Book book(o->path, Book::Mode::kOpen);  // a read-only book may be looked at
        Delete(book, numbers, true, &report);
      } else {
        ChangeBook(o->path, o->wait, /*repeatable=*/true,
                   [&](Book& book) { return Delete(book, numbers, false, &report); });
      }
      for (const std::string& line : report.lines) std::printf("%s\n", line.c_str());
      std::string counts = Counted(report.entries, "entry", "entries") + " and " +
                           Counted(report.groups, "group", "groups");
      if (o->dry_run) {
        std::printf("would delete %s from %s; nothing was written (--dry-run)\n", counts.c_str(),
                    o->path.c_str());
      } else if (report.entries + report.groups == 0) {
        std::printf("nothing deleted; %s is as it was\n", o->path.c_str());
      } else {
        std::printf("deleted %s from %s\n", counts.c_str(), o->path.c_str());
      }
      return kExitOk;
    };
  });
}

void AddMoveCommand(CLI::App* app, Action* action) {
  struct Options {
    std::string path;
    std::string from;
    std::string to;
    double wait = kDefaultWaitSeconds;
  };
  auto o = std::make_shared<Options>();
  CLI::App* cmd =
      app->add_subcommand("move", "Give an entry or a group another, free record number.");
  cmd->add_option("BOOK", o->path, "the phone book file")->required();
  cmd->add_option("FROM", o->from, "the record's number now")->required();
  cmd->add_option("TO", o->to, "a free number of the same kind (groups: 16385 to 21384)")
      ->required();
  AddWaitOption(cmd, &o->wait);
  cmd->footer(
      "The groups that list a moved entry list its new number in the same place. Saved at\n"
      "once; on any error the phone book is left as it was.");
  cmd->callback([action, o] {
    *action = [o] {
      long from = ParseNumber(o->from, "FROM");
      long to = ParseNumber(o->to, "TO");
      bool entries = IsPersonalNumber(from) && IsPersonalNumber(to);
      bool groups = IsGroupNumber(from) && to >= kFirstGroup && to <= kLastNewGroup;
      if (!entries && !groups) {
        throw ToolError(kExitUsage, "",
                        "FROM and TO must both be entries' numbers (1 to 9999), or a group's "
                        "number and a free one of 16385 to 21384");
      }
      if (from == to) throw ToolError(kExitUsage, "", "FROM and TO are the same number");
      MoveReport report;
      ChangeBook(o->path, o->wait, /*repeatable=*/true, [&](Book& book) {
        Move(book, static_cast<int>(from), static_cast<int>(to), &report);
        return true;
      });
      std::printf("moved %s to %ld\n", report.what.c_str(), to);
      for (const std::string& g : report.groups) {
        std::printf("group %s lists it as %ld now\n", g.c_str(), to);
      }
      return kExitOk;
    };
  });
}

}  // namespace tool
}  // namespace telbook
