// A `telbook serve` of the built tool running beside a test: started on a free port, its address
// and token read from its first line, stopped with Ctrl-C (SIGINT) at the end; and an HTTP client
// that talks to it as the page does.
#ifndef TELBOOK_TESTS_TOOL_WEB_SERVE_PROCESS_H_
#define TELBOOK_TESTS_TOOL_WEB_SERVE_PROCESS_H_

#include <httplib.h>
#include <sys/types.h>

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "tests/tool/tool_runner.h"

namespace telbook {
namespace tooltest {

class ServeProcess {
 public:
  // Starts `telbook serve BOOK --port 0` with extra arguments and TMPDIR set to tmpdir; waits for
  // its address. Fails the test (and leaves port() 0) when it does not print one.
  ServeProcess(const std::string& book, const std::string& tmpdir,
               const std::vector<std::string>& extra = {});
  // Stops the server as Ctrl-C would, when Stop() was not called.
  ~ServeProcess();
  ServeProcess(const ServeProcess&) = delete;
  ServeProcess& operator=(const ServeProcess&) = delete;

  bool running() const { return pid_ > 0; }
  int port() const { return port_; }
  const std::string& token() const { return token_; }
  std::string host() const { return "127.0.0.1:" + std::to_string(port_); }
  std::string cookie() const { return "telbook-" + std::to_string(port_) + "=" + token_; }

  struct Stopped {
    int status = -1;  // exit status, -1 when it did not exit normally
    std::string out;  // everything it printed on standard output
    std::string err;
  };
  // Sends SIGINT and waits for the process.
  Stopped Stop();

 private:
  pid_t pid_ = -1;
  int out_ = -1;
  int err_ = -1;
  int port_ = 0;
  std::string token_;
  std::string first_lines_;
};

// A client as the editor's page is one: the cookie, the Host, and for changes the Origin, the
// page's token and the book's version as last read.
class PageClient {
 public:
  explicit PageClient(const ServeProcess& server);

  httplib::Headers Headers() const;
  httplib::Result Get(const std::string& path);
  // The JSON of a GET that must answer 200.
  nlohmann::json GetJson(const std::string& path);
  httplib::Result Send(const std::string& method, const std::string& path,
                       const nlohmann::json& body);
  httplib::Result SendRaw(const std::string& method, const std::string& path,
                          const std::string& body, const std::string& type,
                          const httplib::Headers& headers);
  // Reads the book's version (as the page does after every load).
  void Refresh();

  httplib::Client& raw() { return client_; }
  std::string page_token;
  std::string version;

 private:
  const ServeProcess& server_;
  httplib::Client client_;
};

// A test on a copy of the demo phone book, served, with a page client ready; the server must
// end cleanly on Ctrl-C after the test (under the sanitizers, without a report).
class ServedDemo : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  Scratch dir_;
  std::string book_ = dir_.File("demo/demo.tlb");
  std::unique_ptr<ServeProcess> server_;
  std::unique_ptr<PageClient> page_;
};

}  // namespace tooltest
}  // namespace telbook

#endif  // TELBOOK_TESTS_TOOL_WEB_SERVE_PROCESS_H_
