// The web editor's guard: which addresses it may listen on, and the checks every request passes
// before it reaches a route (the secret token or its cookie, the Host header, and for changes the
// page's token and the same Origin). Pure functions over texts, so that each rule is tested alone.
#ifndef TELBOOK_TOOLS_WEB_SECURITY_H_
#define TELBOOK_TOOLS_WEB_SECURITY_H_

#include <cstddef>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

namespace telbook {
namespace web {

// True for the names and literals of the loopback interface: localhost, 127.0.0.0/8, ::1.
bool IsLoopbackHost(const std::string& host);

// Compares two secrets in time that does not depend on where they first differ.
bool SameSecret(const std::string& a, const std::string& b);

// The value of cookie `name` in a Cookie header, "" when it is not there.
std::string CookieValue(const std::string& header, const std::string& name);

// The Host header values that name this server: each accepted host name with the port
// ("127.0.0.1:8080", "localhost:8080"; an IPv6 literal in brackets). Nothing else, so that a
// page of another site whose name was made to resolve to this machine cannot talk to it.
std::vector<std::string> AcceptedHosts(const std::string& bound_host, int port);
bool HostAccepted(const std::vector<std::string>& accepted, const std::string& host_header);

// The Origin a change must come with: "http://" and its own Host.
bool SameOrigin(const std::string& origin, const std::string& host_header);

// The password of the Basic credentials of an Authorization header, "" when there are none.
std::string BasicPassword(const std::string& authorization);

// Tokens handed to the pages served, one per page; a change must carry one of them. The newest
// `capacity` are kept, so that a page left open long ago must be reloaded.
class PageTokens {
 public:
  explicit PageTokens(size_t capacity) : capacity_(capacity) {}
  void Add(const std::string& token);
  bool Known(const std::string& token) const;

 private:
  size_t capacity_;
  mutable std::mutex mutex_;
  std::deque<std::string> tokens_;
};

}  // namespace web
}  // namespace telbook

#endif  // TELBOOK_TOOLS_WEB_SECURITY_H_
