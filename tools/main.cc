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
    "Exit status: 0 success; 1 check found faults (or the book repair made did not pass it),\n"
    "search found nothing, or duplicates found some; 2 bad usage or argument (a record number\n"
    "out of range or naming no record among them); 3 the phone book could not be created,\n"
    "opened, read, written or saved (a read-only one among them); 4 text that code page 932\n"
    "cannot hold or that does not fit its field, or a file to import that cannot be read; 5 the\n"
    "phone book is in use by another program, or another program was changing it for longer\n"
    "than --wait; 6 another file (export destination, import source) could not be used; 7\n"
    "records that could not be read were skipped (each named on standard error; the output is\n"
    "complete otherwise) or, by repair, dropped.";

// "demo, create, ...": the names of the commands.
std::string CommandNames(CLI::App* app) {
  std::string names;
  for (const CLI::App* sub : app->get_subcommands([](CLI::App*) { return true; })) {
    names += (names.empty() ? "" : ", ") + sub->get_name();
  }
  return names;
}

std::string VersionText() {
  return std::string("telbook ") + TELBOOK_VERSION +
         "\nlibrary telbook " TELBOOK_VERSION
         ": the host's 46 TL_ functions, TL_deleteKojin, TL_deleteGroup and TL_getErrorInfo\n"
         "phone book files: format versions 1, 2 and 3 read, version 2 saved";
}

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
  app.set_version_flag("--version", VersionText,
                       "print the versions of the tool, the library and "
                       "the phone book formats, and exit");
  // Every complaint about the command line names the tool, as every other error does.
  app.failure_message([](const CLI::App*, const CLI::Error& e) {
    return "telbook: " + std::string(e.what()) +
           "\n(`telbook --help` lists the commands, `telbook COMMAND --help` their options)\n";
  });
  Action action;
  AddDemoCommand(&app, &action);
  AddCreateCommand(&app, &action);
  AddInfoCommand(&app, &action);
  AddListCommand(&app, &action);
  AddShowCommand(&app, &action);
  AddSearchCommand(&app, &action);
  AddDuplicatesCommand(&app, &action);
  AddAddCommand(&app, &action);
  AddEditCommand(&app, &action);
  AddGroupCommand(&app, &action);
  AddDeleteCommand(&app, &action);
  AddMoveCommand(&app, &action);
  AddFavouritesCommand(&app, &action);
  AddExportCommand(&app, &action);
  AddImportCommand(&app, &action);
  AddCheckCommand(&app, &action);
  AddCleanCommand(&app, &action);
  AddRepairCommand(&app, &action);
  AddServeCommand(&app, &action);
  PrepareStandardStreams();
  std::vector<std::string> arguments = Utf8Arguments(argc, argv);
  // The first argument that is no option names the command.
  for (size_t i = 1; i < arguments.size(); ++i) {
    const std::string& a = arguments[i];
    if (!a.empty() && a[0] == '-') continue;
    bool known = false;
    for (const CLI::App* sub : app.get_subcommands([](CLI::App*) { return true; })) {
      known = known || sub->check_name(a);
    }
    if (!known) {
      std::cerr << "telbook: unknown command \"" << a << "\"; the commands are "
                << CommandNames(&app) << " (`telbook COMMAND --help` tells more)\n";
      return kExitUsage;
    }
    break;
  }
  if (arguments.size() <= 1) {
    std::cerr << "telbook: a command is needed: " << CommandNames(&app)
              << " (`telbook --help` tells more)\n";
    return kExitUsage;
  }
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
