// The commands of the telbook tool. Each Add* function adds one subcommand to the command line;
// when that subcommand is chosen, its callback stores the work to run in *action, which returns
// the exit status and throws ToolError on failure.
#ifndef TELBOOK_TOOLS_COMMANDS_H_
#define TELBOOK_TOOLS_COMMANDS_H_

#include <functional>

namespace CLI {
class App;
}

namespace telbook {
namespace tool {

using Action = std::function<int()>;

// --strict of the commands that read around damage: stop at the first record that cannot be read.
void AddStrictFlag(CLI::App* cmd, bool* strict);

void AddCreateCommand(CLI::App* app, Action* action);
void AddInfoCommand(CLI::App* app, Action* action);
void AddDemoCommand(CLI::App* app, Action* action);
void AddFavouritesCommand(CLI::App* app, Action* action);
void AddListCommand(CLI::App* app, Action* action);
void AddShowCommand(CLI::App* app, Action* action);
void AddAddCommand(CLI::App* app, Action* action);
void AddEditCommand(CLI::App* app, Action* action);
void AddGroupCommand(CLI::App* app, Action* action);
void AddSearchCommand(CLI::App* app, Action* action);
void AddExportCommand(CLI::App* app, Action* action);
void AddCheckCommand(CLI::App* app, Action* action);
void AddCleanCommand(CLI::App* app, Action* action);
void AddRepairCommand(CLI::App* app, Action* action);
void AddImportCommand(CLI::App* app, Action* action);
void AddDeleteCommand(CLI::App* app, Action* action);
void AddMoveCommand(CLI::App* app, Action* action);
void AddDuplicatesCommand(CLI::App* app, Action* action);
void AddServeCommand(CLI::App* app, Action* action);

}  // namespace tool
}  // namespace telbook

#endif  // TELBOOK_TOOLS_COMMANDS_H_
