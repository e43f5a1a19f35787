// `telbook export`: the library's text export or phone book subset of chosen records (all by
// default), or a UTF-8 vCard 3.0 file of the personal entries made by the tool itself.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "tools/book.h"
#include "tools/commands.h"
#include "tools/destination.h"
#include "tools/records.h"
#include "tools/text.h"
#include "tools/tool_error.h"

namespace telbook {
namespace tool {
namespace {

std::vector<unsigned short> ParseList(const std::string& list, const std::string& what,
                                      bool groups) {
  std::vector<unsigned short> numbers;
  std::stringstream in(list);
  std::string item;
  while (std::getline(in, item, ',')) {
    if (item.empty()) continue;
    char* end = nullptr;
    long n = strtol(item.c_str(), &end, 10);
    bool ok = end != nullptr && *end == '\0' && (groups ? IsGroupNumber(n) : IsPersonalNumber(n));
    if (!ok) {
      throw ToolError(kExitUsage, "",
                      what + ": \"" + item + "\" is no " +
                          (groups ? "group number (16385 to 26383)" : "entry number (1 to 9999)"));
    }
    numbers.push_back(static_cast<unsigned short>(n));
  }
  if (numbers.size() > 9999) throw ToolError(kExitUsage, "", what + ": at most 9999 numbers");
  return numbers;
}

// vCard text value: backslash, comma, semicolon and line breaks escaped.
std::string VcardEscape(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '\\' || c == ',' || c == ';') {
      out += '\\';
      out += c;
    } else if (c == '\r') {
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
      out += "\\n";
    } else if (c == '\n') {
      out += "\\n";
    } else {
      out += c;
    }
  }
  return out;
}

// One content line, folded after 75 octets without splitting a UTF-8 character, CR LF ended.
std::string VcardLine(const std::string& line) {
  std::string out;
  size_t column = 0;
  for (size_t i = 0; i < line.size(); ++i) {
    bool starts_char = (static_cast<unsigned char>(line[i]) & 0xC0) != 0x80;
    if (starts_char && column >= 72) {
      out += "\r\n ";
      column = 1;
    }
    out += line[i];
    ++column;
  }
  return out + "\r\n";
}

// "family given" in two parts at the first space (full-width or not); all in family otherwise.
std::pair<std::string, std::string> SplitName(const std::string& name) {
  size_t at = name.find(' ');
  size_t width = 1;
  size_t wide = name.find("\xE3\x80\x80");  // U+3000
  if (wide != std::string::npos && (at == std::string::npos || wide < at)) at = wide, width = 3;
  if (at == std::string::npos) return {name, ""};
  return {name.substr(0, at), name.substr(at + width)};
}

std::string Vcard(const TL_Kojin& e) {
  std::string name = FromField(e.Name);
  std::string reading = FromField(e.Furigana);
  auto [family, given] = SplitName(name);
  auto [family_reading, given_reading] = SplitName(reading);
  std::string card = VcardLine("BEGIN:VCARD") + VcardLine("VERSION:3.0");
  card += VcardLine("FN:" + VcardEscape(name));
  card += VcardLine("N:" + VcardEscape(family) + ";" + VcardEscape(given) + ";;;");
  if (!reading.empty()) {
    card += VcardLine("SORT-STRING:" + VcardEscape(reading));
    card += VcardLine("X-PHONETIC-LAST-NAME:" + VcardEscape(family_reading));
    if (!given_reading.empty()) {
      card += VcardLine("X-PHONETIC-FIRST-NAME:" + VcardEscape(given_reading));
    }
  }
  auto add = [&card](const char* property, const std::string& value) {
    if (!value.empty()) card += VcardLine(std::string(property) + VcardEscape(value));
  };
  add("ORG:", FromField(e.Affiliation));
  add("TEL;TYPE=WORK,FAX:", FromField(e.FaxNumber));
  add("TEL;TYPE=WORK,VOICE:", FromField(e.Phone));
  add("EMAIL;TYPE=INTERNET:", FromField(e.EMail));
  add("NOTE:", FromField(e.Memo));
  return card + VcardLine("END:VCARD");
}

}  // namespace

void AddExportCommand(CLI::App* app, Action* action) {
  struct Options {
    std::string path;
    std::string dest;
    bool subset = false;
    bool vcard = false;
    std::string entries;
    std::string groups;
  };
  auto o = std::make_shared<Options>();
  CLI::App* cmd = app->add_subcommand(
      "export", "Export records as the comma-separated text file, a phone book subset, or vCard.");
  cmd->add_option("BOOK", o->path, "the phone book file")->required();
  cmd->add_option("DEST", o->dest,
                  "the file to write: an existing one is replaced, one of several hard links, a "
                  "FIFO or a device written into")
      ->required();
  auto* subset =
      cmd->add_flag("--subset", o->subset, "write a phone book holding only the records");
  cmd->add_flag("--vcard", o->vcard, "write UTF-8 vCard 3.0, one card per personal entry")
      ->excludes(subset);
  cmd->add_option("--entries", o->entries, "entry numbers to export, e.g. 1,5,9");
  cmd->add_option("--groups", o->groups, "group numbers to export (their members come along)");
  cmd->footer(
      "Without --entries and --groups every record is exported. DEST is reached only once "
      "the whole export is written; links to it stay links, its permissions are kept, and the "
      "phone book itself, a directory or a read-only file are refused.");
  cmd->callback([action, o] {
    *action = [o] {
      std::vector<unsigned short> entries = ParseList(o->entries, "--entries", false);
      std::vector<unsigned short> groups = ParseList(o->groups, "--groups", true);
      Book book(o->path, Book::Mode::kOpen);
      if (o->entries.empty() && o->groups.empty()) {
        for (const TL_ListItem& item : AllRecords(book)) {
          (item.Kind == 2 ? groups : entries).push_back(item.RecordNumber);
        }
      }
      if (o->vcard) {
        std::string cards;
        for (unsigned short n : entries) cards += Vcard(ReadEntry(book, n));
        WriteDestination(book, o->dest, cards);
        std::printf("wrote %zu vCards to %s\n", entries.size(), o->dest.c_str());
        return kExitOk;
      }
      short empty_group = 0;
      short status = TL_writeSrchData(
          book.session(), entries.data(), static_cast<int>(entries.size()), groups.data(),
          static_cast<int>(groups.size()), o->subset ? 1 : 0, o->dest.c_str(), &empty_group);
      if (status != 0) DestinationFailed(book, o->dest);
      std::printf("exported %zu entries and %zu groups (with their members) from %s to %s (%s)\n",
                  entries.size(), groups.size(), o->path.c_str(), o->dest.c_str(),
                  o->subset ? "phone book subset" : "text");
      if (empty_group != 0) std::printf("note: a chosen group has no members\n");
      return kExitOk;
    };
  });
}

}  // namespace tool
}  // namespace telbook
