// The command line of `telbook serve`: the book, the address and its checks, and --open.
#include <cstdlib>
#include <memory>
#include <string>

#include <CLI/CLI.hpp>

#include "tools/commands.h"
#include "tools/tool_error.h"
#include "tools/web/security.h"
#include "tools/web/serve.h"

namespace telbook {
namespace tool {

void AddServeCommand(CLI::App* app, Action* action) {
  auto o = std::make_shared<web::ServeOptions>();
  CLI::App* cmd = app->add_subcommand(
      "serve", "Edit a phone book in the browser: a local web application for one book.");
  cmd->add_option("BOOK", o->book, "the phone book file")->required();
  cmd->add_option("--port", o->port, "port to listen on (default: a free one)")
      ->check(CLI::Range(0, 65535));
  cmd->add_flag("--open", o->open, "start the desktop's browser on the address");
  cmd->add_option("--host", o->host,
                  "address to listen on (default 127.0.0.1; only loopback addresses unless "
                  "--allow-remote)");
  cmd->add_flag("--allow-remote", o->allow_remote,
                "allow an address other machines can reach; needs a password of at least 12 "
                "characters in TELBOOK_SERVE_PASSWORD, asked for by the browser");
  cmd->footer(
      "Prints the address to open, with a secret token; requests without it (or the cookie it\n"
      "sets) are refused. Every change is saved at once. Ctrl-C stops the server.");
  cmd->callback([action, o] {
    *action = [o] {
      if (!web::ServeAvailable()) {
        throw ToolError(kExitUsage, "",
                        "serve: this build of telbook has no web server (it was built without "
                        "cpp-httplib)");
      }
      if (o->host == "localhost") o->host = "127.0.0.1";
      if (!web::IsLoopbackHost(o->host)) {
        if (!o->allow_remote) {
          throw ToolError(kExitUsage, "",
                          "--host " + o->host +
                              " is not a loopback address: other machines could reach the "
                              "phone book; add --allow-remote with a password to mean it");
        }
        const char* password = getenv("TELBOOK_SERVE_PASSWORD");
        o->password = password != nullptr ? password : "";
        if (o->password.size() < 12) {
          throw ToolError(kExitUsage, "",
                          "--allow-remote needs a password of at least 12 characters in the "
                          "environment variable TELBOOK_SERVE_PASSWORD");
        }
      }
      return web::Serve(*o);
    };
  });
}

}  // namespace tool
}  // namespace telbook
