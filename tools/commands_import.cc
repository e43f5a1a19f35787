// `telbook import`: adds the cards of a vCard or CSV contacts file, or the entries and groups of
// a text export, to a phone book. The whole file is read and planned before the book is
// written; the plan is printed (alone with --dry-run), then applied and saved at once. On any
// error the phone book stays as it was.
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "tools/book.h"
#include "tools/commands.h"
#include "tools/import_plan.h"
#include "tools/number_list.h"
#include "tools/records.h"
#include "tools/system.h"
#include "tools/text.h"
#include "tools/tool_error.h"

namespace telbook {
namespace tool {
namespace {

std::string ReadSource(const std::string& path) {
  if (path == "-") return ReadStandardInput();
  struct stat st;
  if (stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
    throw ToolError(kExitFile, path, "cannot read: it is a directory");
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) throw ToolError(kExitFile, path, std::string("cannot read: ") + strerror(errno));
  std::ostringstream bytes;
  bytes << in.rdbuf();
  if (in.bad()) throw ToolError(kExitFile, path, "cannot read: a read failed");
  return bytes.str();
}

// "1 to 31", "7", or "none" for the numbers the records got.
std::string Span(const std::vector<int>& numbers) {
  if (numbers.empty()) return "none";
  std::string first = std::to_string(numbers.front());
  if (numbers.size() == 1) return first;
  return first + " to " + std::to_string(numbers.back());
}

std::string Card(const ImportPlan& plan, size_t i) {
  const PlannedCard& c = plan.cards[i];
  std::string name = c.source_name.empty() ? "(no name)" : c.source_name;
  return "card " + std::to_string(i + 1) + " (line " + std::to_string(c.line) + ") " + name;
}

std::string Joined(const std::vector<std::string>& notes) {
  std::string out;
  for (const std::string& n : notes) out += (out.empty() ? "" : "; ") + n;
  return out;
}

void PrintTable(const ImportPlan& plan) {
  std::printf("%s  %s  %s  %s  %s\n", Fit("No.", 5).c_str(), Fit("Name", 22).c_str(),
              Fit("Reading", 24).c_str(), Fit("Fax", 16).c_str(), "Notes");
  for (const PlannedCard& c : plan.cards) {
    if (c.fate != CardFate::kAdd) continue;
    std::string notes = Joined(c.notes);
    std::printf("%s  %s  %s  %s  %s\n", Fit(std::to_string(c.number), 5).c_str(),
                Fit(FromField(c.entry.Name), 22).c_str(),
                Fit(FromField(c.entry.Furigana), 24).c_str(),
                Fit(FromField(c.entry.FaxNumber), 16).c_str(), notes.c_str());
  }
}

// What the user must hear even without --dry-run: cards not added, texts cut or replaced, the
// groups, and the notes of the file.
void PrintFindings(const ImportPlan& plan, bool dry_run) {
  for (size_t i = 0; i < plan.cards.size(); ++i) {
    const PlannedCard& c = plan.cards[i];
    if (c.fate == CardFate::kDuplicate) {
      std::string of;
      for (const PlannedDuplicate& d : c.duplicates) {
        std::string who =
            d.entry > 0 ? "entry " + std::to_string(d.entry) : "card " + std::to_string(d.card + 1);
        of += (of.empty() ? "" : ", ") + who + " (" + DuplicateReasonWords(d.reason) + ")";
      }
      std::printf("skipped %s: duplicates %s\n", Card(plan, i).c_str(), of.c_str());
    } else if (c.fate != CardFate::kAdd) {
      std::printf("skipped %s: %s\n", Card(plan, i).c_str(), c.reason.c_str());
    } else if (!dry_run) {
      std::vector<std::string> worth;
      for (const std::string& n : c.notes) {
        if (n != "reading derived" && n != "reading as written") worth.push_back(n);
      }
      if (!worth.empty()) std::printf("%s: %s\n", Card(plan, i).c_str(), Joined(worth).c_str());
    }
  }
  if (plan.format != ImportFormat::kText) {
    for (const PlannedGroup& g : plan.groups) {
      std::string what = g.exists
                             ? "group " + std::to_string(g.number) + " \"" + g.name + "\" gains"
                             : "new group \"" + g.name + "\" with";
      std::printf("%s %zu member%s%s\n", what.c_str(), g.cards.size(),
                  g.cards.size() == 1 ? "" : "s",
                  g.notes.empty() ? "" : (" (" + Joined(g.notes) + ")").c_str());
    }
  }
  for (const std::string& n : plan.notes) std::printf("note: %s\n", n.c_str());
}

}  // namespace

void AddImportCommand(CLI::App* app, Action* action) {
  struct Options {
    std::string path;
    std::string source;
    bool utf8 = false;
    std::string format;
    std::string encoding;
    std::string map;
    ImportOptions import;
    bool dry_run = false;
    bool json = false;
    double wait = kDefaultWaitSeconds;
  };
  auto o = std::make_shared<Options>();
  CLI::App* cmd = app->add_subcommand(
      "import",
      "Add the cards of a vCard or CSV contacts file, or the records of a text export, to a "
      "phone book.");
  cmd->add_option("BOOK", o->path, "the phone book file")->required();
  cmd->add_option("FILE", o->source, "the file to read; - for standard input")->required();
  cmd->add_option("--format", o->format, "text, vcard or csv (recognised when not given)");
  auto* encoding =
      cmd->add_option("--encoding", o->encoding,
                      "utf-8, utf-16, utf-16le, utf-16be or cp932 (detected when not given)");
  cmd->add_flag("--utf8", o->utf8, "the same as --encoding utf-8")->excludes(encoding);
  cmd->add_option("--map", o->map,
                  "CSV columns for fields, e.g. 'Fax=fax,Company=affiliation'; fields: " +
                      std::string(ColumnFieldNames()));
  cmd->add_flag("--fax-only", o->import.fax_only, "skip cards without a fax number");
  cmd->add_flag("--no-groups", o->import.no_groups, "make no groups of the cards' categories");
  cmd->add_flag("--no-readings", o->import.no_readings, "derive no readings for names without one");
  cmd->add_flag("--strict", o->import.strict,
                "import nothing when a text is too long for its field, rather than cut it");
  cmd->add_flag("--replace", o->import.replace,
                "put ? for characters code page 932 cannot hold, rather than skip the card");
  cmd->add_flag("--allow-duplicates", o->import.allow_duplicates,
                "add cards that duplicate an entry (same fax digits, or same name and reading)");
  cmd->add_flag("--dry-run", o->dry_run, "print what would be added and write nothing");
  cmd->add_flag("--json", o->json, "print the plan (and the numbers the records got) as JSON");
  AddWaitOption(cmd, &o->wait);
  cmd->footer(
      "The whole file is read and checked before the phone book is touched. Cards that cannot\n"
      "be held are skipped and listed; a fault of the file itself, or a phone book too full for\n"
      "the cards, imports nothing. A text export's group members become the record numbers their\n"
      "entries get. The records are saved at once; on any error the phone book is left as it was.");
  cmd->callback([action, o] {
    *action = [o] {
      ImportOptions options = o->import;
      if (!o->format.empty() && !ParseImportFormat(o->format, &options.format)) {
        throw ToolError(kExitUsage, "",
                        "--format must be text, vcard or csv, not \"" + o->format + "\"");
      }
      if (o->utf8) options.encoding = Encoding::kUtf8;
      if (!o->encoding.empty() && !ParseEncodingName(o->encoding, &options.encoding)) {
        throw ToolError(kExitUsage, "",
                        "--encoding must be utf-8, utf-16, utf-16le, utf-16be or cp932, not \"" +
                            o->encoding + "\"");
      }
      std::string why;
      if (!o->map.empty() && !ParseColumnMap(o->map, &options.map, &why)) {
        throw ToolError(kExitUsage, "", why);
      }
      std::string bytes = ReadSource(o->source);
      ImportSource source;
      FileProblem problem;
      if (!ReadImportSource(bytes, options, &source, &problem)) {
        std::string where;
        if (problem.line > 0) where = "line " + std::to_string(problem.line);
        if (problem.byte > 0) where += ", byte " + std::to_string(problem.byte);
        if (!where.empty()) where += ": ";
        throw ToolError(problem.usage ? kExitUsage : kExitText, o->source,
                        where + problem.reason + "; nothing was imported");
      }
      Folder folder;
      ReadingDeriver deriver;
      ImportPlan plan;
      ImportOutcome outcome;
      // The plan is made from the book as it is opened, and applied to it at once; when another
      // program saved the book meanwhile, it is made again from what that program saved.
      auto import = [&](Book& book) {
        plan = MakeImportPlan(source, ReadBookState(book), options, deriver, folder);
        if (!plan.blocking.empty() || o->dry_run) return false;
        outcome = ApplyImportPlan(plan, book);
        return true;
      };
      if (o->dry_run) {
        Book book(o->path, Book::Mode::kOpen);  // a read-only book may be planned for
        import(book);
      } else {
        ChangeBook(o->path, o->wait, /*repeatable=*/true, import);
      }
      nlohmann::json json;
      if (o->json) {
        json = ImportPlanJson(plan);
      } else {
        if (o->dry_run) PrintTable(plan);
        PrintFindings(plan, o->dry_run);
      }
      if (!plan.blocking.empty()) {
        if (o->json) std::cout << json.dump(2) << "\n";
        throw ToolError(plan.blocking_status, o->path, plan.blocking + "; nothing was imported");
      }
      size_t skipped = plan.cards.size() - plan.Count(CardFate::kAdd);
      std::string skipped_words =
          skipped == 0 ? "" : "; skipped " + std::to_string(skipped) + " (listed above)";
      if (o->dry_run) {
        if (o->json) {
          std::cout << json.dump(2) << "\n";
        } else {
          std::printf("would import %s and write %s%s; nothing was written (--dry-run)\n",
                      Counted(plan.Count(CardFate::kAdd), "entry", "entries").c_str(),
                      Counted(plan.groups.size(), "group", "groups").c_str(),
                      skipped_words.c_str());
        }
        return kExitOk;
      }
      std::vector<int> entries;
      for (int n : outcome.entry_numbers) {
        if (n != 0) entries.push_back(n);
      }
      std::vector<int> groups;
      for (int n : outcome.group_numbers) {
        if (n != 0) groups.push_back(n);
      }
      if (o->json) {
        json["entry-numbers"] = outcome.entry_numbers;
        json["group-numbers"] = outcome.group_numbers;
        std::cout << json.dump(2) << "\n";
        return kExitOk;
      }
      std::printf("imported %s (%s) and %s (%s) from %s into %s%s\n",
                  Counted(entries.size(), "entry", "entries").c_str(), Span(entries).c_str(),
                  Counted(groups.size(), "group", "groups").c_str(), Span(groups).c_str(),
                  o->source.c_str(), o->path.c_str(), skipped_words.c_str());
      return kExitOk;
    };
  });
}

}  // namespace tool
}  // namespace telbook
