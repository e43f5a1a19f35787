// Two processes on one phone book, each opening, reading, writing and saving it again and again.
// Whatever either opens is one of the saved versions, whole: never a mix of two saves; a save of
// a book the other process saved meanwhile is refused, and made again on the new book.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "interface/telbook.h"
#include "test_util.h"

namespace telbook {
namespace test {
namespace {

constexpr int kVersions = 40;

TL_Kojin Entry(const char* who, int version) {
  TL_Kojin e = Kojin(std::string(who) + " " + std::to_string(version), "\x82\xA0");
  // The record grows with the version, so that a torn file could not pass for a whole one.
  memset(e.Memo, 'm', static_cast<size_t>(version));
  return e;
}

// Checks that the open book is one saved version: entries 1 and 2 of the same save.
::testing::AssertionResult Whole(TL_FaxUtl* s) {
  TL_Kojin first, second;
  if (TL_readKojin(s, &first, 1) != 0 || TL_readKojin(s, &second, 2) != 0) {
    return ::testing::AssertionFailure() << "unreadable entry";
  }
  char who[16];
  int version = -1;
  if (sscanf(first.Name, "%15s %d", who, &version) != 2 || strcmp(first.Name, second.Name) != 0 ||
      strlen(first.Memo) != static_cast<size_t>(version) || strcmp(first.Memo, second.Memo) != 0) {
    return ::testing::AssertionFailure() << "mixed: " << first.Name << " / " << second.Name;
  }
  return ::testing::AssertionSuccess();
}

// One round: open, check, write entries 1 and 2 as `who` `version`, save; when the other
// process saved first, the same again on what it saved. 0 when it worked.
int Round(const std::string& book, const char* who, int version) {
  for (int attempt = 0; attempt < 1000; ++attempt) {
    TL_FaxUtl* s = TL_CreateFaxUtl();
    if (s == nullptr || TL_openDataBase(s, book.c_str()) != 0) return 1;
    if (!Whole(s)) return 2;
    TL_Kojin e = Entry(who, version);
    for (unsigned short n = 1; n <= 2; ++n) {
      unsigned short number = n;
      if (TL_writeKojin(s, &e, &number, 0) != 0) return 3;
    }
    short saved = TL_closeDataBase(s, 0);
    unsigned short category = 0, detail = 0;
    TL_getErrorInfo(s, &category, &detail);
    TL_DestroyFaxUtl(s);
    if (saved == 0) return 0;
    if (category != 40 || detail != 33) return 4;
  }
  return 5;
}

TEST(TwoProcessesTest, BothReadWriteAndSaveAndOnlyWholeVersionsAreSeen) {
  ScratchDir dir;
  std::string book = dir.File("book.tel");
  {
    SessionHolder s;
    ASSERT_EQ(TL_createDataBase(s, book.c_str()), 0);
    TL_Kojin e = Entry("start", 0);
    for (unsigned short n = 1; n <= 2; ++n) {
      unsigned short number = 0;
      ASSERT_EQ(TL_writeKojin(s, &e, &number, 0), 0);
    }
    ASSERT_EQ(TL_closeDataBase(s, 0), 0);
  }

  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    for (int v = 1; v <= kVersions; ++v) {
      int failed = Round(book, "child", v);
      if (failed != 0) _exit(failed);
    }
    _exit(0);
  }
  for (int v = 1; v <= kVersions; ++v) {
    EXPECT_EQ(Round(book, "parent", v), 0) << "round " << v;
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);

  // The last save of either process is the file now.
  SessionHolder s;
  ASSERT_EQ(TL_openDataBase(s, book.c_str()), 0);
  EXPECT_TRUE(Whole(s));
  TL_Kojin last;
  ASSERT_EQ(TL_readKojin(s, &last, 1), 0);
  std::string name = last.Name;
  EXPECT_TRUE(name == "parent " + std::to_string(kVersions) ||
              name == "child " + std::to_string(kVersions))
      << name;
  EXPECT_EQ(dir.List(), std::vector<std::string>{"book.tel"});
}

}  // namespace
}  // namespace test
}  // namespace telbook
