// The web editor's few calls into the operating system: random bytes for its tokens, the
// identity of the phone book file, the wait for Ctrl-C, and the desktop's browser.
#ifndef TELBOOK_TOOLS_WEB_WEB_SYSTEM_H_
#define TELBOOK_TOOLS_WEB_WEB_SYSTEM_H_

#include <functional>
#include <string>

namespace telbook {
namespace web {

// n bytes from the system's random source as 2n lower-case hex digits. Throws
// ToolError(kExitFile) when the source cannot be read: a guessable token is no token.
std::string RandomHex(size_t n);

// What the book file is now, as one text: device, inode, size and modification time in
// nanoseconds. Another program's save changes it; "" when the file cannot be looked at.
std::string FileVersion(const std::string& path);

// Runs serve() with Ctrl-C (SIGINT), SIGTERM and SIGHUP held back from every thread it starts;
// the first of them calls stop(), and serve() is expected to return soon after. Returns the
// signal's name, or "" when serve() returned by itself.
std::string RunUntilInterrupted(const std::function<void()>& serve,
                                const std::function<void()>& stop);

// Socket options of the listening socket: the address may be reused after a restart, but never
// shared with another listener on the same port, which would get part of the requests.
void SetListenOptions(int socket);

// Starts the desktop's browser on url without waiting for it; false when it cannot be started.
bool OpenInBrowser(const std::string& url);

}  // namespace web
}  // namespace telbook

#endif  // TELBOOK_TOOLS_WEB_WEB_SYSTEM_H_
