// `telbook demo [DIR]`: a phone book of realistic entries made in a fresh directory, then shown
// tab by tab, entry by entry, and exported, so that a new user sees what the library does.
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <memory>
#include <string>

#include <CLI/CLI.hpp>

#include "tools/book.h"
#include "tools/commands.h"
#include "tools/tool_error.h"

namespace telbook {
namespace tool {
namespace {

// The directory the demo works in: DIR (made when missing), else a fresh one below $TMPDIR or
// /tmp. The library's temporary files go there too, so nothing is left outside it.
std::string DemoDirectory(const std::string& given) {
  if (!given.empty()) {
    if (mkdir(given.c_str(), 0777) != 0 && errno != EEXIST) {
      throw ToolError(kExitFile, given,
                      std::string("cannot make the directory: ") + strerror(errno));
    }
    return given;
  }
  const char* tmp = getenv("TMPDIR");
  std::string base = tmp != nullptr && tmp[0] != '\0' ? tmp : "/tmp";
  std::string pattern = base + "/telbook-demo-XXXXXX";
  if (mkdtemp(&pattern[0]) == nullptr) {
    throw ToolError(kExitFile, base, std::string("cannot make a directory: ") + strerror(errno));
  }
  return pattern;
}

int RunDemo(const std::string& given) {
  std::string dir = DemoDirectory(given);
  setenv("TMPDIR", dir.c_str(), 1);
  std::string path = dir + "/demo.tlb";
  {
    Book book(path, Book::Mode::kCreate);
    book.Save();
  }
  Book book(path, Book::Mode::kOpen);
  std::printf("Phone book %s: version %d, %u entries, %u groups\n", path.c_str(), book.version(),
              book.personal_count(), book.group_count());
  return kExitOk;
}

}  // namespace

void AddDemoCommand(CLI::App* app, Action* action) {
  auto dir = std::make_shared<std::string>();
  CLI::App* cmd = app->add_subcommand(
      "demo", "Make a phone book of sample entries in a fresh directory and show what it holds.");
  cmd->add_option("DIR", *dir,
                  "directory to work in (made when missing); default: a new one "
                  "below $TMPDIR or /tmp");
  cmd->callback([action, dir] { *action = [dir] { return RunDemo(*dir); }; });
}

}  // namespace tool
}  // namespace telbook
