// Repair on POSIX keeps what the user named: a symbolic link stays a link to the repaired book,
// every hard link sees the repaired book, the owner's permissions are kept, and a read-only book
// is refused.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "tests/tool/tool_runner.h"

namespace telbook {
namespace tooltest {
namespace {

class PosixRepair : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(dir_.Tool({"create", book_}).status, 0);
    ASSERT_EQ(dir_.Tool({"add", book_, "--name", "A", "--furigana", "あ"}).status, 0);
    // Counts that the index does not hold: a fault the repair sets right.
    std::string file = ReadAll(book_);
    file[8] = 7;
    WriteAll(book_, file);
    damaged_ = file;
  }

  Scratch dir_;
  std::string book_ = dir_.File("book.tlb");
  std::string damaged_;
};

TEST_F(PosixRepair, ALinkStaysALinkAndHardLinksSeeTheRepair) {
  std::string link = dir_.File("link.tlb");
  std::string other = dir_.File("other.tlb");
  ASSERT_EQ(symlink("book.tlb", link.c_str()), 0);
  ASSERT_EQ(::link(book_.c_str(), other.c_str()), 0);
  ASSERT_EQ(chmod(book_.c_str(), 0640), 0);
  Result run = dir_.Tool({"repair", link});
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  struct stat st;
  ASSERT_EQ(lstat(link.c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  ASSERT_EQ(stat(book_.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
  EXPECT_EQ(st.st_nlink, 2u);
  EXPECT_EQ(ReadAll(other), ReadAll(book_));
  EXPECT_EQ(dir_.Tool({"check", other}).status, 0);
  EXPECT_EQ(ReadAll(link + ".bak"), damaged_);
  EXPECT_EQ(dir_.List(),
            (std::vector<std::string>{"book.tlb", "link.tlb", "link.tlb.bak", "other.tlb"}));
}

TEST_F(PosixRepair, AReadOnlyBookIsRefused) {
  ASSERT_EQ(chmod(book_.c_str(), 0444), 0);
  Result run = dir_.Tool({"repair", book_});
  EXPECT_EQ(run.status, 3);
  EXPECT_NE(run.err.find("read-only"), std::string::npos) << run.err;
  EXPECT_EQ(ReadAll(book_), damaged_);
  // Telling what a repair would do writes nothing, so it is allowed.
  EXPECT_EQ(dir_.Tool({"repair", book_, "--dry-run"}).status, 0);
  EXPECT_EQ(dir_.List(), std::vector<std::string>{"book.tlb"});
}

}  // namespace
}  // namespace tooltest
}  // namespace telbook
