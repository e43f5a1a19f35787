// `telbook demo [DIR]`: a phone book of realistic entries made in a fresh directory, then shown
// tab by tab, entry by entry, and exported, so that a new user sees what the library does.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <CLI/CLI.hpp>

#include "tools/book.h"
#include "tools/commands.h"
#include "tools/demo_data.h"
#include "tools/display.h"
#include "tools/favourites.h"
#include "tools/records.h"
#include "tools/system.h"
#include "tools/text.h"
#include "tools/tool_error.h"

namespace telbook {
namespace tool {
namespace {

// The files the demo makes in its directory.
constexpr const char* kDemoFiles[] = {"demo.tlb", "demo.csv", "subset.tlb"};

// A file of dir, joined with the separator dir is written with, so that paths print as given.
std::string InDirectory(const std::string& dir, const std::string& name) {
  bool backslash = dir.find('\\') != std::string::npos && dir.find('/') == std::string::npos;
  if (!dir.empty() && (dir.back() == '/' || dir.back() == '\\')) return dir + name;
  return dir + (backslash ? "\\" : "/") + name;
}

// The directory the demo works in: DIR (made when missing), else a fresh one in the temporary
// directory. The library's temporary files go there too, so nothing is left outside it. A DIR
// that holds a file of the demo's is refused before anything is written: the demo replaces
// nothing of the user's.
std::string DemoDirectory(const std::string& given) {
  if (given.empty()) return MakeUniqueDirectory("telbook-demo-");
  for (const char* name : kDemoFiles) {
    if (FileSize(InDirectory(given, name)) >= 0) {
      throw ToolError(kExitBook, given,
                      std::string("holds ") + name +
                          " already; the demo makes its files only where none of them is (give "
                          "another DIR, or none)");
    }
  }
  MakeDirectory(given);
  return given;
}

// Writes the sample entries, groups and favourite names into the open book.
void Fill(const Book& book) {
  for (int k = 0; k < 3; ++k) WriteFavouriteName(book, k + 1, kSampleFavourites[k]);
  std::vector<int> numbers;
  for (size_t i = 0; i < kSampleEntryCount; ++i) {
    const SampleEntry& e = kSampleEntries[i];
    TL_Kojin entry{};
    const std::pair<const char*, const char*> texts[] = {
        {"name", e.name}, {"furigana", e.furigana},    {"affiliation", e.affiliation},
        {"fax", e.fax},   {"phone", e.phone},          {"email", e.email},
        {"memo", e.memo}, {"speed-dial", e.speed_dial}};
    for (const auto& [key, value] : texts) SetText(&entry, *FindTextField(key), value);
    entry.Favourite = static_cast<uint8_t>(e.favourite);
    entry.LineType = static_cast<uint8_t>(e.line_type);
    numbers.push_back(WriteEntry(book, entry, 0));
  }
  for (size_t i = 0; i < kSampleGroupCount; ++i) {
    const SampleGroup& g = kSampleGroups[i];
    TL_Group group{};
    SetField(group.Name, ToBook(g.name, "group name", sizeof(group.Name)));
    SetField(group.Furigana, ToBook(g.furigana, "group reading", sizeof(group.Furigana)));
    group.Favourite = static_cast<uint8_t>(g.favourite);
    std::vector<unsigned short> members;
    for (int m : g.members) {
      if (m == 0) break;
      members.push_back(static_cast<unsigned short>(numbers[static_cast<size_t>(m - 1)]));
    }
    WriteGroup(book, group, members, 0);
  }
}

void ShowTabs(const Book& book, const std::vector<std::string>& favourites) {
  PrintHeading("Index tabs (reading rows, other initials, favourite categories)");
  std::vector<Tab> tabs = Tabs(favourites);
  std::string line;
  int column = 0;
  for (const Tab& tab : tabs) {
    char code[8];
    std::snprintf(code, sizeof(code), "0x%02X", tab.code);
    std::string cell =
        Fit(tab.label, 10) + " " + code + " " + Fit(std::to_string(TabCount(book, tab.code)), 3);
    line += "  " + cell;
    if (++column == 4 || &tab == &tabs.back()) {
      while (!line.empty() && line.back() == ' ') line.pop_back();
      std::printf("%s\n", line.c_str());
      line.clear();
      column = 0;
    }
  }
}

std::vector<unsigned short> AllNumbers(const Book& book, bool groups) {
  std::vector<unsigned short> numbers;
  for (const TL_ListItem& item : AllRecords(book)) {
    if ((item.Kind == 2) == groups) numbers.push_back(item.RecordNumber);
  }
  return numbers;
}

void Export(const Book& book, const std::string& dest, int format,
            const std::vector<unsigned short>& entries, const std::vector<unsigned short>& groups) {
  short empty_group = 0;
  if (TL_writeSrchData(book.session(), entries.data(), static_cast<int>(entries.size()),
                       groups.data(), static_cast<int>(groups.size()), format, dest.c_str(),
                       &empty_group) != 0) {
    book.Fail("cannot export to " + dest);
  }
}

int RunDemo(const std::string& given) {
  std::string dir = DemoDirectory(given);
  // The library's working copy and export files go below the demo's own directory.
  UseAsTemporaryDirectory(dir);
  std::string path = InDirectory(dir, kDemoFiles[0]);
  std::printf("telbook demo: a phone book of %zu entries and %zu groups in %s\n", kSampleEntryCount,
              kSampleGroupCount, dir.c_str());

  Book book(path, Book::Mode::kCreate);
  Fill(book);
  std::vector<std::string> favourites = ReadFavouriteNames(book);
  std::printf("Phone book %s: format version %d, %u entries, %u groups\n", path.c_str(),
              book.version(), book.personal_count(), book.group_count());

  ShowTabs(book, favourites);

  PrintHeading("Tab か (0x02): the records whose reading begins in the か row");
  PrintListTable(TabRecords(book, 0x02));

  PrintHeading("Tab 「" + favourites[0] + "」 (0x10): favourite category 1");
  PrintListTable(TabRecords(book, 0x10));

  PrintHeading("Entry 1 in full");
  PrintEntry(1, ReadEntry(book, 1), favourites);

  PrintHeading("Group 16386 with its members");
  PrintGroup(ReadGroup(book, 16386), favourites);

  book.Save();
  Book saved(path, Book::Mode::kOpen);
  std::string text = InDirectory(dir, kDemoFiles[1]);
  std::string subset = InDirectory(dir, kDemoFiles[2]);
  Export(saved, text, 0, AllNumbers(saved, false), AllNumbers(saved, true));
  // The subset of one group: the group and its members, under their own numbers.
  Export(saved, subset, 1, {}, {16385});

  PrintHeading("Files");
  for (const auto& [what, file] : {std::pair<const char*, std::string>{"phone book", path},
                                   {"text export", text},
                                   {"subset (group 16385)", subset}}) {
    std::printf("  %s %s (%lld bytes)\n", Fit(what, 21).c_str(), file.c_str(),
                static_cast<long long>(FileSize(file)));
  }
  std::printf(
      "\nTry: telbook list %s --tab さ\n     telbook show %s 27 --json\n"
      "     telbook search %s ｶﾄｳ\n     telbook list %s\n",
      path.c_str(), path.c_str(), path.c_str(), subset.c_str());
  return kExitOk;
}

}  // namespace

void AddDemoCommand(CLI::App* app, Action* action) {
  auto dir = std::make_shared<std::string>();
  CLI::App* cmd = app->add_subcommand(
      "demo", "Make a phone book of sample entries in a fresh directory and show what it holds.");
  cmd->add_option(
      "DIR", *dir,
      std::string("directory to work in (made when missing); default: a new one below ") +
          kTemporaryDirectoryWords);
  cmd->callback([action, dir] { *action = [dir] { return RunDemo(*dir); }; });
}

}  // namespace tool
}  // namespace telbook
