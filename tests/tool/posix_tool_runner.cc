// Process plumbing of the end-to-end tests on POSIX: fork, exec the tool, collect both streams;
// scratch directories made by mkdtemp.
#include "tests/tool/tool_runner.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

namespace telbook {
namespace tooltest {

Result RunTool(const std::vector<std::string>& args, const std::string& tmpdir,
               const std::string* input) {
  int out_pipe[2];
  int err_pipe[2];
  int in_pipe[2] = {-1, -1};
  // Close-on-exec, so that a tool started from another thread meanwhile holds no end of them.
  if (pipe2(out_pipe, O_CLOEXEC) != 0 || pipe2(err_pipe, O_CLOEXEC) != 0) {
    throw std::runtime_error("pipe");
  }
  if (input != nullptr && pipe2(in_pipe, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
  pid_t pid = fork();
  if (pid == 0) {
    dup2(out_pipe[1], 1);
    dup2(err_pipe[1], 2);
    close(out_pipe[0]);
    close(err_pipe[0]);
    if (input != nullptr) {
      dup2(in_pipe[0], 0);
      close(in_pipe[0]);
      close(in_pipe[1]);
    } else {
      int null_in = open("/dev/null", O_RDONLY);
      if (null_in >= 0) dup2(null_in, 0);
    }
    if (!tmpdir.empty()) setenv("TMPDIR", tmpdir.c_str(), 1);
    std::vector<char*> argv;
    std::string tool = TELBOOK_TOOL_PATH;
    argv.push_back(&tool[0]);
    std::vector<std::string> copy = args;
    for (std::string& a : copy) argv.push_back(&a[0]);
    argv.push_back(nullptr);
    execv(tool.c_str(), argv.data());
    _exit(127);
  }
  close(out_pipe[1]);
  close(err_pipe[1]);
  if (input != nullptr) {
    // The tool reads all of its input before it writes: the whole input goes in first.
    close(in_pipe[0]);
    size_t done = 0;
    while (done < input->size()) {
      ssize_t n = write(in_pipe[1], input->data() + done, input->size() - done);
      if (n <= 0) break;
      done += static_cast<size_t>(n);
    }
    close(in_pipe[1]);
  }
  Result run;
  pollfd fds[2] = {{out_pipe[0], POLLIN, 0}, {err_pipe[0], POLLIN, 0}};
  std::string* sinks[2] = {&run.out, &run.err};
  int open_count = 2;
  while (open_count > 0) {
    if (poll(fds, 2, -1) < 0) break;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      char buffer[4096];
      ssize_t n = read(fds[i].fd, buffer, sizeof(buffer));
      if (n <= 0) {
        close(fds[i].fd);
        fds[i].fd = -1;
        --open_count;
      } else {
        sinks[i]->append(buffer, static_cast<size_t>(n));
      }
    }
  }
  int wstatus = 0;
  waitpid(pid, &wstatus, 0);
  run.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1;
  return run;
}

Scratch::Scratch() {
  const char* tmp = getenv("TMPDIR");
  std::string pattern = std::string(tmp != nullptr && tmp[0] ? tmp : "/tmp") + "/tooltest-XXXXXX";
  if (mkdtemp(&pattern[0]) == nullptr) throw std::runtime_error("mkdtemp");
  path_ = pattern;
}

static void RemoveTree(const std::string& path) {
  DIR* d = opendir(path.c_str());
  if (d != nullptr) {
    while (dirent* e = readdir(d)) {
      std::string name = e->d_name;
      if (name == "." || name == "..") continue;
      std::string full = path + "/" + name;
      struct stat st;
      if (lstat(full.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
        RemoveTree(full);
      } else {
        unlink(full.c_str());
      }
    }
    closedir(d);
  }
  rmdir(path.c_str());
}

Scratch::~Scratch() { RemoveTree(path_); }

std::vector<std::string> Scratch::List() const {
  std::vector<std::string> names;
  DIR* d = opendir(path_.c_str());
  if (d == nullptr) return names;
  while (dirent* e = readdir(d)) {
    std::string name = e->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  closedir(d);
  std::sort(names.begin(), names.end());
  return names;
}

bool Exists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0;
}

bool MakeHardLink(const std::string& existing, const std::string& link) {
  return ::link(existing.c_str(), link.c_str()) == 0;
}

bool MakeReadOnly(const std::string& path) { return chmod(path.c_str(), 0444) == 0; }

void MakeWritable(const std::string& path) { chmod(path.c_str(), 0644); }

}  // namespace tooltest
}  // namespace telbook
