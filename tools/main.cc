// Entry of the telbook command-line tool: the command line, the dispatch to one command, and the
// turn of every failure into a message on standard error and a documented exit status.
#include <clocale>
#include <cstdio>
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "tools/commands.h"
#include "tools/system.h"
#include "tools/tool_error.h"

namespace {

constexpr char kFooter[] =
    "Texts are UTF-8 on the command line and code page 932 in the phone book.\n"
    "Exit status: 0 success; 1 check or repair found faults, or search found nothing;\n"
    "2 bad usage or argument (a record number out of range among them); 3 the phone book\n"
    "could not be created, opened, read, written or saved (a read-only one among them); 4 text\n"
    "that code page 932 cannot hold or that does not fit its field, or a file to import that\n"
    "cannot be read; 5 the phone book is in use by another program, or another program was\n"
    "changing it for longer than --wait; 6 another file (export destination, import source)\n"
    "could not be used.";

}  // namespace

int main(int argc, char** argv) {
  using namespace telbook::tool;
  CLI::App app("telbook: keep, move and repair the phone books of the PC-fax front end.",
               "telbook");
  app.footer(kFooter);
  app.require_subcommand(1);
  app.fallthrough(false);
  // A path such as /home/a/b.vcf is an argument on Windows too, never an option.
  app.allow_windows_style_options(false);
  Action action;
  AddDemoCommand(&app, &action);
  AddCreateCommand(&app, &action);
  AddInfoCommand(&app, &action);
  AddListCommand(&app, &action);
  AddShowCommand(&app, &action);
  AddAddCommand(&app, &action);
  AddEditCommand(&app, &action);
  AddGroupCommand(&app, &action);
  AddSearchCommand(&app, &action);
  AddExportCommand(&app, &action);
  AddImportCommand(&app, &action);
  AddCheckCommand(&app, &action);
  AddCleanCommand(&app, &action);
  AddRepairCommand(&app, &action);
  AddFavouritesCommand(&app, &action);
  PrepareStandardStreams();
  std::vector<std::string> arguments = Utf8Arguments(argc, argv);
  std::vector<const char*> pointers;
  for (const std::string& a : arguments) pointers.push_back(a.c_str());
  try {
    app.parse(static_cast<int>(pointers.size()), pointers.data());
  } catch (const CLI::ParseError& e) {
    int code = app.exit(e);
    return code == 0 ? kExitOk : kExitUsage;
  }
  try {
    int status = action ? action() : kExitUsage;
    std::cout.flush();
    return status;
  } catch (const ToolError& e) {
    std::cout.flush();
    if (e.file().empty()) {
      std::cerr << "telbook: " << e.what() << "\n";
    } else {
      std::cerr << "telbook: " << e.file() << ": " << e.what() << "\n";
    }
    return e.status();
  } catch (const std::bad_alloc&) {
    std::cerr << "telbook: out of memory\n";
    return kExitBook;
  } catch (const std::exception& e) {
    std::cerr << "telbook: " << e.what() << "\n";
    return kExitBook;
  }
}
