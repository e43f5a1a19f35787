// Saves and exports on POSIX through what only POSIX has here: symbolic links followed to the
// file they name, permissions, owner and group kept, and a FIFO or a device written into.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "interface/telbook.h"
#include "posix_fifo_reader.h"
#include "test_util.h"

namespace telbook {
namespace test {
namespace {

struct stat StatOf(const std::string& path) {
  struct stat st = {};
  EXPECT_EQ(lstat(path.c_str(), &st), 0) << path;
  return st;
}

class PosixSafeSaveTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(TL_createDataBase(s_, book_.c_str()), 0);
    ASSERT_EQ(TL_closeDataBase(s_, 0), 0);
    ASSERT_EQ(mkdir(dir_.File("sub").c_str(), 0755), 0);
  }

  // Opens path, adds an entry named name and saves: true when all of it worked.
  bool AddThrough(const std::string& path, const char* name) {
    if (TL_openDataBase(s_, path.c_str()) != 0) return false;
    TL_Kojin e = Kojin(name, "", "1");
    unsigned short number = 0;
    return TL_writeKojin(s_, &e, &number, 0) == 0 && TL_closeDataBase(s_, 0) == 0;
  }

  std::string Names(const std::string& path) {
    std::string names;
    if (TL_openDataBase(s_, path.c_str()) != 0) return "<unopened>";
    TL_Kojin e;
    for (unsigned short n = 1; TL_readKojin(s_, &e, n) == 0; ++n)
      names += std::string(e.Name) + ";";
    TL_closeDataBase(s_, 1);
    return names;
  }

  ScratchDir dir_;
  std::string book_ = dir_.File("book.tel");
  SessionHolder s_;
};

// The file the links lead to is replaced, beside itself; the links stay links, absolute or
// relative, from its own directory or another.
TEST_F(PosixSafeSaveTest, SavesThroughSymbolicLinksReplaceTheFileTheyName) {
  ASSERT_EQ(symlink(book_.c_str(), dir_.File("absolute.tel").c_str()), 0);
  ASSERT_EQ(symlink("../book.tel", dir_.File("sub/relative.tel").c_str()), 0);
  ASSERT_EQ(symlink("sub/relative.tel", dir_.File("chain.tel").c_str()), 0);
  int n = 0;
  for (const char* link : {"absolute.tel", "sub/relative.tel", "chain.tel"}) {
    SCOPED_TRACE(link);
    ino_t before = StatOf(book_).st_ino;
    ASSERT_TRUE(AddThrough(dir_.File(link), link));
    EXPECT_TRUE(S_ISLNK(StatOf(dir_.File(link)).st_mode));
    EXPECT_TRUE(S_ISREG(StatOf(book_).st_mode));
    EXPECT_NE(StatOf(book_).st_ino, before) << "replaced in one step";
    ++n;
  }
  EXPECT_EQ(Names(book_), "absolute.tel;sub/relative.tel;chain.tel;");
  EXPECT_EQ(dir_.List(),
            (std::vector<std::string>{"absolute.tel", "book.tel", "chain.tel", "sub"}));
  EXPECT_EQ(n, 3);
}

// The saved file takes the permissions of the one it replaces and, where the user may set them,
// its owner and group; so does an exported file.
TEST_F(PosixSafeSaveTest, ReplacedFilesKeepPermissionsOwnerAndGroup) {
  const std::string csv = dir_.File("out.csv");
  WriteFile(csv, Bytes{'x'});
  const bool root = geteuid() == 0;
  for (const std::string& path : {book_, csv}) {
    ASSERT_EQ(chmod(path.c_str(), 0640), 0);
    if (root) {
      ASSERT_EQ(chown(path.c_str(), 4321, 8765), 0);
    }
  }
  ASSERT_TRUE(AddThrough(book_, "kept"));
  ASSERT_EQ(TL_openDataBase(s_, book_.c_str()), 0);
  unsigned short personal[] = {1};
  ASSERT_EQ(TL_writeSrchData(s_, personal, 1, nullptr, 0, 0, csv.c_str(), nullptr), 0);
  EXPECT_EQ(TL_closeDataBase(s_, 1), 0);
  for (const std::string& path : {book_, csv}) {
    SCOPED_TRACE(path);
    struct stat st = StatOf(path);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    if (root) {
      EXPECT_EQ(st.st_uid, 4321u);
      EXPECT_EQ(st.st_gid, 8765u);
    }
  }
  EXPECT_EQ(Names(book_), "kept;");
}

// An export onto a link to the open book is refused; one onto a link to another file replaces
// that file and keeps the link.
TEST_F(PosixSafeSaveTest, ExportsThroughLinks) {
  ASSERT_EQ(symlink("book.tel", dir_.File("to-book").c_str()), 0);
  WriteFile(dir_.File("sub/target.csv"), Bytes{'o'});
  ASSERT_EQ(symlink("sub/target.csv", dir_.File("to-csv").c_str()), 0);
  ASSERT_EQ(symlink("sub/new.csv", dir_.File("to-new").c_str()), 0);  // dangling
  ASSERT_TRUE(AddThrough(book_, "one"));
  const Bytes book = ReadFileOrDie(book_);
  ASSERT_EQ(TL_openDataBase(s_, book_.c_str()), 0);
  unsigned short personal[] = {1};
  EXPECT_EQ(TL_writeSrchData(s_, personal, 1, nullptr, 0, 1, dir_.File("to-book").c_str(), nullptr),
            -1);
  EXPECT_EQ(ErrorOf(s_), (Pair{40, 37}));
  EXPECT_EQ(ReadFileOrDie(book_), book);
  for (const char* link : {"to-csv", "to-new"}) {
    SCOPED_TRACE(link);
    ASSERT_EQ(TL_writeSrchData(s_, personal, 1, nullptr, 0, 0, dir_.File(link).c_str(), nullptr),
              0);
    EXPECT_TRUE(S_ISLNK(StatOf(dir_.File(link)).st_mode));
  }
  EXPECT_EQ(TL_closeDataBase(s_, 1), 0);
  EXPECT_EQ(ReadFileOrDie(dir_.File("sub/target.csv")), ReadFileOrDie(dir_.File("sub/new.csv")));
  EXPECT_EQ(ReadFileOrDie(dir_.File("sub/new.csv"))[0], 'K');
  EXPECT_EQ(dir_.List(),
            (std::vector<std::string>{"book.tel", "sub", "to-book", "to-csv", "to-new"}));
}

// A FIFO gets the whole export, read by another process, and stays a FIFO; a character device
// is written into and stays one.
TEST_F(PosixSafeSaveTest, AFifoAndADeviceAreWrittenIntoNeverReplaced) {
  ASSERT_TRUE(AddThrough(book_, "through the pipe"));
  const std::string fifo = dir_.File("pipe");
  const std::string got = dir_.File("got.csv");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  pid_t reader = StartFifoReader(fifo, got);
  ASSERT_GE(reader, 0);
  ASSERT_EQ(TL_openDataBase(s_, book_.c_str()), 0);
  unsigned short personal[] = {1};
  EXPECT_EQ(TL_writeSrchData(s_, personal, 1, nullptr, 0, 0, fifo.c_str(), nullptr), 0);
  EXPECT_TRUE(FifoReaderSucceeded(reader));
  EXPECT_TRUE(S_ISFIFO(StatOf(fifo).st_mode));
  const Bytes bytes = ReadFileOrDie(got);
  const std::string text(bytes.begin(), bytes.end());
  EXPECT_EQ(text.rfind("K1,through the pipe,", 0), 0u) << text;
  EXPECT_EQ(text.substr(text.size() - 2), "\r\n");

  EXPECT_EQ(TL_writeSrchData(s_, personal, 1, nullptr, 0, 1, "/dev/null", nullptr), 0);
  EXPECT_TRUE(S_ISCHR(StatOf("/dev/null").st_mode));
  EXPECT_EQ(TL_closeDataBase(s_, 1), 0);
}

}  // namespace
}  // namespace test
}  // namespace telbook
