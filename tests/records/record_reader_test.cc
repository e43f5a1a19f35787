// Reading stored records: the refusals without a phone book, crafted files of every format
// version, overlong texts cut to their fields, and damaged records read inside their bytes.
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
  Write(FullKojin());
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

}  // namespace
}  // namespace test
}  // namespace telbook
