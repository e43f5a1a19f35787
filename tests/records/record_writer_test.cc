// Personal entries through TL_writeKojin and TL_readKojin: writes read back field for field,
// numbers, counts and refusals, the lowest free number, and a full table.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "book_builder.h"
#include "interface/telbook.h"
#include "platform/fault_env.h"
#include "records/records_fixture.h"
#include "test_util.h"

namespace telbook {
namespace test {
namespace {

TEST_F(RecordsTest, WrittenEntryReadsBackFieldForField) {
  Create();
  TL_Kojin in = FullKojin();
  ASSERT_EQ(Write(in), 1);
  TL_Kojin out;
  memset(&out, 0x5A, sizeof(out));
  ASSERT_EQ(TL_readKojin(s_, &out, 1), 0);
  TL_Kojin expected = in;
  strcpy(expected.Memo, "call first");
  // Text fields compare up to their terminators; the bytes after them were not written.
  EXPECT_STREQ(out.Name, expected.Name);
  EXPECT_STREQ(out.Furigana, expected.Furigana);
  EXPECT_STREQ(out.Affiliation, expected.Affiliation);
  EXPECT_STREQ(out.FaxNumber, expected.FaxNumber);
  EXPECT_STREQ(out.SpeedDial, expected.SpeedDial);
  EXPECT_STREQ(out.Phone, expected.Phone);
  EXPECT_STREQ(out.EMail, expected.EMail);
  EXPECT_STREQ(out.Memo, expected.Memo);
  EXPECT_STREQ(out.FCode, expected.FCode);
  EXPECT_STREQ(out.PCode, expected.PCode);
  EXPECT_STREQ(out.BoxNumber, expected.BoxNumber);
  EXPECT_STREQ(out.BoxPassword, expected.BoxPassword);
  EXPECT_STREQ(out.HostText1, expected.HostText1);
  EXPECT_STREQ(out.RelayId, expected.RelayId);
  EXPECT_STREQ(out.BroadcastList, expected.BroadcastList);
  EXPECT_STREQ(out.HostText2, expected.HostText2);
  EXPECT_EQ(out.HostWord1, 0xBEEF);
  EXPECT_EQ(out.HostWord2, 0x0102);
  EXPECT_EQ(out.AltDestFlag, 0);
  EXPECT_EQ(out.LineType, 1);
  EXPECT_EQ(out.Favourite, 3);
  EXPECT_EQ(out.CommMode, 5);
  EXPECT_EQ(out.HostByte1, 6);
  EXPECT_EQ(out.HostByte2, 7);
  EXPECT_EQ(out.RelayOutput, 1);

  // At once in its reading tab (さ) and its favourite tab, with the list item filled.
  EXPECT_EQ(TabNumbers(0x03), std::vector<uint16_t>{1});
  EXPECT_EQ(TabNumbers(0x30), std::vector<uint16_t>{1});
  EXPECT_EQ(TabNumbers(0x33), std::vector<uint16_t>{1});
  EXPECT_EQ(TabCount(0x0B), 0);
  ASSERT_EQ(TL_openTag(s_, 3), 0);
  TL_ListItem item;
  ASSERT_EQ(TL_readTagData(s_, 3, &item), 0);
  EXPECT_EQ(item.Kind, 0);
  EXPECT_STREQ(item.Name, in.Name);
  EXPECT_STREQ(item.FaxNumber, in.FaxNumber);
  EXPECT_STREQ(item.SpeedDial, "012");
  EXPECT_STREQ(item.Memo, "call first");

  // A discarding close drops it: the file is as created.
  ASSERT_EQ(TL_closeDataBase(s_, 1), 0);
  EXPECT_EQ(ReadFileOrDie(path_), EmptyBook());
  EXPECT_EQ(dir_.List(), std::vector<std::string>{"book.tel"});
  ASSERT_EQ(TL_openDataBase(s_, path_.c_str()), 0);
  EXPECT_EQ(TL_readKojin(s_, &out, 1), -1);
  EXPECT_EQ(ErrorOf(s_), (Pair{5, 4}));
  EXPECT_EQ(TabCount(0x03), 0);
}

TEST_F(RecordsTest, NumbersCountsAndRefusedNumbers) {
  Create();
  TL_Kojin k = FullKojin();
  EXPECT_EQ(Write(k), 1);
  EXPECT_EQ(Write(k), 2);
  EXPECT_EQ(Write(k), 3);
  EXPECT_EQ(Write(k, 7), 7);
  EXPECT_EQ(Write(k, 7), 7);  // replaced: no new entry
  unsigned short personal = 0, groups = 0;
  ASSERT_EQ(TL_readDataCount(s_, &personal, &groups), 0);
  EXPECT_EQ(personal, 4);
  EXPECT_EQ(Write(k), 4);  // the lowest free slot
  for (unsigned short bad : {10000, 16385, 65535}) {
    unsigned short number = bad;
    EXPECT_EQ(TL_writeKojin(s_, &k, &number, 0), -1);
    EXPECT_EQ(ErrorOf(s_), (Pair{30, 30}));
  }
  ASSERT_EQ(TL_readDataCount(s_, &personal, &groups), 0);
  EXPECT_EQ(personal, 5);
  EXPECT_EQ(TabCount(0x03), 5);

  TL_Kojin plain{};
  EXPECT_EQ(Write(plain, 9), 9);
  EXPECT_EQ(TabNumbers(0x0B), std::vector<uint16_t>{9});  // empty reading: other class
  TL_Kojin out;
  ASSERT_EQ(TL_readKojin(s_, &out, 9), 0);
  EXPECT_STREQ(out.SpeedDial, "");
  EXPECT_EQ(out.Favourite, 0);
  for (unsigned short bad : {0, 10000, 16385}) {
    EXPECT_EQ(TL_readKojin(s_, &out, bad), -1);
    EXPECT_EQ(ErrorOf(s_), (Pair{5, 5}));
  }
}

// The lowest free number is remembered between writes: gaps filled by chosen numbers are passed
// over, and a phone book opened anew (after a drop or a save) is searched from its first slot.
TEST_F(RecordsTest, LowestFreeNumberAcrossChosenNumbersAndReopens) {
  Create();
  TL_Kojin k = FullKojin();
  EXPECT_EQ(Write(k, 2), 2);
  EXPECT_EQ(Write(k), 1);
  EXPECT_EQ(Write(k), 3);
  EXPECT_EQ(Write(k, 5), 5);
  EXPECT_EQ(Write(k), 4);
  EXPECT_EQ(Write(k), 6);
  TL_Group g{};
  unsigned short number = 16386;
  ASSERT_EQ(TL_writeGroup(s_, &g, &number, 0, nullptr), 0);
  number = 0;
  ASSERT_EQ(TL_writeGroup(s_, &g, &number, 0, nullptr), 0);
  EXPECT_EQ(number, 16385);
  number = 0;
  ASSERT_EQ(TL_writeGroup(s_, &g, &number, 0, nullptr), 0);
  EXPECT_EQ(number, 16387);

  // Dropped: the phone book is empty again, so numbering starts over.
  ASSERT_EQ(TL_closeDataBase(s_, 1), 0);
  ASSERT_EQ(TL_openDataBase(s_, path_.c_str()), 0);
  EXPECT_EQ(Write(k), 1);
  number = 0;
  ASSERT_EQ(TL_writeGroup(s_, &g, &number, 0, nullptr), 0);
  EXPECT_EQ(number, 16385);
  ASSERT_EQ(TL_closeDataBase(s_, 0), 0);

  // A saved book with a gap below its used slots: the gap is found after the open.
  BookBuilder book;
  Bytes record = KojinImage().Build();
  uint32_t at = book.Append(record);
  for (int n : {1, 2, 4}) {
    SetPersonalSlot(&book.bytes(), n, 1, 0x0B, static_cast<uint16_t>(record.size()), at);
  }
  PutU16(&book.bytes(), 8, 3);
  OpenImage(book.bytes());
  EXPECT_EQ(Write(k), 3);
  EXPECT_EQ(Write(k), 5);
}

TEST_F(RecordsTest, AFullPersonalTableRefusesANewEntry) {
  BookBuilder book;
  Bytes record = KojinImage().Build();
  uint32_t at = book.Append(record);
  for (int n = 1; n <= 9999; ++n) {
    SetPersonalSlot(&book.bytes(), n, 1, 0x0B, static_cast<uint16_t>(record.size()), at);
  }
  PutU16(&book.bytes(), 8, 9999);
  OpenImage(book.bytes());
  TL_Kojin k{};
  unsigned short number = 0;
  EXPECT_EQ(TL_writeKojin(s_, &k, &number, 0), 5);
  EXPECT_EQ(number, 0);
  EXPECT_EQ(ErrorOf(s_), (Pair{30, 31}));
}

}  // namespace
}  // namespace test
}  // namespace telbook
