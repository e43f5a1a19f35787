// The favourite category names: reading, renaming, the index checks and the saved block.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "interface/telbook.h"
#include "platform/fault_env.h"
#include "test_util.h"

namespace telbook {
namespace test {
namespace {

constexpr size_t kPlace = 16;
constexpr size_t kNamesAt = 32 + 4;  // favourites block, then its count and reserved bytes

class FavouritesTest : public ::testing::Test {
 protected:
  void OpenImage(const Bytes& image) {
    WriteFile(path_, image);
    ASSERT_EQ(TL_openDataBase(s_, path_.c_str()), 0);
  }
  std::string Place(const char* names, int i) { return std::string(names + kPlace * i, kPlace); }

  ScratchDir dir_;
  SessionHolder s_;
  std::string path_ = dir_.File("book.tel");
};

TEST_F(FavouritesTest, NewBookHasFiveEmptyNames) {
  ASSERT_EQ(TL_createDataBase(s_, path_.c_str()), 0);
  char names[100];
  memset(names, 'x', sizeof(names));
  ASSERT_EQ(TL_readOkonomi(s_, 0, names), 0);
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(names[kPlace * i], '\0') << i;
    EXPECT_EQ(names[kPlace * i + 1], 'x') << i;  // the rest of a place is left as it was
  }
  EXPECT_EQ(names[80], 'x');  // nothing past the fifth place
}

TEST_F(FavouritesTest, WriteStopsAtSpacesAndControlsAndKeepsOtherNames) {
  ASSERT_EQ(TL_createDataBase(s_, path_.c_str()), 0);
  char all[80] = {};
  strcpy(all + 0, "One");
  strcpy(all + 16, "Two");
  strcpy(all + 32, "Three");
  strcpy(all + 48, "Four");
  strcpy(all + 64, "Five");
  ASSERT_EQ(TL_writeOkonomi(s_, 0, all), 0);
  ASSERT_EQ(TL_writeOkonomi(s_, 2, "first second"), 0);
  ASSERT_EQ(TL_writeOkonomi(s_, 4, " lead"), 0);
  ASSERT_EQ(TL_writeOkonomi(s_, 5, "\x81\x40x\x7F"), 0);  // the full-width space passes
  char names[80];
  memset(names, 'x', sizeof(names));
  ASSERT_EQ(TL_readOkonomi(s_, 0, names), 0);
  EXPECT_STREQ(names + 0, "One");
  EXPECT_STREQ(names + 16, "first");
  EXPECT_STREQ(names + 32, "Three");
  EXPECT_STREQ(names + 48, "");
  EXPECT_STREQ(names + 64, "\x81\x40x");
  char one[kPlace];
  ASSERT_EQ(TL_readOkonomi(s_, 3, one), 0);
  EXPECT_STREQ(one, "Three");
}

TEST_F(FavouritesTest, SixteenByteNamesHaveNoTerminator) {
  ASSERT_EQ(TL_createDataBase(s_, path_.c_str()), 0);
  ASSERT_EQ(TL_writeOkonomi(s_, 1, "ABCDEFGHIJKLMNOPQRST"), 0);
  char names[40];
  memset(names, 'z', sizeof(names));
  ASSERT_EQ(TL_readOkonomi(s_, 1, names), 0);
  EXPECT_EQ(std::string(names, 17), "ABCDEFGHIJKLMNOPz");
}

TEST_F(FavouritesTest, IndexChecksAndRefusals) {
  char names[80];
  EXPECT_EQ(TL_readOkonomi(s_, 0, names), -1);
  EXPECT_EQ(ErrorOf(s_), (Pair{22, 16}));
  EXPECT_EQ(TL_writeOkonomi(s_, 1, "a"), -1);
  EXPECT_EQ(ErrorOf(s_), (Pair{23, 16}));

  Bytes image = EmptyBook();
  PutU16(&image, 32, 2);  // a block of two categories
  OpenImage(image);
  memset(names, 'q', sizeof(names));
  EXPECT_EQ(TL_readOkonomi(s_, 6, names), -1);
  EXPECT_EQ(ErrorOf(s_), (Pair{22, 23}));
  EXPECT_EQ(TL_readOkonomi(s_, 3, names), -1);
  EXPECT_EQ(ErrorOf(s_), (Pair{22, 23}));
  EXPECT_EQ(names[0], 'q');
  // Only the low 16 bits of the index count: 0x10002 is category 2.
  EXPECT_EQ(TL_readOkonomi(s_, 0x10002, names), 0);
  EXPECT_EQ(TL_readOkonomi(s_, -1, names), -1);
  EXPECT_EQ(TL_writeOkonomi(s_, 3, "abc"), -1);
  EXPECT_EQ(ErrorOf(s_), (Pair{23, 23}));
  EXPECT_EQ(TL_writeOkonomi(s_, 6, "abc"), -1);
  EXPECT_EQ(ErrorOf(s_), (Pair{23, 23}));
  EXPECT_EQ(TL_readOkonomi(s_, 1, nullptr), -1);
  EXPECT_EQ(TL_writeOkonomi(s_, 1, nullptr), -1);
  // Index 0 reads only the stored count of names.
  memset(names, 'q', sizeof(names));
  ASSERT_EQ(TL_readOkonomi(s_, 0, names), 0);
  EXPECT_EQ(names[0], '\0');
  EXPECT_EQ(names[16], '\0');
  EXPECT_EQ(names[32], 'q');
}

TEST_F(FavouritesTest, CountAboveFiveIsUsedAsFive) {
  Bytes image = EmptyBook();
  PutU16(&image, 32, 300);
  for (int k = 0; k < 5; ++k) image[kNamesAt + kPlace * k] = static_cast<uint8_t>('A' + k);
  OpenImage(image);
  char names[200];
  memset(names, 'q', sizeof(names));
  ASSERT_EQ(TL_readOkonomi(s_, 0, names), 0);
  EXPECT_STREQ(names + 64, "E");
  EXPECT_EQ(names[80], 'q');
  EXPECT_EQ(TL_readOkonomi(s_, 6, names), -1);
  EXPECT_EQ(ErrorOf(s_), (Pair{22, 23}));
  char many[200] = {};
  for (int k = 0; k < 12; ++k) many[kPlace * k] = static_cast<char>('a' + k);
  ASSERT_EQ(TL_writeOkonomi(s_, 0, many), 0);
  ASSERT_EQ(TL_closeDataBase(s_, 0), 0);
  Bytes saved = ReadFileOrDie(path_);
  EXPECT_EQ(GetU16(saved, 32), 300);  // the count is never changed
  EXPECT_EQ(saved[kNamesAt + kPlace * 4], 'e');
  for (size_t i = kNamesAt + kPlace * 5; i < 128; ++i) EXPECT_EQ(saved[i], 0) << i;
}

TEST_F(FavouritesTest, NamesReachTheFileOnlyThroughASavingClose) {
  ASSERT_EQ(TL_createDataBase(s_, path_.c_str()), 0);
  Bytes before = ReadFileOrDie(path_);
  ASSERT_EQ(TL_writeOkonomi(s_, 2, "Kunden"), 0);
  EXPECT_EQ(ReadFileOrDie(path_), before);
  ASSERT_EQ(TL_closeDataBase(s_, 1), 0);
  EXPECT_EQ(ReadFileOrDie(path_), before);

  ASSERT_EQ(TL_openDataBase(s_, path_.c_str()), 0);
  ASSERT_EQ(TL_writeOkonomi(s_, 2, "Kunden"), 0);
  ASSERT_EQ(TL_closeDataBase(s_, 0), 0);
  Bytes after = ReadFileOrDie(path_);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(&after[kNamesAt + kPlace]), 7),
            std::string("Kunden\0", 7));
  ASSERT_EQ(TL_openDataBase(s_, path_.c_str()), 0);
  char name[kPlace];
  ASSERT_EQ(TL_readOkonomi(s_, 2, name), 0);
  EXPECT_STREQ(name, "Kunden");
  EXPECT_EQ(dir_.List(), std::vector<std::string>{"book.tel"});
}

TEST_F(FavouritesTest, FailedSwitchChangesNoName) {
  FaultEnv env(Env::Default());
  ScopedSessionEnv scoped(&env);
  SessionHolder s;
  ASSERT_EQ(TL_createDataBase(s, path_.c_str()), 0);
  env.FailAt(FaultKind::kCopy, 1);
  EXPECT_EQ(TL_writeOkonomi(s, 1, "New"), -1);
  EXPECT_EQ(ErrorOf(s), (Pair{25, 16}));
  char name[kPlace];
  ASSERT_EQ(TL_readOkonomi(s, 1, name), 0);
  EXPECT_STREQ(name, "");
}

}  // namespace
}  // namespace test
}  // namespace telbook
