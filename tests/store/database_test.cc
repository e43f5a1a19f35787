// Creating, opening and closing phone books through the exported functions.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "interface/telbook.h"
#include "test_util.h"

namespace telbook {
namespace test {
namespace {

class DatabaseTest : public ::testing::Test {
 protected:
  ScratchDir dir_;
  SessionHolder s_;
};

TEST_F(DatabaseTest, NewSessionHoldsNoPairAndNothingOpen) {
  EXPECT_EQ(ErrorOf(s_), (Pair{0, 0}));
  EXPECT_EQ(TL_getFileVersion(s_), 0);
  EXPECT_EQ(TL_closeDataBase(s_, 0), -1);
  EXPECT_EQ(ErrorOf(s_), (Pair{40, 16}));
}

TEST_F(DatabaseTest, CreateLaysOutAnEmptyVersion2File) {
  std::string path = dir_.File("book.tel");
  ASSERT_EQ(TL_createDataBase(s_, path.c_str()), 0);
  EXPECT_EQ(TL_getFileVersion(s_), 2);
  unsigned short personal = 7, groups = 7;
  EXPECT_EQ(TL_readDataCount(s_, &personal, &groups), 0);
  EXPECT_EQ(personal, 0);
  EXPECT_EQ(groups, 0);
  ASSERT_EQ(TL_closeDataBase(s_, 0), 0);

  Bytes b = ReadFileOrDie(path);
  ASSERT_EQ(b.size(), 160112u);
  const uint8_t first16[] = {0x4B, 0x56, 0x54, 0x4C, 0x30, 0x32, 0x30, 0x30,
                             0x00, 0x00, 0x00, 0x00, 0x0F, 0x27, 0x88, 0x13};
  EXPECT_EQ(0, memcmp(b.data(), first16, 16));
  EXPECT_EQ(b, EmptyBook());
  EXPECT_EQ(dir_.List(), std::vector<std::string>{"book.tel"});
}

TEST_F(DatabaseTest, CreateReplacesAnExistingFile) {
  std::string path = dir_.File("book.tel");
  WriteFile(path, Bytes(300000, 0xAB));
  ASSERT_EQ(TL_createDataBase(s_, path.c_str()), 0);
  ASSERT_EQ(TL_closeDataBase(s_, 1), 0);
  EXPECT_EQ(ReadFileOrDie(path), EmptyBook());
}

TEST_F(DatabaseTest, CreateInMissingDirectoryFails) {
  std::string path = dir_.File("missing/book.tel");
  EXPECT_EQ(TL_createDataBase(s_, path.c_str()), -1);
  EXPECT_EQ(ErrorOf(s_), (Pair{25, 16}));
  EXPECT_EQ(TL_closeDataBase(s_, 0), -1);
}

TEST_F(DatabaseTest, OpenMissingFileFails) {
  EXPECT_EQ(TL_openDataBase(s_, dir_.File("none.tel").c_str()), -1);
  EXPECT_EQ(ErrorOf(s_), (Pair{25, 16}));
  EXPECT_EQ(TL_getFileVersion(s_), 0);
}

TEST_F(DatabaseTest, LongPathsAreRefused) {
  std::string long_path = dir_.path() + "/" + std::string(300, 'a');
  EXPECT_EQ(TL_createDataBase(s_, long_path.c_str()), -1);
  EXPECT_EQ(ErrorOf(s_), (Pair{25, 16}));
  EXPECT_FALSE(FileExists(long_path));
  // Exactly 260 bytes is one too many; 259 is the longest path.
  std::string at_limit = dir_.path() + "/";
  at_limit += std::string(260 - at_limit.size(), 'b');
  ASSERT_EQ(at_limit.size(), 260u);
  EXPECT_EQ(TL_openDataBase(s_, at_limit.c_str()), -1);
  EXPECT_EQ(ErrorOf(s_), (Pair{25, 16}));
  EXPECT_EQ(TL_createDataBase(s_, nullptr), -1);
}

TEST_F(DatabaseTest, SecondOpenIsRefusedWithoutAPair) {
  std::string path = dir_.File("book.tel");
  ASSERT_EQ(TL_createDataBase(s_, path.c_str()), 0);
  EXPECT_EQ(TL_openDataBase(s_, dir_.File("none.tel").c_str()), -1);
  EXPECT_EQ(ErrorOf(s_), (Pair{0, 0}));
  EXPECT_EQ(TL_createDataBase(s_, dir_.File("other.tel").c_str()), -1);
  EXPECT_EQ(ErrorOf(s_), (Pair{0, 0}));
  EXPECT_FALSE(FileExists(dir_.File("other.tel")));
  EXPECT_EQ(TL_getFileVersion(s_), 2);
  EXPECT_EQ(TL_closeDataBase(s_, 0), 0);
}

TEST_F(DatabaseTest, PairSurvivesLaterSuccess) {
  EXPECT_EQ(TL_openDataBase(s_, dir_.File("none.tel").c_str()), -1);
  ASSERT_EQ(TL_createDataBase(s_, dir_.File("book.tel").c_str()), 0);
  EXPECT_EQ(ErrorOf(s_), (Pair{25, 16}));
}

TEST_F(DatabaseTest, NothingOpenRefusesCountsAndVersion) {
  unsigned short personal = 5, groups = 5;
  EXPECT_EQ(TL_readDataCount(s_, &personal, &groups), -1);
  EXPECT_EQ(personal, 0);
  EXPECT_EQ(groups, 0);
  EXPECT_EQ(ErrorOf(s_), (Pair{24, 16}));
  EXPECT_EQ(TL_getFileVersion(s_), 0);
}

TEST_F(DatabaseTest, CloseWithoutChangeLeavesFileAndNoTemporaries) {
  std::string path = dir_.File("book.tel");
  Bytes book = EmptyBook();
  PutU16(&book, 8, 3);  // counts written by another program: the used slots are reported instead
  PutU16(&book, 10, 2);
  WriteFile(path, book);
  for (short discard : {0, 1}) {
    ASSERT_EQ(TL_openDataBase(s_, path.c_str()), 0);
    unsigned short personal = 9, groups = 9;
    EXPECT_EQ(TL_readDataCount(s_, &personal, &groups), 0);
    EXPECT_EQ(personal, 0);
    EXPECT_EQ(groups, 0);
    ASSERT_EQ(TL_closeDataBase(s_, discard), 0);
    EXPECT_EQ(ReadFileOrDie(path), book);
    EXPECT_EQ(dir_.List(), std::vector<std::string>{"book.tel"});
  }
}

TEST_F(DatabaseTest, DestroyWithPhoneBookOpenReleasesIt) {
  std::string path = dir_.File("book.tel");
  {
    SessionHolder other;
    ASSERT_EQ(TL_createDataBase(other, path.c_str()), 0);
  }
  // The handle is gone: nothing holds the file, so a create may replace it.
  ASSERT_EQ(TL_createDataBase(s_, path.c_str()), 0);
  EXPECT_EQ(TL_closeDataBase(s_, 0), 0);
}

struct VersionCase {
  const char* magic;
  const char* version;
  bool v1_layout;
  short open_status;
  short reported;
};

class VersionTest : public DatabaseTest, public ::testing::WithParamInterface<VersionCase> {};

TEST_P(VersionTest, MagicAndVersion) {
  const VersionCase& c = GetParam();
  std::string path = dir_.File("book.tel");
  WriteFile(path, c.v1_layout ? EmptyBookV1(c.magic, c.version) : EmptyBook(c.magic, c.version));
  EXPECT_EQ(TL_openDataBase(s_, path.c_str()), c.open_status);
  if (c.open_status == 0) {
    EXPECT_EQ(TL_getFileVersion(s_), c.reported);
    EXPECT_EQ(TL_closeDataBase(s_, 0), 0);
  } else {
    EXPECT_EQ(TL_getFileVersion(s_), 0);
    EXPECT_EQ(TL_closeDataBase(s_, 0), -1);
  }
}

INSTANTIATE_TEST_SUITE_P(Files, VersionTest,
                         ::testing::Values(VersionCase{"KVTL", "0200", false, 0, 2},
                                           VersionCase{"KVTL", "0100", true, 0, 1},
                                           VersionCase{"KVTL", "0199", true, 0, 1},
                                           VersionCase{"KVPL", "0300", false, 0, 3},
                                           VersionCase{"KVTL", "0300", false, -1, 0},
                                           VersionCase{"KVPL", "0200", false, -1, 0},
                                           VersionCase{"KVTL", "0400", true, 0, 0},
                                           VersionCase{"KVTL", "1200", true, 0, 0},
                                           VersionCase{"KVTL", "02x0", true, 0, 0},
                                           VersionCase{"KVPL", "0400", true, -1, 0},
                                           VersionCase{"XXXX", "0200", false, -1, 0}));

TEST_F(DatabaseTest, WrongMagicRecordsNoPair) {
  std::string path = dir_.File("book.tel");
  WriteFile(path, EmptyBook("KVPL", "0200"));
  EXPECT_EQ(TL_openDataBase(s_, path.c_str()), -1);
  EXPECT_EQ(ErrorOf(s_), (Pair{0, 0}));
}

TEST_F(DatabaseTest, ShortVersion2FileOpensAsVersion1KeepingTheProbesPair) {
  std::string path = dir_.File("book.tel");
  WriteFile(path, EmptyBookV1("KVTL", "0200"));
  ASSERT_EQ(TL_openDataBase(s_, path.c_str()), 0);
  EXPECT_EQ(TL_getFileVersion(s_), 1);
  EXPECT_EQ(ErrorOf(s_), (Pair{14, 15}));
}

TEST_F(DatabaseTest, Version2HeaderOverVersion1RecordsOpensAsVersion1) {
  std::string path = dir_.File("book.tel");
  Bytes book = EmptyBookV1("KVTL", "0200");
  // A first record at 16512 (kind 1, then 0), and enough behind it to pass the length test.
  book.resize(100000, 0x20);
  book[16512] = 1;
  book[16513] = 0;
  WriteFile(path, book);
  ASSERT_EQ(TL_openDataBase(s_, path.c_str()), 0);
  EXPECT_EQ(TL_getFileVersion(s_), 1);
}

TEST_F(DatabaseTest, Version1FileWithVersion3TextFailsMagicAfterProbe) {
  std::string path = dir_.File("book.tel");
  WriteFile(path, EmptyBookV1("KVPL", "0300"));
  EXPECT_EQ(TL_openDataBase(s_, path.c_str()), -1);
  EXPECT_EQ(ErrorOf(s_), (Pair{14, 15}));
}

TEST_F(DatabaseTest, FileShorterThanHeaderFails) {
  std::string path = dir_.File("book.tel");
  Bytes book = EmptyBook();
  book.resize(100);
  WriteFile(path, book);
  EXPECT_EQ(TL_openDataBase(s_, path.c_str()), -1);
  EXPECT_EQ(ErrorOf(s_), (Pair{14, 15}));
  EXPECT_EQ(TL_closeDataBase(s_, 0), -1);
}

}  // namespace
}  // namespace test
}  // namespace telbook
