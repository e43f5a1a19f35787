// The tool between writers on POSIX: changes through symbolic links, an export read from a FIFO
// by another process, and adds killed at random moments, which leave no file behind.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <random>
#include <string>
#include <vector>

#include "tests/posix_fifo_reader.h"
#include "tests/tool/tool_runner.h"

namespace telbook {
namespace tooltest {
namespace {

// Starts the tool with its output thrown away, for a caller that ends it.
pid_t StartTool(const std::vector<std::string>& args, const std::string& tmpdir) {
  pid_t pid = fork();
  if (pid == 0) {
    int null = open("/dev/null", O_RDWR);
    dup2(null, 0);
    dup2(null, 1);
    dup2(null, 2);
    setenv("TMPDIR", tmpdir.c_str(), 1);
    std::vector<std::string> copy = args;
    std::vector<char*> argv;
    std::string tool = TELBOOK_TOOL_PATH;
    argv.push_back(&tool[0]);
    for (std::string& a : copy) argv.push_back(&a[0]);
    argv.push_back(nullptr);
    execv(tool.c_str(), argv.data());
    _exit(127);
  }
  return pid;
}

TEST(PosixSafetyTool, ChangesThroughASymbolicLinkKeepTheLink) {
  Scratch dir;
  const std::string book = dir.File("b.tlb");
  ASSERT_EQ(dir.Tool({"create", book}).status, 0);
  ASSERT_EQ(symlink("b.tlb", dir.File("s.tlb").c_str()), 0);
  Result run = dir.Tool({"add", dir.File("s.tlb"), "--name", "x"});
  ASSERT_EQ(run.status, 0) << run.err;
  struct stat st;
  ASSERT_EQ(lstat(dir.File("s.tlb").c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  EXPECT_NE(dir.Tool({"list", book}).out.find("x"), std::string::npos);
  EXPECT_EQ(dir.List(), (std::vector<std::string>{"b.tlb", "s.tlb"}));
}

TEST(PosixSafetyTool, AnExportToAFifoIsReadWholeByAnotherProcess) {
  Scratch dir;
  const std::string book = dir.File("b.tlb");
  ASSERT_EQ(dir.Tool({"create", book}).status, 0);
  ASSERT_EQ(dir.Tool({"add", book, "--name", "through the pipe"}).status, 0);
  const std::string fifo = dir.File("f");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  for (const char* format : {"--subset", "--vcard"}) {
    SCOPED_TRACE(format);
    const std::string got = dir.File("got");
    pid_t reader = StartFifoReader(fifo, got);
    ASSERT_GE(reader, 0);
    Result run = dir.Tool({"export", book, fifo, format});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(FifoReaderSucceeded(reader));
    const std::string bytes = ReadAll(got);
    if (std::string(format) == "--subset") {
      EXPECT_EQ(bytes.substr(0, 8), "KVTL0200");
      EXPECT_GT(bytes.size(), 160112u);
    } else {
      EXPECT_NE(bytes.find("FN:through the pipe\r\n"), std::string::npos) << bytes;
      EXPECT_EQ(bytes.substr(bytes.size() - 11), "END:VCARD\r\n");
    }
    struct stat st;
    ASSERT_EQ(stat(fifo.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
  }
}

// Hundreds of adds, each killed at a random moment of its run, then one that runs to its end:
// the book is sound and no temporary file is left, neither beside it nor in the temporary
// directory. (A save killed between the link of its whole new file and the rename leaves that
// file for the next save beside it to remove.)
TEST(PosixSafetyTool, AddsKilledAtRandomMomentsLeaveNothingBehind) {
  constexpr int kKills = 300;
  Scratch dir;
  const std::string book = dir.File("b.tlb");
  ASSERT_EQ(dir.Tool({"create", book}).status, 0);
  // How long one add takes here, to spread the kills over the whole of one.
  auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < 5; ++i) ASSERT_EQ(dir.Tool({"add", book, "--name", "timed"}).status, 0);
  auto one = std::chrono::duration_cast<std::chrono::microseconds>(
                 std::chrono::steady_clock::now() - start) /
             5;
  std::mt19937 random(20240611);
  std::uniform_int_distribution<long> moment(0, one.count() * 6 / 5);
  int finished = 0;
  for (int i = 0; i < kKills; ++i) {
    pid_t pid = StartTool({"add", book, "--name", "k" + std::to_string(i)}, dir.path());
    ASSERT_GT(pid, 0);
    usleep(static_cast<useconds_t>(moment(random)));
    kill(pid, SIGKILL);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    finished += WIFEXITED(status) && WEXITSTATUS(status) == 0;
  }
  ASSERT_EQ(dir.Tool({"add", book, "--name", "last"}).status, 0);
  EXPECT_EQ(dir.List(), std::vector<std::string>{"b.tlb"});
  Result run = dir.Tool({"check", book});
  EXPECT_EQ(run.status, 0) << run.out;
  EXPECT_NE(run.out.find("sound"), std::string::npos) << run.out;
  // Killed adds were as many as a test of them needs, and some finished before the kill.
  EXPECT_LT(finished, kKills * 9 / 10);
}

}  // namespace
}  // namespace tooltest
}  // namespace telbook
