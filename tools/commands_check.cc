// `telbook check`, `clean` and `repair`: what is wrong in a phone book file and what killed
// programs left beside it, their removal, and the repair that keeps every record the library
// can read.
#include <sys/stat.h>

#include <cstdio>
#include <iostream>
#include <memory>
#include <string>

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include "tools/book.h"
#include "tools/check.h"
#include "tools/commands.h"
#include "tools/leftovers.h"
#include "tools/number_list.h"
#include "tools/repair.h"
#include "tools/tool_error.h"

namespace telbook {
namespace tool {
namespace {

void Print(const std::string& path, const CheckReport& report, bool json,
           const std::vector<Leftover>& leftovers = {}) {
  if (json) {
    nlohmann::json j;
    j["file"] = path;
    j["sound"] = report.findings.empty();
    j["readable"] = report.readable;
    j["version"] = report.version;
    j["entries"] = report.entries;
    j["groups"] = report.groups;
    j["dead-bytes"] = report.dead_bytes;
    nlohmann::json findings = nlohmann::json::array();
    for (const Finding& f : report.findings) {
      nlohmann::json finding = {{"where", f.where}, {"problem", f.problem}};
      finding["record"] = f.record == 0 ? nlohmann::json() : nlohmann::json(f.record);
      finding["offset"] = f.offset < 0 ? nlohmann::json() : nlohmann::json(f.offset);
      findings.push_back(finding);
    }
    j["findings"] = findings;
    j["leftovers"] = LeftoversJson(leftovers);
    std::cout << j.dump(2) << "\n";
    return;
  }
  PrintLeftovers(path, leftovers);
  for (const Finding& f : report.findings) {
    std::string at = f.offset < 0 ? "" : " at byte " + std::to_string(f.offset);
    std::printf("%s: %s%s: %s\n", path.c_str(), f.where.c_str(), at.c_str(), f.problem.c_str());
  }
  if (report.findings.empty()) {
    std::string dead = report.dead_bytes == 0 ? ""
                                              : "; " + std::to_string(report.dead_bytes) +
                                                    " bytes no record uses, which a save drops";
    std::printf("%s: sound (version %d, %s, %s%s)\n", path.c_str(), report.version,
                Counted(static_cast<size_t>(report.entries), "entry", "entries").c_str(),
                Counted(static_cast<size_t>(report.groups), "group", "groups").c_str(),
                dead.c_str());
  } else {
    std::printf("%s: %zu problem(s) found\n", path.c_str(), report.findings.size());
  }
}

// A phone book file to look at: a missing file or a directory is refused with its name.
void RequireFile(const std::string& path) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0) throw ToolError(kExitBook, path, "cannot open: no such file");
  if (S_ISDIR(st.st_mode)) throw ToolError(kExitBook, path, "cannot open: it is a directory");
}

}  // namespace

void AddCheckCommand(CLI::App* app, Action* action) {
  struct Options {
    std::string path;
    bool json = false;
  };
  auto o = std::make_shared<Options>();
  CLI::App* cmd = app->add_subcommand("check",
                                      "Walk a whole phone book file and report what is "
                                      "wrong; exit status 1 when it is not sound.");
  cmd->add_option("BOOK", o->path, "the phone book file")->required();
  cmd->add_flag("--json", o->json, "print JSON");
  cmd->callback([action, o] {
    *action = [o] {
      RequireFile(o->path);
      CheckReport report = CheckFile(o->path);
      Print(o->path, report, o->json, FindLeftovers(o->path));
      return report.findings.empty() ? kExitOk : kExitFindings;
    };
  });
}

void AddCleanCommand(CLI::App* app, Action* action) {
  auto path = std::make_shared<std::string>();
  CLI::App* cmd = app->add_subcommand(
      "clean",
      "Remove the temporary files (tel*.tmp) that killed programs left beside a phone book and "
      "in the temporary directory.");
  cmd->add_option("BOOK", *path, "the phone book file")->required();
  cmd->footer(
      "Only files no running program holds are removed. A whole phone book left beside a "
      "damaged one is kept: it may be the only whole copy of a save that did not finish.");
  cmd->callback([action, path] {
    *action = [path] {
      int removed = CleanLeftovers(*path);
      if (removed == 0) std::printf("%s: no leftover temporary files removed\n", path->c_str());
      return kExitOk;
    };
  });
}

void AddRepairCommand(CLI::App* app, Action* action) {
  struct Options {
    std::string path;
    RepairOptions repair;
    bool no_backup = false;
  };
  auto o = std::make_shared<Options>();
  CLI::App* cmd = app->add_subcommand(
      "repair",
      "Make a damaged phone book sound: every record that can be read is kept under its number "
      "(texts cut and repaired as a save does, tab codes and slot kinds set right, counts "
      "recomputed, members that name no readable entry dropped); records that cannot be read are "
      "dropped and their bytes written beside the book.");
  cmd->add_option("BOOK", o->path, "the phone book file")->required();
  cmd->add_flag("--dry-run", o->repair.dry_run,
                "tell what would be kept, changed and dropped; write nothing");
  cmd->add_flag("--no-backup", o->no_backup, "do not keep the old book as BOOK.bak");
  AddWaitOption(cmd, &o->repair.wait_seconds);
  cmd->footer(
      "The book is replaced only by a complete repaired book that has passed the check; the old\n"
      "one is kept as BOOK.bak (BOOK.bak.2, ... when that is taken), and the bytes of each record\n"
      "that cannot be read go to BOOK.damaged-N.bin. Refuses a file whose header or index tables\n"
      "cannot be read, and a read-only book; on any failure the book is left as it was.\n"
      "Exit status: 0 repaired (or sound already) with every record kept; 7 records that could\n"
      "not be read were dropped; 1 the repaired book did not pass the check (nothing changed).");
  cmd->callback([action, o] {
    *action = [o] {
      RequireFile(o->path);
      o->repair.backup = !o->no_backup;
      return RepairBook(o->path, o->repair, std::cout);
    };
  });
}

}  // namespace tool
}  // namespace telbook
