// `telbook check`, `clean` and `repair`: what is wrong in a phone book file and what killed
// programs left beside it, their removal, and a save through the library's compaction, which
// rewrites every record it can read in the current layout.
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
    nlohmann::json findings = nlohmann::json::array();
    for (const Finding& f : report.findings) {
      findings.push_back({{"where", f.where}, {"problem", f.problem}});
    }
    j["findings"] = findings;
    j["leftovers"] = LeftoversJson(leftovers);
    std::cout << j.dump(2) << "\n";
    return;
  }
  PrintLeftovers(path, leftovers);
  for (const Finding& f : report.findings) {
    std::printf("%s: %s: %s\n", path.c_str(), f.where.c_str(), f.problem.c_str());
  }
  if (report.findings.empty()) {
    std::printf("%s: sound (version %d, %s, %s)\n", path.c_str(), report.version,
                Counted(static_cast<size_t>(report.entries), "entry", "entries").c_str(),
                Counted(static_cast<size_t>(report.groups), "group", "groups").c_str());
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
  auto path = std::make_shared<std::string>();
  auto wait = std::make_shared<double>(kDefaultWaitSeconds);
  CLI::App* cmd = app->add_subcommand(
      "repair",
      "Save a readable phone book through the compaction: dead space dropped, records "
      "rewritten in the current layout, counts and tabs recomputed.");
  cmd->add_option("BOOK", *path, "the phone book file")->required();
  AddWaitOption(cmd, wait.get());
  cmd->footer(
      "Refuses a file whose header or index cannot be read. On any failure the file is "
      "left as it was.");
  cmd->callback([action, path, wait] {
    *action = [path, wait] {
      RequireFile(*path);
      CheckReport before = CheckFile(*path);
      if (!before.readable) {
        Print(*path, before, false);
        throw ToolError(kExitBook, *path, "cannot be repaired: its header or index is unreadable");
      }
      Book book(*path, Book::Mode::kChange, *wait);
      // Writing the favourite names back as they are marks the book changed, so that the close
      // saves it through the compaction.
      char names[80] = {};
      book.Check(TL_readOkonomi(book.session(), 0, names), "cannot read the favourite names");
      book.Check(TL_writeOkonomi(book.session(), 0, names), "cannot prepare the save");
      book.Save();
      CheckReport after = CheckFile(*path);
      std::printf("%s: saved through the compaction (%zu problem(s) before, %zu after)\n",
                  path->c_str(), before.findings.size(), after.findings.size());
      return after.findings.empty() ? kExitOk : kExitFindings;
    };
  });
}

}  // namespace tool
}  // namespace telbook
