// Personal entries and groups through the exported functions: writes read back field for field,
// crafted files of every format version, the refusals without a phone book, and failures of
// memory and file operations.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "book_builder.h"
#include "interface/telbook.h"
#include "platform/fault_env.h"
#include "test_util.h"

namespace telbook {
namespace test {
namespace {

TL_Kojin FullEntry() {
  TL_Kojin k{};
  k.HostWord1 = 0xBEEF;
  k.HostWord2 = 0x0102;
  strcpy(k.Name, "Sato Hanako");
  strcpy(k.Furigana, "\x82\xb3\x82\xc6\x82\xa4");  // さとう
  strcpy(k.Affiliation, "Sales");
  strcpy(k.FaxNumber, "03-1234-5678");
  strcpy(k.SpeedDial, "012");
  strcpy(k.Phone, "03-1234-0000");
  strcpy(k.EMail, "sato@example.jp");
  strcpy(k.Memo, "call\tfirst");
  strcpy(k.FCode, "1111");
  strcpy(k.PCode, "2222");
  strcpy(k.BoxNumber, "33");
  strcpy(k.BoxPassword, "44");
  strcpy(k.HostText1, "h1");
  strcpy(k.RelayId, "R9");
  strcpy(k.BroadcastList, "001,002");
  strcpy(k.HostText2, "h2");
  k.LineType = 1;
  k.Favourite = 3;
  k.CommMode = 5;
  k.HostByte1 = 6;
  k.HostByte2 = 7;
  k.RelayOutput = 1;
  return k;
}

class RecordsTest : public ::testing::Test {
 protected:
  void Create() { ASSERT_EQ(TL_createDataBase(s_, path_.c_str()), 0); }
  void OpenImage(const Bytes& image) {
    WriteFile(path_, image);
    ASSERT_EQ(TL_openDataBase(s_, path_.c_str()), 0);
  }
  uint16_t Write(const TL_Kojin& k, uint16_t number = 0) {
    EXPECT_EQ(TL_writeKojin(s_, &k, &number, 0xFFFF), 0);
    return number;
  }
  uint16_t TabCount(int code) {
    unsigned short count = 0xFFFF;
    EXPECT_EQ(TL_openTag(s_, code), 0);
    EXPECT_EQ(TL_readTagWeightCount(s_, code, &count), 0);
    TL_closeTag(s_);
    return count;
  }
  std::vector<uint16_t> TabNumbers(int code) {
    std::vector<uint16_t> numbers;
    unsigned short count = 0;
    EXPECT_EQ(TL_openTag(s_, code), 0);
    TL_readTagWeightCount(s_, code, &count);
    TL_ListItem item;
    for (int i = 0; i < count; ++i) {
      EXPECT_EQ(TL_readTagData(s_, code, &item), 0);
      numbers.push_back(item.RecordNumber);
    }
    EXPECT_EQ(TL_readTagData(s_, code, &item), -1);
    TL_closeTag(s_);
    return numbers;
  }
  std::vector<uint16_t> Members() {
    std::vector<uint16_t> numbers;
    TL_ListItem item;
    while (TL_readGroupMember(s_, &item) == 0) numbers.push_back(item.RecordNumber);
    EXPECT_EQ(ErrorOf(s_), (Pair{9, 10}));
    return numbers;
  }

  ScratchDir dir_;
  std::string path_ = dir_.File("book.tel");
  SessionHolder s_;
};

TEST_F(RecordsTest, WrittenEntryReadsBackFieldForField) {
  Create();
  TL_Kojin in = FullEntry();
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
  TL_Kojin k = FullEntry();
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
  TL_Kojin k = FullEntry();
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

TEST_F(RecordsTest, GroupsWriteAndReadBack) {
  Create();
  TL_Kojin k = FullEntry();
  for (int i = 0; i < 12; ++i) Write(k);
  TL_Group g{};
  g.HostWord1 = 11;
  g.HostWord2 = 22;
  strcpy(g.Name, "Team\tA");
  strcpy(g.Furigana, "\x82\xa9\x82\xa0");  // かあ
  g.Favourite = 2;
  g.MemberCount = 999;  // not read by the writer
  const unsigned short members[] = {5, 9, 12};
  unsigned short number = 0;
  ASSERT_EQ(TL_writeGroup(s_, &g, &number, 3, members), 0);
  EXPECT_EQ(number, 16385);
  number = 0;
  ASSERT_EQ(TL_writeGroup(s_, &g, &number, 0, nullptr), 0);
  EXPECT_EQ(number, 16386);
  unsigned short personal = 0, groups = 0;
  TL_readDataCount(s_, &personal, &groups);
  EXPECT_EQ(groups, 2);

  ASSERT_EQ(TL_openGroup(s_, 16385), 0);
  TL_Group out;
  memset(&out, 0x5A, sizeof(out));
  ASSERT_EQ(TL_readGroupData(s_, &out), 0);
  EXPECT_STREQ(out.Name, "Team A");
  EXPECT_STREQ(out.Furigana, g.Furigana);
  EXPECT_EQ(out.HostWord1, 11);
  EXPECT_EQ(out.HostWord2, 22);
  EXPECT_EQ(out.MemberCount, 3);
  EXPECT_EQ(out.Favourite, 2);
  EXPECT_EQ(Members(), (std::vector<uint16_t>{5, 9, 12}));
  EXPECT_EQ(TL_readGroupMember(s_, nullptr), -1);

  ASSERT_EQ(TL_openGroup(s_, 16386), 0);
  ASSERT_EQ(TL_readGroupData(s_, &out), 0);
  EXPECT_EQ(out.MemberCount, 0);
  EXPECT_EQ(Members(), std::vector<uint16_t>{});

  // Tabs: personal entries first, then groups; the group list item carries kind 2.
  EXPECT_EQ(TabNumbers(0x02), (std::vector<uint16_t>{16385, 16386}));
  EXPECT_EQ(TabNumbers(0x20), (std::vector<uint16_t>{16385, 16386}));
  ASSERT_EQ(TL_openTag(s_, 0x22), 0);
  TL_ListItem item;
  memset(&item, 0x5A, sizeof(item));
  ASSERT_EQ(TL_readTagData(s_, 0x22, &item), 0);
  EXPECT_EQ(item.Kind, 2);
  EXPECT_STREQ(item.Name, "Team A");
  EXPECT_EQ(static_cast<uint8_t>(item.Affiliation[0]), 0x5A);  // left as it was
  TL_closeTag(s_);

  // Explicit numbers.
  for (unsigned short bad : {100, 16384, 21385}) {
    number = bad;
    EXPECT_EQ(TL_writeGroup(s_, &g, &number, 0, nullptr), -1);
    EXPECT_EQ(ErrorOf(s_), (Pair{31, 5}));
  }
  number = 21384;
  EXPECT_EQ(TL_writeGroup(s_, &g, &number, 0, nullptr), 0);
  number = 16385;
  EXPECT_EQ(TL_writeGroup(s_, &g, &number, 1, members), 0);  // replaces
  TL_readDataCount(s_, &personal, &groups);
  EXPECT_EQ(groups, 3);
  // The loaded copy does not follow; a new open does.
  ASSERT_EQ(TL_openGroup(s_, 16385), 0);
  ASSERT_EQ(TL_readGroupData(s_, &out), 0);
  EXPECT_EQ(out.MemberCount, 1);

  // Opening below the group range, and the group range's first gap.
  EXPECT_EQ(TL_openGroup(s_, 1), -1);
  EXPECT_EQ(ErrorOf(s_), (Pair{11, 12}));
  EXPECT_EQ(TL_openGroup(s_, 16384), -1);
  EXPECT_EQ(ErrorOf(s_), (Pair{19, 5}));
  EXPECT_EQ(TL_openGroup(s_, 16390), -1);
  EXPECT_EQ(ErrorOf(s_), (Pair{11, 4}));
  // The failed opens kept the loaded group.
  ASSERT_EQ(TL_readGroupData(s_, &out), 0);
  EXPECT_EQ(out.MemberCount, 1);
}

TEST_F(RecordsTest, MemberCountAboveTheLimitWritesNothing) {
  Create();
  std::vector<unsigned short> members(10000, 1);
  TL_Group g{};
  unsigned short number = 0;
  EXPECT_EQ(TL_writeGroup(s_, &g, &number, 10000, members.data()), -1);
  EXPECT_EQ(ErrorOf(s_), (Pair{31, 30}));
  EXPECT_EQ(number, 0);
  // Not even the working copy was made.
  EXPECT_EQ(dir_.List(), std::vector<std::string>{"book.tel"});
  EXPECT_EQ(TL_writeGroup(s_, &g, &number, 9999, members.data()), 0);
  EXPECT_EQ(number, 16385);
}

TEST_F(RecordsTest, StoredMembersSkipEmptyPlacesAndMissingRecords) {
  BookBuilder book;
  book.Personal(5, KojinImage().Build(), 0x0B);
  book.Personal(9, KojinImage().Build(), 0x0B);
  book.Group(1, GroupImage("G", "g", {5, 0, 0xFFFF, 9}, 4), 0x0B);
  book.Group(2, GroupImage("H", "h", {5, 77, 9}, 2), 0x0B);  // one extra place, 77 unused
  OpenImage(book.bytes());
  ASSERT_EQ(TL_openGroup(s_, 16385), 0);
  EXPECT_EQ(Members(), (std::vector<uint16_t>{5, 9}));
  ASSERT_EQ(TL_openGroup(s_, 16386), 0);
  TL_ListItem item;
  ASSERT_EQ(TL_readGroupMember(s_, &item), 0);
  EXPECT_EQ(TL_readGroupMember(s_, &item), -1);
  EXPECT_EQ(ErrorOf(s_), (Pair{4, 4}));
  ASSERT_EQ(TL_readGroupMember(s_, &item), 0);
  EXPECT_EQ(item.RecordNumber, 9);
  EXPECT_EQ(TL_readGroupMember(s_, &item), -1);
  EXPECT_EQ(ErrorOf(s_), (Pair{9, 10}));
  EXPECT_EQ(TL_closeGroup(s_), 0);
  EXPECT_EQ(TL_closeGroup(s_), 0);
  EXPECT_EQ(TL_readGroupData(s_, nullptr), -1);
  EXPECT_EQ(ErrorOf(s_), (Pair{10, 11}));
}

TEST_F(RecordsTest, RefusalsWithNoPhoneBookOpen) {
  TL_Kojin k{};
  TL_Group g{};
  TL_ListItem item;
  unsigned short number = 0;
  unsigned short count = 77;
  EXPECT_EQ(TL_readKojin(s_, &k, 1), -1);
  EXPECT_EQ(ErrorOf(s_), (Pair{5, 16}));
  EXPECT_EQ(TL_writeKojin(s_, &k, &number, 0), -1);
  EXPECT_EQ(ErrorOf(s_), (Pair{30, 16}));
  EXPECT_EQ(TL_writeGroup(s_, &g, &number, 0, nullptr), -1);
  EXPECT_EQ(ErrorOf(s_), (Pair{31, 16}));
  EXPECT_EQ(TL_openGroup(s_, 16385), -1);
  EXPECT_EQ(ErrorOf(s_), (Pair{11, 16}));
  EXPECT_EQ(TL_openTag(s_, 1), -1);
  EXPECT_EQ(ErrorOf(s_), (Pair{8, 16}));
  EXPECT_EQ(TL_readTagWeightCount(s_, 1, &count), -1);
  EXPECT_EQ(ErrorOf(s_), (Pair{7, 16}));
  EXPECT_EQ(count, 0);
  EXPECT_EQ(TL_readTagData(s_, 1, &item), -1);
  EXPECT_EQ(ErrorOf(s_), (Pair{6, 16}));
  EXPECT_EQ(TL_closeTag(s_), 0);
  EXPECT_EQ(TL_closeGroup(s_), 0);

  // A group and a tab left open by a closed phone book are gone.
  Create();
  Write(FullEntry());
  unsigned short gnum = 0;
  ASSERT_EQ(TL_writeGroup(s_, &g, &gnum, 0, nullptr), 0);
  ASSERT_EQ(TL_openGroup(s_, gnum), 0);
  ASSERT_EQ(TL_openTag(s_, 3), 0);
  ASSERT_EQ(TL_closeDataBase(s_, 1), 0);
  EXPECT_EQ(TL_readGroupData(s_, &g), -1);
  EXPECT_EQ(ErrorOf(s_), (Pair{10, 11}));
  EXPECT_EQ(TL_readGroupMember(s_, &item), -1);
  EXPECT_EQ(ErrorOf(s_), (Pair{9, 11}));
  EXPECT_EQ(TL_readTagData(s_, 3, &item), -1);
  EXPECT_EQ(ErrorOf(s_), (Pair{6, 16}));
  EXPECT_EQ(TL_readKojin(s_, &k, 1), -1);
  EXPECT_EQ(ErrorOf(s_), (Pair{5, 16}));
}

// ---- Crafted files of each format version ----

KojinImage CraftedEntry() {
  KojinImage image;
  image.main = {"Name", "\x82\xa0", "Aff", "0311112222", "0300000000", "a@b", "memo",
                "B1",   "B2",       "T1",  "RID",        "list",       "T2"};
  image.ext = {"007", "FC", "PC"};
  image.host_word1 = 0x0A0B;
  image.line_type = 2;
  image.relay_output = 1;
  return image;
}

TEST_F(RecordsTest, Version1IgnoresExtensionStrings) {
  for (const char* version : {"0100", "9999"}) {  // version 0 reads like version 1
    SCOPED_TRACE(version);
    BookBuilder book("KVTL", version);
    book.Personal(1, CraftedEntry().Build(), 0x21);
    OpenImage(book.bytes());
    TL_Kojin k;
    memset(&k, 0x5A, sizeof(k));
    ASSERT_EQ(TL_readKojin(s_, &k, 1), 0);
    EXPECT_STREQ(k.Name, "Name");
    EXPECT_STREQ(k.HostText2, "T2");
    EXPECT_STREQ(k.SpeedDial, "");
    EXPECT_STREQ(k.FCode, "");
    EXPECT_STREQ(k.PCode, "");
    EXPECT_EQ(k.AltDestFlag, 0);
    EXPECT_EQ(k.HostWord1, 0x0A0B);
    EXPECT_EQ(k.LineType, 2);
    EXPECT_EQ(k.Favourite, 2);
    ASSERT_EQ(TL_openTag(s_, 0x01), 0);
    TL_ListItem item;
    memset(&item, 0x5A, sizeof(item));
    ASSERT_EQ(TL_readTagData(s_, 0x01, &item), 0);
    EXPECT_EQ(item.Kind, 0);
    EXPECT_STREQ(item.SpeedDial, "");
    EXPECT_STREQ(item.Memo, "memo");
    ASSERT_EQ(TL_closeDataBase(s_, 1), 0);
  }
}

TEST_F(RecordsTest, Version2ReadsExtensionStringsAndRefusesKind3InAList) {
  BookBuilder book;
  book.Personal(1, CraftedEntry().Build(), 0x01);
  KojinImage alt = CraftedEntry();
  alt.kind = 3;
  alt.has_alt = true;
  alt.alt_text = "0399998888";
  book.Personal(2, alt.Build(), 0x01);
  OpenImage(book.bytes());
  TL_Kojin k;
  ASSERT_EQ(TL_readKojin(s_, &k, 1), 0);
  EXPECT_STREQ(k.SpeedDial, "007");
  EXPECT_STREQ(k.FCode, "FC");
  EXPECT_STREQ(k.PCode, "PC");
  // Version 2 knows no alternate destination.
  ASSERT_EQ(TL_readKojin(s_, &k, 2), 0);
  EXPECT_EQ(k.AltDestFlag, 0);
  EXPECT_STREQ(k.FaxNumber, "0311112222");
  ASSERT_EQ(TL_openTag(s_, 1), 0);
  TL_ListItem item;
  ASSERT_EQ(TL_readTagData(s_, 1, &item), 0);
  EXPECT_STREQ(item.SpeedDial, "007");
  EXPECT_EQ(TL_readTagData(s_, 1, &item), -1);
  EXPECT_EQ(ErrorOf(s_), (Pair{4, 1}));
}

TEST_F(RecordsTest, Version3AlternateDestination) {
  BookBuilder book("KVPL", "0300");
  KojinImage alt = CraftedEntry();
  alt.kind = 3;
  alt.has_alt = true;
  alt.alt_text = "0399998888";
  book.Personal(1, alt.Build(), 0x01);
  book.Personal(2, CraftedEntry().Build(), 0x01);
  KojinImage off = CraftedEntry();
  off.has_alt = true;
  off.alt_flag = 0;
  off.alt_text = "unused";
  book.Personal(3, off.Build(), 0x01);
  OpenImage(book.bytes());
  ASSERT_EQ(TL_getFileVersion(s_), 3);
  TL_Kojin k;
  ASSERT_EQ(TL_readKojin(s_, &k, 1), 0);
  EXPECT_EQ(k.AltDestFlag, 1);
  EXPECT_STREQ(k.FaxNumber, "0399998888");
  EXPECT_STREQ(k.SpeedDial, "007");
  ASSERT_EQ(TL_readKojin(s_, &k, 3), 0);
  EXPECT_EQ(k.AltDestFlag, 0);
  EXPECT_STREQ(k.FaxNumber, "0311112222");

  ASSERT_EQ(TL_openTag(s_, 1), 0);
  TL_ListItem item;
  ASSERT_EQ(TL_readTagData(s_, 1, &item), 0);
  EXPECT_EQ(item.RecordNumber, 1);
  EXPECT_EQ(item.Kind, 1);
  EXPECT_STREQ(item.FaxNumber, "0399998888");
  ASSERT_EQ(TL_readTagData(s_, 1, &item), 0);
  EXPECT_EQ(item.Kind, 0);
  EXPECT_STREQ(item.FaxNumber, "0311112222");
  ASSERT_EQ(TL_readTagData(s_, 1, &item), 0);
  EXPECT_EQ(item.RecordNumber, 3);
  EXPECT_EQ(item.Kind, 0);
}

TEST_F(RecordsTest, OverlongStoredTextsAreCutToTheirFields) {
  BookBuilder book;
  KojinImage image;
  image.main[0] = std::string(300, 'N');
  image.main[1] = std::string(200, 'F');
  image.ext[0] = "123456789";
  image.main[5] = std::string(400, 'E');
  book.Personal(1, image.Build(), 0x0B);
  book.Group(1, GroupImage(std::string(100, 'G'), std::string(100, 'g'), {1}, 1), 0x0B);
  OpenImage(book.bytes());
  TL_Kojin k;
  memset(&k, 0x5A, sizeof(k));
  ASSERT_EQ(TL_readKojin(s_, &k, 1), 0);
  EXPECT_EQ(strlen(k.Name), 40u);
  EXPECT_EQ(strlen(k.Furigana), 80u);
  EXPECT_EQ(strlen(k.SpeedDial), 3u);
  EXPECT_EQ(strlen(k.EMail), 256u);
  EXPECT_STREQ(k.Memo, "");
  ASSERT_EQ(TL_openGroup(s_, 16385), 0);
  struct {
    TL_Group g;
    uint8_t guard[8];
  } out;
  memset(&out, 0x5A, sizeof(out));
  ASSERT_EQ(TL_readGroupData(s_, &out.g), 0);
  EXPECT_EQ(strlen(out.g.Name), 40u);
  EXPECT_EQ(strlen(out.g.Furigana), 80u);
  for (uint8_t b : out.guard) EXPECT_EQ(b, 0x5A);
  ASSERT_EQ(TL_openTag(s_, 0x0B), 0);
  TL_ListItem item;
  ASSERT_EQ(TL_readTagData(s_, 0x0B, &item), 0);
  EXPECT_EQ(strlen(item.Name), 40u);
  EXPECT_EQ(strlen(item.EMail), 256u);
}

TEST_F(RecordsTest, DamagedRecordsReadWithoutLeavingTheirBytes) {
  BookBuilder book;
  Bytes r = CraftedEntry().Build();
  PutU16(&r, 2, 60000);    // Name offset past the end
  PutU16(&r, 28, 0xFFFE);  // extension link past the end
  r.back() = 'x';          // last string loses its zero
  book.Personal(1, r, 0x0B);
  Bytes tiny = {1, 0, 0};  // a record cut inside its offset table
  book.Personal(2, tiny, 0x0B);
  Bytes wrong = CraftedEntry().Build();
  wrong[0] = 7;
  book.Personal(3, wrong, 0x0B);
  OpenImage(book.bytes());
  TL_Kojin k;
  ASSERT_EQ(TL_readKojin(s_, &k, 1), 0);
  EXPECT_STREQ(k.Name, "");
  EXPECT_STREQ(k.Furigana, "\x82\xa0");
  EXPECT_STREQ(k.SpeedDial, "");
  ASSERT_EQ(TL_readKojin(s_, &k, 2), 0);
  EXPECT_STREQ(k.Name, "");
  EXPECT_EQ(k.HostWord1, 0);
  EXPECT_EQ(TL_readKojin(s_, &k, 3), -1);
  EXPECT_EQ(ErrorOf(s_), (Pair{1, 1}));
}

// ---- Failures of memory and file operations ----

class RecordFaultTest : public RecordsTest {
 protected:
  FaultEnv env_{Env::Default()};
  ScopedSessionEnv scoped_{&env_};
  SessionHolder s_;
  void Open() {
    ASSERT_EQ(TL_createDataBase(s_, path_.c_str()), 0);
    TL_Kojin k = FullEntry();
    unsigned short number = 0;
    ASSERT_EQ(TL_writeKojin(s_, &k, &number, 0), 0);
  }
  // Saves and opens the phone book again, so that its records are read from the file.
  void Reopen() {
    ASSERT_EQ(TL_closeDataBase(s_, 0), 0);
    ASSERT_EQ(TL_openDataBase(s_, path_.c_str()), 0);
  }
  // Adds entries (with the armed fault) until one fails: an add touches the file only when the
  // records held back must go out to make room. Returns its status, its number in *number and
  // the count of adds that went through before it in *stored.
  short AddUntilOneFails(const TL_Kojin& k, int* stored, unsigned short* number) {
    for (*stored = 0; *stored < 500; ++*stored) {
      *number = 0;
      short status = TL_writeKojin(s_, &k, number, 0);
      if (status != 0) return status;
    }
    return 0;
  }
  uint16_t PersonalCount() {
    unsigned short personal = 0, groups = 0;
    TL_readDataCount(s_, &personal, &groups);
    return personal;
  }
};

TEST_F(RecordFaultTest, ReadFailures) {
  Open();
  Reopen();
  TL_Kojin k;
  env_.FailAt(FaultKind::kAlloc, 1);
  EXPECT_EQ(TL_readKojin(s_, &k, 1), -1);
  EXPECT_EQ(ErrorOf(s_), (Pair{5, 4}));
  env_.FailAt(FaultKind::kRead, 1);
  EXPECT_EQ(TL_readKojin(s_, &k, 1), -1);
  EXPECT_EQ(ErrorOf(s_), (Pair{14, 15}));
  env_.FailAt(FaultKind::kMove, 1);
  EXPECT_EQ(TL_readKojin(s_, &k, 1), -1);
  EXPECT_EQ(ErrorOf(s_), (Pair{17, 19}));
  env_.FailAt(FaultKind::kAlloc, 0);
  ASSERT_EQ(TL_readKojin(s_, &k, 1), 0);
  EXPECT_STREQ(k.Name, "Sato Hanako");
}

TEST_F(RecordFaultTest, RecordsHeldBackAreReadWithoutTheFile) {
  Open();
  env_.SetSticky(true);
  env_.FailAt(FaultKind::kRead, 1);
  TL_Kojin k;
  ASSERT_EQ(TL_readKojin(s_, &k, 1), 0);
  EXPECT_STREQ(k.Name, "Sato Hanako");
  unsigned short count = 0;
  ASSERT_EQ(TL_beginSRCH(s_, &count), 0);
  ASSERT_EQ(count, 1);
  TL_ListItem item;
  ASSERT_EQ(TL_readSrchData(s_, &item), 0);
  EXPECT_STREQ(item.Memo, "call first");
  EXPECT_FALSE(env_.Fired());
  env_.FailAt(FaultKind::kRead, 0);
}

TEST_F(RecordFaultTest, GroupOpenFailuresKeepTheCursor) {
  Open();
  TL_Group g{};
  const unsigned short members[] = {1};
  unsigned short number = 0;
  ASSERT_EQ(TL_writeGroup(s_, &g, &number, 1, members), 0);
  Reopen();
  ASSERT_EQ(TL_openGroup(s_, 16385), 0);
  env_.FailAt(FaultKind::kAlloc, 1);
  EXPECT_EQ(TL_openGroup(s_, 16385), -1);
  EXPECT_EQ(ErrorOf(s_), (Pair{11, 4}));
  env_.FailAt(FaultKind::kRead, 1);
  EXPECT_EQ(TL_openGroup(s_, 16385), -1);
  EXPECT_EQ(ErrorOf(s_), (Pair{14, 15}));
  TL_ListItem item;
  env_.FailAt(FaultKind::kAlloc, 1);
  EXPECT_EQ(TL_readGroupMember(s_, &item), -1);  // the member counts as handed out
  EXPECT_EQ(ErrorOf(s_), (Pair{4, 4}));
  EXPECT_EQ(TL_readGroupMember(s_, &item), -1);
  EXPECT_EQ(ErrorOf(s_), (Pair{9, 10}));
  ASSERT_EQ(TL_readGroupData(s_, &g), 0);
  EXPECT_EQ(g.MemberCount, 1);
}

TEST_F(RecordFaultTest, WriteFailuresChangeNeitherSlotNorCount) {
  Open();
  TL_Kojin k = FullEntry();
  strcpy(k.Name, "second");
  unsigned short number = 0;
  env_.FailAt(FaultKind::kAlloc, 1);
  EXPECT_EQ(TL_writeKojin(s_, &k, &number, 0), -1);
  EXPECT_EQ(ErrorOf(s_), (Pair{30, 4}));
  EXPECT_EQ(number, 0);

  // A failed write or move of the records held back fails the add that needed the room; the
  // adds before it stay, readable, and are saved.
  int added = 1;
  for (FaultKind kind : {FaultKind::kWrite, FaultKind::kMove}) {
    SCOPED_TRACE(static_cast<int>(kind));
    env_.FailAt(kind, 1);
    int stored = 0;
    ASSERT_EQ(AddUntilOneFails(k, &stored, &number), -1);
    EXPECT_TRUE(env_.Fired());
    if (kind == FaultKind::kWrite) {
      EXPECT_GT(stored, 0) << "the first adds are held back, not written";
    } else {
      EXPECT_EQ(stored, 0) << "the full block is still waiting to go out";
    }
    EXPECT_EQ(ErrorOf(s_), (Pair{30, 30}));
    added += stored;
    EXPECT_EQ(number, added + 1) << "the chosen number comes back";
    EXPECT_EQ(PersonalCount(), added);
    TL_Kojin out;
    EXPECT_EQ(TL_readKojin(s_, &out, number), -1) << "its slot stays free";
    ASSERT_EQ(TL_readKojin(s_, &out, static_cast<uint16_t>(added)), 0);
    EXPECT_STREQ(out.Name, "second");
  }
  Reopen();
  EXPECT_EQ(PersonalCount(), added);
  TL_Kojin out;
  ASSERT_EQ(TL_readKojin(s_, &out, 1), 0);
  EXPECT_STREQ(out.Name, "Sato Hanako");
  for (int n = 2; n <= added; ++n) {
    ASSERT_EQ(TL_readKojin(s_, &out, static_cast<uint16_t>(n)), 0);
    EXPECT_STREQ(out.Name, "second");
  }
  EXPECT_EQ(TL_readKojin(s_, &out, static_cast<uint16_t>(added + 1)), -1);

  // Groups of 9999 members hold 20 000 bytes: the second needs the first written out.
  TL_Group g{};
  std::vector<unsigned short> members(9999, 1);
  number = 0;
  env_.FailAt(FaultKind::kAlloc, 1);
  EXPECT_EQ(TL_writeGroup(s_, &g, &number, 0, nullptr), -1);
  EXPECT_EQ(ErrorOf(s_), (Pair{31, 4}));
  ASSERT_EQ(TL_writeGroup(s_, &g, &number, 9999, members.data()), 0);
  env_.FailAt(FaultKind::kWrite, 1);
  number = 0;
  EXPECT_EQ(TL_writeGroup(s_, &g, &number, 9999, members.data()), -1);
  EXPECT_EQ(ErrorOf(s_), (Pair{31, 30}));
  EXPECT_EQ(number, 16386);
  unsigned short personal = 0, groups = 0;
  TL_readDataCount(s_, &personal, &groups);
  EXPECT_EQ(groups, 1);
  EXPECT_EQ(TL_openGroup(s_, 16386), -1);
  EXPECT_EQ(ErrorOf(s_), (Pair{11, 4}));
  ASSERT_EQ(TL_openGroup(s_, 16385), 0);
  ASSERT_EQ(TL_readGroupData(s_, &g), 0);
  EXPECT_EQ(g.MemberCount, 9999);
}

TEST_F(RecordFaultTest, AFailedAppendLeavesItsNumberTheLowestFree) {
  Open();
  TL_Kojin k = FullEntry();
  unsigned short number = 0;
  int stored = 0;
  env_.FailAt(FaultKind::kWrite, 1);
  ASSERT_EQ(AddUntilOneFails(k, &stored, &number), -1);
  const unsigned short failed = number;
  EXPECT_EQ(failed, stored + 2);
  number = 0;
  ASSERT_EQ(TL_writeKojin(s_, &k, &number, 0), 0);
  EXPECT_EQ(number, failed);
  number = 0;
  ASSERT_EQ(TL_writeKojin(s_, &k, &number, 0), 0);
  EXPECT_EQ(number, failed + 1);

  TL_Group g{};
  std::vector<unsigned short> members(9999, 1);
  number = 0;
  ASSERT_EQ(TL_writeGroup(s_, &g, &number, 9999, members.data()), 0);
  env_.FailAt(FaultKind::kWrite, 1);
  number = 0;
  EXPECT_EQ(TL_writeGroup(s_, &g, &number, 9999, members.data()), -1);
  EXPECT_EQ(number, 16386);
  number = 0;
  ASSERT_EQ(TL_writeGroup(s_, &g, &number, 0, nullptr), 0);
  EXPECT_EQ(number, 16386);
}

TEST_F(RecordFaultTest, FailedSwitchWritesNothing) {
  ASSERT_EQ(TL_createDataBase(s_, path_.c_str()), 0);
  TL_Kojin k = FullEntry();
  unsigned short number = 0;
  env_.FailAt(FaultKind::kCopy, 1);
  EXPECT_EQ(TL_writeKojin(s_, &k, &number, 0), -1);
  EXPECT_EQ(ErrorOf(s_), (Pair{25, 16}));
  EXPECT_EQ(number, 0);
  TL_Group g{};
  env_.FailAt(FaultKind::kCopy, 1);
  EXPECT_EQ(TL_writeGroup(s_, &g, &number, 0, nullptr), -1);
  EXPECT_EQ(ErrorOf(s_), (Pair{25, 16}));
  unsigned short personal = 9, groups = 9;
  TL_readDataCount(s_, &personal, &groups);
  EXPECT_EQ(personal + groups, 0);
}

}  // namespace
}  // namespace test
}  // namespace telbook
