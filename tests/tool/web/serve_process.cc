// Process plumbing for the tests of `telbook serve`: fork and exec the tool, read its address
// from its first line with a deadline, SIGINT and collect its output at the end.
#include "tests/tool/web/serve_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>

#include <gtest/gtest.h>

namespace telbook {
namespace tooltest {
namespace {

// Appends what fd holds now, waiting at most timeout_ms for the first byte; false at its end.
bool ReadSome(int fd, std::string* sink, int timeout_ms) {
  pollfd p = {fd, POLLIN, 0};
  if (poll(&p, 1, timeout_ms) <= 0) return true;
  char buffer[4096];
  ssize_t n = read(fd, buffer, sizeof(buffer));
  if (n <= 0) return false;
  sink->append(buffer, static_cast<size_t>(n));
  return true;
}

std::string ReadToEnd(int fd) {
  std::string all;
  while (ReadSome(fd, &all, 30000)) {
  }
  return all;
}

}  // namespace

ServeProcess::ServeProcess(const std::string& book, const std::string& tmpdir,
                           const std::vector<std::string>& extra) {
  // A refused request may close its connection while the client still writes the body.
  signal(SIGPIPE, SIG_IGN);
  int out_pipe[2];
  int err_pipe[2];
  if (pipe(out_pipe) != 0 || pipe(err_pipe) != 0) {
    ADD_FAILURE() << "pipe";
    return;
  }
  pid_ = fork();
  if (pid_ == 0) {
    dup2(out_pipe[1], 1);
    dup2(err_pipe[1], 2);
    close(out_pipe[0]);
    close(err_pipe[0]);
    setenv("TMPDIR", tmpdir.c_str(), 1);
    std::vector<std::string> args = {TELBOOK_TOOL_PATH, "serve", book, "--port", "0"};
    args.insert(args.end(), extra.begin(), extra.end());
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(&a[0]);
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  close(out_pipe[1]);
  close(err_pipe[1]);
  out_ = out_pipe[0];
  err_ = err_pipe[0];
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (first_lines_.find('\n') == std::string::npos &&
         std::chrono::steady_clock::now() < deadline) {
    if (!ReadSome(out_, &first_lines_, 200)) break;
  }
  const std::string prefix = "http://127.0.0.1:";
  size_t at = first_lines_.find(prefix);
  size_t token_at = first_lines_.find("/?token=");
  size_t end = first_lines_.find('\n');
  if (at != 0 || token_at == std::string::npos || end == std::string::npos) {
    ADD_FAILURE() << "serve printed no address: " << first_lines_;
    return;
  }
  port_ = atoi(first_lines_.c_str() + prefix.size());
  token_ = first_lines_.substr(token_at + 8, end - token_at - 8);
}

ServeProcess::Stopped ServeProcess::Stop() {
  Stopped s;
  if (pid_ <= 0) return s;
  kill(pid_, SIGINT);
  s.out = first_lines_ + ReadToEnd(out_);
  s.err = ReadToEnd(err_);
  int wstatus = 0;
  waitpid(pid_, &wstatus, 0);
  s.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1;
  close(out_);
  close(err_);
  pid_ = -1;
  return s;
}

ServeProcess::~ServeProcess() {
  if (pid_ > 0) Stop();
}

PageClient::PageClient(const ServeProcess& server)
    : server_(server), client_("127.0.0.1", server.port()) {
  client_.set_read_timeout(60, 0);
  httplib::Result page = client_.Get("/", Headers());
  if (!page || page->status != 200) {
    ADD_FAILURE() << "the page did not load";
    return;
  }
  const std::string mark = "name=\"telbook-page\" content=\"";
  size_t at = page->body.find(mark);
  if (at == std::string::npos) {
    ADD_FAILURE() << "the page has no page token";
    return;
  }
  at += mark.size();
  page_token = page->body.substr(at, page->body.find('"', at) - at);
  Refresh();
}

httplib::Headers PageClient::Headers() const {
  return {{"Host", server_.host()}, {"Cookie", server_.cookie()}};
}

httplib::Result PageClient::Get(const std::string& path) { return client_.Get(path, Headers()); }

nlohmann::json PageClient::GetJson(const std::string& path) {
  httplib::Result r = Get(path);
  if (!r || r->status != 200) {
    ADD_FAILURE() << "GET " << path << ": " << (r ? r->status : -1) << " " << (r ? r->body : "");
    return nlohmann::json::object();
  }
  return nlohmann::json::parse(r->body);
}

httplib::Result PageClient::SendRaw(const std::string& method, const std::string& path,
                                    const std::string& body, const std::string& type,
                                    const httplib::Headers& headers) {
  if (method == "PUT") return client_.Put(path, headers, body, type);
  if (method == "DELETE") return client_.Delete(path, headers, body, type);
  return client_.Post(path, headers, body, type);
}

httplib::Result PageClient::Send(const std::string& method, const std::string& path,
                                 const nlohmann::json& body) {
  httplib::Headers headers = Headers();
  headers.emplace("Origin", "http://" + server_.host());
  headers.emplace("X-Telbook-Page", page_token);
  headers.emplace("X-Telbook-Version", version);
  httplib::Result r = SendRaw(method, path, body.dump(), "application/json", headers);
  if (r && r->status == 200) {
    nlohmann::json j = nlohmann::json::parse(r->body, nullptr, false);
    if (j.is_object() && j.contains("version")) version = j["version"].get<std::string>();
  }
  return r;
}

void ServedDemo::SetUp() {
  ASSERT_EQ(dir_.Tool({"demo", dir_.File("demo")}).status, 0);
  server_ = std::make_unique<ServeProcess>(book_, dir_.path());
  ASSERT_NE(server_->port(), 0);
  page_ = std::make_unique<PageClient>(*server_);
}

void ServedDemo::TearDown() {
  if (!server_ || !server_->running()) return;
  ServeProcess::Stopped stopped = server_->Stop();
  EXPECT_EQ(stopped.status, 0) << stopped.err;
}

void PageClient::Refresh() { version = GetJson("/api/book").value("version", ""); }

}  // namespace tooltest
}  // namespace telbook
