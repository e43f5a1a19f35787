// `telbook export`: the library's text export or phone book subset of chosen records (all by
// default), or a UTF-8 vCard 3.0 file of the personal entries made by the tool itself.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "export/text_export.h"
#include "interface/inspection.h"
#include "interface/session.h"
#include "store/errors.h"
#include "tools/book.h"
#include "tools/commands.h"
#include "tools/destination.h"
#include "tools/error_words.h"
#include "tools/export_vcard.h"
#include "tools/number_list.h"
#include "tools/readings.h"
#include "tools/records.h"
#include "tools/salvage.h"
#include "tools/system.h"
#include "tools/text.h"
#include "tools/tool_error.h"

namespace telbook {
namespace tool {
namespace {

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

// ASCII letters compared without case.
bool SameLatin(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

// The parts of N: the name's words in the order of its reading, which the book keeps family name
// first. A Latin name written given name first ("John Smith" read "Smith John") is turned; a name
// in Japanese script is family name first as written.
std::pair<std::string, std::string> NameParts(const std::string& name, const std::string& reading) {
  auto [first, second] = SplitName(name);
  auto [family_reading, given_reading] = SplitName(reading);
  bool turned = !second.empty() && !given_reading.empty() && !HasJapaneseScript(name) &&
                SameLatin(first, given_reading) && SameLatin(second, family_reading);
  if (turned) return {second, first};
  return {first, second};
}

}  // namespace

std::string VcardOf(const TL_Kojin& e) {
  std::string name = FromField(e.Name);
  std::string reading = FromField(e.Furigana);
  auto [family, given] = NameParts(name, reading);
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

namespace {

// The numbers of the list without those whose record the library cannot read, each passed to the
// book's Skip; numbers of free slots stay, for the library passes over them.
std::vector<unsigned short> Readable(const Book& book, const std::vector<unsigned short>& chosen) {
  std::vector<unsigned short> kept;
  for (unsigned short n : chosen) {
    TL_ListItem item{};
    if (inspection::ReadListItem(book.session(), n, &item) != 0 && book.Exists(n)) {
      book.Skip(RecordName(n), ReadFailure(book, n));
      continue;
    }
    kept.push_back(n);
  }
  return kept;
}

// The members of a chosen group that the library cannot read, passed to the book's Skip: the
// export leaves them out. Members naming a free slot are passed over as the library does.
void SkipUnreadableMembers(const Book& book, const GroupRecord& group) {
  for (const auto& [member, reason] : group.unreadable_members) {
    if (book.Exists(member)) book.Skip(RecordName(member), reason);
  }
}

// Standard output as the library's text export sees it.
class StandardOutput final : public TextSink {
 public:
  bool Write(const uint8_t* bytes, uint32_t length) override {
    return std::fwrite(bytes, 1, length, stdout) == length;
  }
};

// What an export writes: the chosen entries and groups that exist, and the members the groups
// bring along.
struct Choice {
  std::vector<unsigned short> entries;
  std::vector<unsigned short> groups;
  size_t members = 0;  // entries written for the groups alone
  std::vector<int> missing_entries;
  std::vector<int> missing_groups;
};

Choice Choose(const Book& book, const std::vector<int>& entries, const std::vector<int>& groups,
              bool all) {
  Choice c;
  if (all) {
    for (const TL_ListItem& item : AllRecords(book)) {
      (item.Kind == 2 ? c.groups : c.entries).push_back(item.RecordNumber);
    }
  }
  for (int n : entries) {
    if (book.Exists(n)) {
      c.entries.push_back(static_cast<unsigned short>(n));
    } else {
      c.missing_entries.push_back(n);
    }
  }
  for (int n : groups) {
    if (book.Exists(n)) {
      c.groups.push_back(static_cast<unsigned short>(n));
    } else {
      c.missing_groups.push_back(n);
    }
  }
  if (!all) {
    c.entries = Readable(book, c.entries);
    c.groups = Readable(book, c.groups);
  }
  // Every record to write is read here first: one that cannot be read has been through the
  // book's Skip, and a book that cannot be read fails as the book (exit 3), before the
  // destination is touched.
  std::set<unsigned short> written(c.entries.begin(), c.entries.end());
  for (unsigned short n : c.entries) ReadEntry(book, n);
  for (unsigned short g : c.groups) {
    GroupRecord group = ReadGroup(book, g);
    SkipUnreadableMembers(book, group);
    for (const TL_ListItem& m : group.members) {
      if (written.insert(m.RecordNumber).second) ++c.members;
    }
  }
  return c;
}

std::string MissingWords(Choice c) {
  std::sort(c.missing_entries.begin(), c.missing_entries.end());
  std::sort(c.missing_groups.begin(), c.missing_groups.end());
  std::string words;
  if (!c.missing_entries.empty()) {
    words =
        (c.missing_entries.size() == 1 ? "entry " : "entries ") + NumberWords(c.missing_entries);
  }
  if (!c.missing_groups.empty()) {
    words += (words.empty() ? "" : " and ") +
             std::string(c.missing_groups.size() == 1 ? "group " : "groups ") +
             NumberWords(c.missing_groups);
  }
  return words;
}

// Whether a failed export failed on the phone book rather than on the destination.
bool BookFailed(unsigned short category) {
  return category != category::kFileOpen && category != category::kFileWrite &&
         category != category::kFileClose && category != category::kFileMove &&
         category != category::kClose;
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
    bool skip_missing = false;
    bool strict = false;
  };
  auto o = std::make_shared<Options>();
  CLI::App* cmd = app->add_subcommand(
      "export", "Export records as the comma-separated text file, a phone book subset, or vCard.");
  cmd->add_option("BOOK", o->path, "the phone book file")->required();
  cmd->add_option("DEST", o->dest,
                  "the file to write: an existing one is replaced, one of several hard links, a "
                  "FIFO or a device written into; - for standard output")
      ->required();
  auto* subset =
      cmd->add_flag("--subset", o->subset, "write a phone book holding only the records");
  cmd->add_flag("--vcard", o->vcard, "write UTF-8 vCard 3.0, one card per personal entry")
      ->excludes(subset);
  cmd->add_option("--entries", o->entries, "entry numbers to export, e.g. 1,5,9-12");
  cmd->add_option("--groups", o->groups, "group numbers to export (their members come along)");
  cmd->add_flag("--skip-missing", o->skip_missing,
                "export the records that exist when some numbers name none");
  AddStrictFlag(cmd, &o->strict);
  cmd->footer(
      "Without --entries and --groups every record is exported. A number that names no record\n"
      "fails the export (exit status 2) unless --skip-missing. DEST is reached only once the\n"
      "whole export is written; links to it stay links, its permissions are kept, and the\n"
      "phone book itself, a directory or a read-only file are refused. - writes the text export\n"
      "or vCard to standard output, with no file made, and the report to standard error.\n"
      "Records that cannot be read are reported and left out (exit status 7), unless --strict.");
  cmd->callback([action, o] {
    *action = [o] {
      std::vector<int> entries =
          WithoutRepeats(ParseNumberList(o->entries, "--entries", NumberKind::kEntry));
      std::vector<int> groups =
          WithoutRepeats(ParseNumberList(o->groups, "--groups", NumberKind::kGroup));
      const bool to_stdout = o->dest == "-";
      if (to_stdout && o->subset) {
        throw ToolError(kExitUsage, "",
                        "a phone book subset is a file the library seeks in: give DEST a file "
                        "name rather than -");
      }
      Book book(o->path, Book::Mode::kOpen);
      book.set_strict(o->strict);
      Choice c = Choose(book, entries, groups, o->entries.empty() && o->groups.empty());
      std::string missing = MissingWords(c);
      if (!missing.empty() && !o->skip_missing) {
        throw ToolError(kExitUsage, o->path,
                        missing +
                            ": not in the phone book; nothing was exported "
                            "(--skip-missing exports the rest)");
      }
      if (!missing.empty()) {
        std::cerr << "telbook: " << o->path << ": skipped " << missing
                  << ": not in the phone book\n";
      }
      const std::string dest = to_stdout ? "standard output" : o->dest;
      FILE* report = to_stdout ? stderr : stdout;
      const size_t written = c.entries.size() + c.members;
      if (o->vcard) {
        // A group's members are written as their own cards.
        std::set<unsigned short> done;
        std::string cards;
        std::vector<unsigned short> order = c.entries;
        for (unsigned short g : c.groups) {
          for (const TL_ListItem& m : ReadGroup(book, g).members) order.push_back(m.RecordNumber);
        }
        for (unsigned short n : order) {
          if (done.insert(n).second) cards += VcardOf(ReadEntry(book, n));
        }
        if (to_stdout) {
          std::fwrite(cards.data(), 1, cards.size(), stdout);
        } else {
          WriteDestination(book, o->dest, cards);
        }
        std::fprintf(report, "wrote %s to %s\n", Counted(done.size(), "vCard", "vCards").c_str(),
                     dest.c_str());
        return book.Finish(kExitOk);
      }
      // The library's exports read records the tool did not choose (the subset reads every one,
      // the text export the members of chosen groups): around damage they run on a copy that
      // holds only what can be read.
      const Book* from = &book;
      std::unique_ptr<TempFile> copy;
      std::unique_ptr<Book> salvaged;
      Survey survey = o->strict ? Survey() : SurveyRecords(book);
      if (!survey.unreadable.empty()) {
        copy = std::make_unique<TempFile>();
        WriteSalvage(book, copy->path(), survey.readable, /*repair=*/false);
        copy->Hold();
        salvaged = std::make_unique<Book>(copy->path(), Book::Mode::kOpen);
        from = salvaged.get();
      }
      short empty_group = 0;
      short status = 0;
      if (to_stdout) {
        StandardOutput out;
        status = FromHandle(from->session())
                     ->export_driver.WriteTextTo(c.entries.data(), c.entries.size(),
                                                 c.groups.data(), c.groups.size(), &out);
        std::fflush(stdout);
      } else {
        status = TL_writeSrchData(
            from->session(), c.entries.data(), static_cast<int>(c.entries.size()), c.groups.data(),
            static_cast<int>(c.groups.size()), o->subset ? 1 : 0, o->dest.c_str(), &empty_group);
      }
      if (status != 0) {
        unsigned short category = 0;
        unsigned short detail = 0;
        TL_getErrorInfo(from->session(), &category, &detail);
        if (BookFailed(category)) {
          throw ToolError(kExitBook, o->path,
                          "cannot export the phone book: " + PairWords(category, detail));
        }
        if (!to_stdout) DestinationFailed(book, o->dest);
        throw ToolError(kExitFile, o->dest,
                        "cannot export from " + o->path + ": " + PairWords(category, detail));
      }
      std::string what = Counted(written, "entry", "entries");
      if (c.members > 0) {
        std::string of = c.groups.size() == 1 ? "the group" : "the groups";
        what += c.members == written
                    ? " (the members of " + of + ")"
                    : " (" + std::to_string(c.members) + " of them for " + of + ")";
      }
      std::fprintf(report, "exported %s and %s from %s to %s (%s)\n", what.c_str(),
                   Counted(c.groups.size(), "group", "groups").c_str(), o->path.c_str(),
                   dest.c_str(), o->subset ? "phone book subset" : "text");
      if (empty_group != 0) std::fprintf(report, "note: a chosen group has no members\n");
      return book.Finish(kExitOk);
    };
  });
}

}  // namespace tool
}  // namespace telbook
