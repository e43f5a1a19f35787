// The web editor's operating system calls on POSIX: getrandom, stat, a thread in sigwait for the
// stop signals, and xdg-open started with posix_spawnp.
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <spawn.h>
#include <sys/random.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <thread>
#include <vector>

#include "tools/tool_error.h"
#include "tools/web/web_system.h"

extern char** environ;

namespace telbook {
namespace web {

std::string RandomHex(size_t n) {
  std::vector<unsigned char> bytes(n);
  size_t done = 0;
  while (done < n) {
    ssize_t got = getrandom(bytes.data() + done, n - done, 0);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) {
      throw tool::ToolError(
          tool::kExitFile, "",
          std::string("cannot read the system's random source: ") + strerror(errno));
    }
    done += static_cast<size_t>(got);
  }
  static const char kDigits[] = "0123456789abcdef";
  std::string hex;
  for (unsigned char b : bytes) {
    hex += kDigits[b >> 4];
    hex += kDigits[b & 15];
  }
  return hex;
}

std::string FileVersion(const std::string& path) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return std::string();
  return std::to_string(st.st_dev) + "-" + std::to_string(st.st_ino) + "-" +
         std::to_string(st.st_size) + "-" + std::to_string(st.st_mtim.tv_sec) + "." +
         std::to_string(st.st_mtim.tv_nsec);
}

std::string RunUntilInterrupted(const std::function<void()>& serve,
                                const std::function<void()>& stop) {
  // Blocked here, the signals stay blocked in every thread started from now on, so that only
  // the waiting thread below takes them; SIGUSR1 tells it that serve() ended by itself.
  sigset_t set;
  sigemptyset(&set);
  for (int s : {SIGINT, SIGTERM, SIGHUP, SIGUSR1}) sigaddset(&set, s);
  sigset_t old;
  pthread_sigmask(SIG_BLOCK, &set, &old);
  signal(SIGPIPE, SIG_IGN);
  int taken = 0;
  std::thread waiter([&] {
    int s = 0;
    while (sigwait(&set, &s) != 0) {
    }
    taken = s;
    if (s != SIGUSR1) stop();
  });
  serve();
  pthread_kill(waiter.native_handle(), SIGUSR1);
  waiter.join();
  pthread_sigmask(SIG_SETMASK, &old, nullptr);
  switch (taken) {
    case SIGINT:
      return "SIGINT";
    case SIGTERM:
      return "SIGTERM";
    case SIGHUP:
      return "SIGHUP";
    default:
      return std::string();
  }
}

void SetListenOptions(int socket) {
  int yes = 1;
  setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof(yes));
}

bool OpenInBrowser(const std::string& url) {
  std::string program = "xdg-open";
  std::vector<char*> argv = {&program[0], const_cast<char*>(url.c_str()), nullptr};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  // The browser's chatter would mix with the server's own lines.
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  int rc = posix_spawnp(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) return false;
  // xdg-open hands the address on and ends; reap it so that it leaves no zombie.
  std::thread([pid] {
    int status = 0;
    waitpid(pid, &status, 0);
  }).detach();
  return true;
}

}  // namespace web
}  // namespace telbook
