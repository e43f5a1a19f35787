// A save killed at each of its writes: the phone book then holds either its old or its new
// content, byte for byte, and opens; never anything in between, and no file is left beside it.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "interface/telbook.h"
#include "platform/fault_env.h"
#include "test_util.h"

namespace telbook {
namespace test {
namespace {

constexpr int kCrashed = 42;
constexpr int kChildFailed = 43;

// Ends the process, as a power cut or a kill would, at the nth write once armed.
class ExitAtWriteEnv final : public ForwardingEnv {
 public:
  explicit ExitAtWriteEnv(Env* target) : ForwardingEnv(target) {}
  void Arm(int nth) {
    writes_ = 0;
    exit_at_ = nth;
  }
  int writes() const { return writes_; }
  bool Write(FileHandle file, const void* buffer, uint32_t length, uint32_t* count) override {
    if (++writes_ == exit_at_) _exit(kCrashed);
    return ForwardingEnv::Write(file, buffer, length, count);
  }

 private:
  int writes_ = 0;
  int exit_at_ = 0;
};

TL_Kojin Entry(const char* name) { return Kojin(name, "", "0123"); }

bool AddEntries(TL_FaxUtl* s, const char* prefix, int count) {
  for (int i = 0; i < count; ++i) {
    TL_Kojin e = Entry((std::string(prefix) + std::to_string(i)).c_str());
    unsigned short number = static_cast<unsigned short>(i + 1);
    if (TL_writeKojin(s, &e, &number, 0) != 0) return false;
  }
  unsigned short members[] = {1, 2};
  TL_Group g;
  memset(&g, 0, sizeof(g));
  strcpy(g.Name, prefix);
  unsigned short number = 16385;
  return TL_writeGroup(s, &g, &number, 2, members) == 0 && TL_writeOkonomi(s, 1, prefix) == 0;
}

// Opens the phone book, rewrites it, and saves with env armed to end the process at its nth
// write (0: never). True when the save returned 0.
bool ChangeAndSave(ExitAtWriteEnv* env, const std::string& path, int nth) {
  ScopedSessionEnv scoped(env);
  SessionHolder s;
  if (TL_openDataBase(s, path.c_str()) != 0 || !AddEntries(s, "New", 4)) return false;
  env->Arm(nth);
  return TL_closeDataBase(s, 0) == 0;
}

TEST(PosixSaveCrashTest, BookIsOldOrNewAfterACrashAtAnyWrite) {
  ScratchDir dir;
  std::string path = dir.File("book.tel");
  {
    SessionHolder s;
    ASSERT_EQ(TL_createDataBase(s, path.c_str()), 0);
    ASSERT_TRUE(AddEntries(s, "Old", 3));
    ASSERT_EQ(TL_closeDataBase(s, 0), 0);
  }
  const Bytes old_book = ReadFileOrDie(path);

  ExitAtWriteEnv counter(Env::Default());
  ASSERT_TRUE(ChangeAndSave(&counter, path, 0));
  const int writes = counter.writes();
  const Bytes new_book = ReadFileOrDie(path);
  ASSERT_NE(old_book, new_book);
  ASSERT_GT(writes, 10);

  const bool unnamed = HasUnnamedFiles(dir.path());
  int old_seen = 0;
  int new_seen = 0;
  for (int nth = 1; nth <= writes + 1; ++nth) {
    SCOPED_TRACE(::testing::Message() << "exit at write " << nth);
    WriteFile(path, old_book);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      ExitAtWriteEnv env(Env::Default());
      _exit(ChangeAndSave(&env, path, nth) ? 0 : kChildFailed);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), nth <= writes ? kCrashed : 0);

    Bytes now = ReadFileOrDie(path);
    EXPECT_TRUE(now == old_book || now == new_book);
    old_seen += now == old_book;
    new_seen += now == new_book;
    {
      SessionHolder s;
      ASSERT_EQ(TL_openDataBase(s, path.c_str()), 0);
      TL_Kojin e;
      ASSERT_EQ(TL_readKojin(s, &e, 1), 0);
      EXPECT_STREQ(e.Name, now == new_book ? "New0" : "Old0");
      EXPECT_EQ(TL_closeDataBase(s, 0), 0);
    }
    // Where the file system has unnamed files, a killed save leaves nothing behind; elsewhere
    // its named temporary files, which check and clean find.
    for (const std::string& name : dir.List()) {
      if (name == "book.tel") continue;
      EXPECT_FALSE(unnamed) << name;
      EXPECT_EQ(name.compare(0, 3, "tel"), 0) << name;
      std::remove(dir.File(name).c_str());
    }
  }
  EXPECT_EQ(old_seen, writes);
  EXPECT_EQ(new_seen, 1);
}

}  // namespace
}  // namespace test
}  // namespace telbook
