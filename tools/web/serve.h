// `telbook serve`: the phone book editor in a browser, one book per server, on the loopback
// interface unless told otherwise.
#ifndef TELBOOK_TOOLS_WEB_SERVE_H_
#define TELBOOK_TOOLS_WEB_SERVE_H_

#include <string>

namespace telbook {
namespace web {

struct ServeOptions {
  std::string book;
  std::string host = "127.0.0.1";
  int port = 0;  // 0: a free port chosen by the system
  bool open = false;
  bool allow_remote = false;
  std::string password;  // required with allow_remote for an address that is not loopback
};

// False in a build without the web server (no cpp-httplib, as on Windows).
bool ServeAvailable();

// Serves until Ctrl-C or SIGTERM; returns the exit status. Prints the address, with its token,
// as the first line of standard output. Throws ToolError for a book that cannot be opened or an
// address that cannot be had.
int Serve(const ServeOptions& options);

}  // namespace web
}  // namespace telbook

#endif  // TELBOOK_TOOLS_WEB_SERVE_H_
