// `telbook serve` in a build without cpp-httplib: the command exists and says why it cannot run.
#include "tools/tool_error.h"
#include "tools/web/serve.h"

namespace telbook {
namespace web {

bool ServeAvailable() { return false; }

int Serve(const ServeOptions&) {
  throw tool::ToolError(tool::kExitUsage, "", "serve: this build of telbook has no web server");
}

}  // namespace web
}  // namespace telbook
