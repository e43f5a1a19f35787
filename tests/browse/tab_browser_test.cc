// Index tabs through the exported functions: the calling order and its refusals, scan order,
// the other-class rebuild at open, a walk of a full phone book through every tab, and the
// decoding of tab codes.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "../records/book_builder.h"
#include "browse/tab_browser.h"
#include "interface/session.h"
#include "interface/telbook.h"
#include "platform/fault_env.h"
#include "test_util.h"

namespace telbook {
namespace test {
namespace {

Bytes Entry(const std::string& reading, const std::string& name = "n") {
  KojinImage image;
  image.main[0] = name;
  image.main[1] = reading;
  return image.Build();
}

class TabTest : public ::testing::Test {
 protected:
  void OpenImage(const Bytes& image) {
    WriteFile(path_, image);
    ASSERT_EQ(TL_openDataBase(s_, path_.c_str()), 0);
  }
  std::vector<uint16_t> Walk(int code) { return Walk(s_, code); }
  static std::vector<uint16_t> Walk(TL_FaxUtl* s, int code) {
    std::vector<uint16_t> numbers;
    unsigned short count = 0;
    EXPECT_EQ(TL_openTag(s, code), 0);
    EXPECT_EQ(TL_readTagWeightCount(s, code, &count), 0);
    TL_ListItem item;
    for (int i = 0; i < count; ++i) {
      EXPECT_EQ(TL_readTagData(s, code, &item), 0);
      numbers.push_back(item.RecordNumber);
    }
    EXPECT_EQ(TL_readTagData(s, code, &item), -1);
    EXPECT_EQ(ErrorOf(s), (Pair{6, 6}));
    EXPECT_EQ(TL_closeTag(s), 0);
    return numbers;
  }

  ScratchDir dir_;
  std::string path_ = dir_.File("book.tel");
  SessionHolder s_;
};

TEST_F(TabTest, CallingOrderAndRefusals) {
  ASSERT_EQ(TL_createDataBase(s_, path_.c_str()), 0);
  for (int bad : {0x00, 0x0C, 0x0F, 0x60, 0x1C, 0xF1}) {
    EXPECT_EQ(TL_openTag(s_, bad), -1) << bad;
    EXPECT_EQ(ErrorOf(s_), (Pair{2, 2}));
  }
  unsigned short count = 9;
  TL_ListItem item;
  EXPECT_EQ(TL_readTagWeightCount(s_, 1, &count), -1);
  EXPECT_EQ(ErrorOf(s_), (Pair{7, 8}));
  EXPECT_EQ(count, 0);
  EXPECT_EQ(TL_readTagData(s_, 1, &item), -1);
  EXPECT_EQ(ErrorOf(s_), (Pair{6, 8}));
  EXPECT_EQ(TL_closeTag(s_), 0);

  // An empty tab opens with count 0 and is exhausted at once.
  ASSERT_EQ(TL_openTag(s_, 0x0B), 0);
  EXPECT_EQ(TL_openTag(s_, 0x0B), -1);
  EXPECT_EQ(ErrorOf(s_), (Pair{8, 9}));
  count = 9;
  EXPECT_EQ(TL_readTagWeightCount(s_, 0x0B, &count), 0);
  EXPECT_EQ(count, 0);
  EXPECT_EQ(TL_readTagData(s_, 0x0B, &item), -1);
  EXPECT_EQ(ErrorOf(s_), (Pair{6, 6}));
  count = 9;
  EXPECT_EQ(TL_readTagWeightCount(s_, 0x1B, &count), -1);  // same records, another code
  EXPECT_EQ(ErrorOf(s_), (Pair{7, 7}));
  EXPECT_EQ(count, 0);
  EXPECT_EQ(TL_readTagData(s_, 0x0A, &item), -1);
  EXPECT_EQ(ErrorOf(s_), (Pair{6, 7}));
  EXPECT_EQ(TL_readTagWeightCount(s_, 0x10B, &count), 0);  // only the low byte counts
  EXPECT_EQ(TL_closeTag(s_), 0);
  EXPECT_EQ(TL_closeTag(s_), 0);
}

TEST_F(TabTest, TheSwitchToTheWorkingCopyRebuildsTheOtherClassAndClosesTheTab) {
  // Filed under the other class on disk, but read as か: every read of the index rebuilds it.
  BookBuilder book;
  book.Personal(1, Entry(kHiraKa), 0x0B);
  OpenImage(book.bytes());
  EXPECT_EQ(Walk(0x02), (std::vector<uint16_t>{1}));
  ASSERT_EQ(TL_openTag(s_, 0x02), 0);
  TL_Kojin k = Kojin("new");
  unsigned short number = 0;
  ASSERT_EQ(TL_writeKojin(s_, &k, &number, 0), 0);  // the first change: the switch
  TL_ListItem item;
  EXPECT_EQ(TL_readTagData(s_, 0x02, &item), -1);
  EXPECT_EQ(ErrorOf(s_), (Pair{6, 8}));
  EXPECT_EQ(Walk(0x02), (std::vector<uint16_t>{1}));
  // Later changes leave an open tab open.
  ASSERT_EQ(TL_openTag(s_, 0x0B), 0);
  number = 0;
  ASSERT_EQ(TL_writeKojin(s_, &k, &number, 0), 0);
  unsigned short count = 0;
  EXPECT_EQ(TL_readTagWeightCount(s_, 0x0B, &count), 0);
  EXPECT_EQ(count, 1);
  EXPECT_EQ(TL_closeTag(s_), 0);
}

TEST_F(TabTest, PersonalEntriesFirstThenGroupsInSlotOrder) {
  BookBuilder book;
  book.Group(3, GroupImage("g3", kHiraKa, {}, 0), 0x02);
  book.Personal(9, Entry(kHiraKa), 0x12);
  book.Group(1, GroupImage("g1", kHiraKa, {}, 0), 0x22);
  book.Personal(2, Entry(kHiraKa), 0x02);
  book.Personal(4, Entry(kHiraSa), 0x13);
  OpenImage(book.bytes());
  EXPECT_EQ(Walk(0x02), (std::vector<uint16_t>{2, 9, 16385, 16387}));
  EXPECT_EQ(Walk(0x12), (std::vector<uint16_t>{2, 9, 16385, 16387}));  // same as 0x02
  EXPECT_EQ(Walk(0x10), (std::vector<uint16_t>{4, 9}));
  EXPECT_EQ(Walk(0x20), (std::vector<uint16_t>{16385}));
  EXPECT_EQ(Walk(0x50), std::vector<uint16_t>{});
  // After the last record the tab stays exhausted until it is reopened.
  ASSERT_EQ(TL_openTag(s_, 0x03), 0);
  TL_ListItem item;
  ASSERT_EQ(TL_readTagData(s_, 0x03, &item), 0);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(TL_readTagData(s_, 0x03, &item), -1);
    EXPECT_EQ(ErrorOf(s_), (Pair{6, 6}));
  }
}

TEST_F(TabTest, RecordsThatLeaveAnOpenTabEndTheScanQuietly) {
  ASSERT_EQ(TL_createDataBase(s_, path_.c_str()), 0);
  TL_Kojin k{};
  strcpy(k.Furigana, kHiraA);
  unsigned short number = 0;
  ASSERT_EQ(TL_writeKojin(s_, &k, &number, 0), 0);
  ASSERT_EQ(TL_openTag(s_, 1), 0);
  strcpy(k.Furigana, kKanji);
  ASSERT_EQ(TL_writeKojin(s_, &k, &number, 0), 0);
  TL_ListItem item;
  memset(&item, 0x5A, sizeof(item));
  EXPECT_EQ(TL_readTagData(s_, 1, &item), 0);
  EXPECT_EQ(item.RecordNumber, 0x5A5A);  // untouched
  EXPECT_EQ(TL_readTagData(s_, 1, &item), 0);
}

// Once the session works on its working copy, changes leave an open tab open: the rest of the
// tab is met as a scan from where the reads stopped meets it, within the count of the open.
TEST_F(TabTest, ChangesWhileATabIsOpenAreMetWhereTheScanMeetsThem) {
  ASSERT_EQ(TL_createDataBase(s_, path_.c_str()), 0);
  auto write = [&](unsigned short number, const char* name, const char* reading) {
    TL_Kojin k = Kojin(name, reading);
    ASSERT_EQ(TL_writeKojin(s_, &k, &number, 0), 0);
  };
  for (unsigned short n = 1; n <= 6; ++n) write(n, "e", n == 4 ? kHiraSa : kHiraKa);
  ASSERT_EQ(TL_openTag(s_, 2), 0);
  unsigned short count = 0;
  ASSERT_EQ(TL_readTagWeightCount(s_, 2, &count), 0);
  EXPECT_EQ(count, 5);
  TL_ListItem item;
  for (uint16_t expected : {1, 2}) {
    ASSERT_EQ(TL_readTagData(s_, 2, &item), 0);
    EXPECT_EQ(item.RecordNumber, expected);
  }
  write(4, "joined", kHiraKa);
  write(3, "left", kHiraSa);
  write(5, "renamed", kHiraKa);
  ASSERT_EQ(TL_readTagData(s_, 2, &item), 0);
  EXPECT_EQ(item.RecordNumber, 4);
  EXPECT_STREQ(item.Name, "joined");
  write(0, "new", kHiraKa);  // slot 7, past the count of the open
  write(1, "behind", kHiraSa);
  for (std::pair<uint16_t, const char*> expected :
       {std::make_pair(5, "renamed"), std::make_pair(6, "e")}) {
    ASSERT_EQ(TL_readTagData(s_, 2, &item), 0);
    EXPECT_EQ(item.RecordNumber, expected.first);
    EXPECT_STREQ(item.Name, expected.second);
  }
  EXPECT_EQ(TL_readTagData(s_, 2, &item), -1);
  EXPECT_EQ(ErrorOf(s_), (Pair{6, 6}));
  EXPECT_EQ(TL_closeTag(s_), 0);
  EXPECT_EQ(Walk(2), (std::vector<uint16_t>{2, 4, 5, 6, 7}));
  EXPECT_EQ(Walk(3), (std::vector<uint16_t>{1, 3}));
}

// Tab lists are kept between walks: every delete leaves them, whether or not it moves a count.
TEST_F(TabTest, DeletedRecordsLeaveTheTabsAtOnce) {
  BookBuilder book;
  book.Personal(2, Entry(kHiraKa), 0x02);
  book.Personal(9, Entry(kHiraKa), 0x02);
  book.Personal(5, Entry(kHiraKa), 0x02);
  book.Group(1, GroupImage("g1", kHiraKa, {}, 0), 0x02);
  PutU16(&book.bytes(), 8, 1);  // a count lower than the entries: deletes stop moving it at 0
  OpenImage(book.bytes());
  EXPECT_EQ(Walk(0x02), (std::vector<uint16_t>{2, 5, 9, 16385}));
  ASSERT_EQ(TL_deleteKojin(s_, 2), 0);  // the first change: the session takes its working copy
  EXPECT_EQ(Walk(0x02), (std::vector<uint16_t>{5, 9, 16385}));
  ASSERT_EQ(TL_deleteKojin(s_, 9), 0);
  EXPECT_EQ(Walk(0x02), (std::vector<uint16_t>{5, 16385}));
  ASSERT_EQ(TL_deleteGroup(s_, 16385), 0);
  ASSERT_EQ(TL_deleteKojin(s_, 5), 0);
  EXPECT_EQ(Walk(0x02), std::vector<uint16_t>{});
}

TEST_F(TabTest, OpenRebuildsTheOtherClassFromTheStoredReadings) {
  BookBuilder book;
  book.Personal(1, Entry(kHiraKa), 0x0B);  // kana now: moves to か
  book.Personal(2, Entry("Latin"), 0x0B);  // stays
  book.Personal(3, Entry(kChouon), 0x1B);  // ー: わ row, favourite kept
  book.Personal(4, Entry(kKataVu), 0x0B);  // ヴ stays in the other class
  book.Personal(5, Entry("\xb1"), 0x0B);   // ｱ
  book.Personal(6, Entry(kHiraSa), 0x01);  // classes other than 11 are trusted as stored
  book.Group(1, GroupImage("g", kHiraSa, {}, 0), 0x2B);
  Bytes wrong = Entry(kHiraKa);
  wrong[0] = 2;  // a group record under a personal number
  book.Personal(7, wrong, 0x0B);
  OpenImage(book.bytes());
  EXPECT_EQ(ErrorOf(s_), (Pair{4, 1}));  // left by the mismatching record
  EXPECT_EQ(Walk(0x02), (std::vector<uint16_t>{1}));
  EXPECT_EQ(Walk(0x0A), (std::vector<uint16_t>{3}));
  EXPECT_EQ(Walk(0x10), (std::vector<uint16_t>{3}));
  EXPECT_EQ(Walk(0x01), (std::vector<uint16_t>{5, 6}));
  EXPECT_EQ(Walk(0x03), (std::vector<uint16_t>{16385}));
  EXPECT_EQ(Walk(0x20), (std::vector<uint16_t>{16385}));
  // The mismatching record keeps its code; its read fails and the walk moves past it.
  ASSERT_EQ(TL_openTag(s_, 0x0B), 0);
  unsigned short count = 0;
  TL_readTagWeightCount(s_, 0x0B, &count);
  EXPECT_EQ(count, 3);
  TL_ListItem item;
  ASSERT_EQ(TL_readTagData(s_, 0x0B, &item), 0);
  EXPECT_EQ(item.RecordNumber, 2);
  ASSERT_EQ(TL_readTagData(s_, 0x0B, &item), 0);
  EXPECT_EQ(item.RecordNumber, 4);
  EXPECT_EQ(TL_readTagData(s_, 0x0B, &item), -1);
  EXPECT_EQ(ErrorOf(s_), (Pair{4, 1}));
  EXPECT_EQ(TL_readTagData(s_, 0x0B, &item), -1);
  EXPECT_EQ(ErrorOf(s_), (Pair{6, 6}));
}

TEST_F(TabTest, AnUnreadableRecordDoesNotHideTheRestOfTheTab) {
  FaultEnv env(Env::Default());
  ScopedSessionEnv scoped(&env);
  SessionHolder s;
  BookBuilder book;
  for (int n = 1; n <= 3; ++n) book.Personal(n, Entry(kHiraA), 0x01);
  WriteFile(path_, book.bytes());
  ASSERT_EQ(TL_openDataBase(s, path_.c_str()), 0);
  ASSERT_EQ(TL_openTag(s, 1), 0);
  // The tab holds the records in memory from its open: without that block, a record is read from
  // the file into a block of its own, and neither can be had.
  FromHandle(s)->store.read_ahead().Release();
  TL_ListItem item;
  env.SetSticky(true);
  env.FailAt(FaultKind::kAlloc, 1);
  EXPECT_EQ(TL_readTagData(s, 1, &item), -1);
  EXPECT_EQ(ErrorOf(s), (Pair{4, 4}));
  env.SetSticky(false);
  env.FailAt(FaultKind::kRead, 1);
  EXPECT_EQ(TL_readTagData(s, 1, &item), -1);
  EXPECT_EQ(ErrorOf(s), (Pair{14, 15}));
  ASSERT_EQ(TL_readTagData(s, 1, &item), 0);
  EXPECT_EQ(item.RecordNumber, 3);
  EXPECT_EQ(TL_readTagData(s, 1, &item), -1);
  EXPECT_EQ(ErrorOf(s), (Pair{6, 6}));
}

// A full phone book: 9999 personal entries and 5000 groups spread over every reading class and
// favourite category. Each record must show exactly once in its reading-class tab and once in
// its favourite tab.
TEST_F(TabTest, FullPhoneBookWalksThroughEveryTab) {
  // First characters of the eleven reading classes.
  const std::string readings[11] = {"\x82\xa0", "\x83\x4a", "\xbb", "\x82\xc1",
                                    "\x83\x6d", "\x82\xdb", "\xcf", "\x83\x88",
                                    "\x82\xe7", "\x81\x5b", "Zz"};
  BookBuilder book;
  uint32_t personal_at[11], group_at[11];
  uint16_t personal_len[11], group_len[11];
  for (int c = 0; c < 11; ++c) {
    Bytes p = Entry(readings[c]);
    Bytes g = GroupImage("g", readings[c], {1}, 1);
    personal_at[c] = book.Append(p);
    personal_len[c] = static_cast<uint16_t>(p.size());
    group_at[c] = book.Append(g);
    group_len[c] = static_cast<uint16_t>(g.size());
  }
  std::map<uint16_t, std::pair<int, int>> expected;  // number -> (class, favourite)
  for (int n = 1; n <= 9999; ++n) {
    int c = n % 11, fav = n % 6;
    // Entries of the ー row are stored under the other class: the open must move them.
    uint8_t tab = static_cast<uint8_t>((c == 9 ? 11 : c + 1) | fav << 4);
    SetPersonalSlot(&book.bytes(), n, 1, tab, personal_len[c], personal_at[c]);
    expected[static_cast<uint16_t>(n)] = {c + 1, fav};
  }
  for (int n = 1; n <= 5000; ++n) {
    int c = (n * 7) % 11, fav = (n * 5) % 6;
    uint8_t tab = static_cast<uint8_t>((c + 1) | fav << 4);
    SetGroupSlot(&book.bytes(), n, 2, tab, group_len[c], group_at[c]);
    expected[static_cast<uint16_t>(16384 + n)] = {c + 1, fav};
  }
  PutU16(&book.bytes(), 8, 9999);
  PutU16(&book.bytes(), 10, 5000);
  OpenImage(book.bytes());

  // A second session walks the tabs with no memory to be had once the book is open: without the
  // lists of every tab and the record area in memory, it scans the slots and reads the file, and
  // must meet the same records.
  FaultEnv env(Env::Default());
  std::map<int, std::vector<uint16_t>> walked;
  {
    ScopedSessionEnv scoped(&env);
    SessionHolder scanning;
    ASSERT_EQ(TL_openDataBase(scanning, path_.c_str()), 0);
    env.SetSticky(true);
    env.FailAt(FaultKind::kAlloc, 1);
    for (int code : {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 0x10, 0x20, 0x30, 0x40, 0x50}) {
      walked[code] = Walk(scanning, code);
    }
    EXPECT_TRUE(env.Fired());
  }

  std::map<uint16_t, int> in_class, in_favourite;
  for (int code = 1; code <= 11; ++code) {
    std::vector<uint16_t> numbers = Walk(code);
    EXPECT_TRUE(numbers == walked[code]) << code;
    for (uint16_t number : numbers) {
      ++in_class[number];
      EXPECT_EQ(expected[number].first, code) << number;
    }
  }
  for (int fav = 1; fav <= 5; ++fav) {
    std::vector<uint16_t> numbers = Walk(fav << 4);
    EXPECT_TRUE(numbers == walked[fav << 4]) << fav;
    for (uint16_t number : numbers) {
      ++in_favourite[number];
      EXPECT_EQ(expected[number].second, fav) << number;
    }
  }
  EXPECT_EQ(in_class.size(), 14999u);
  for (const auto& [number, where] : expected) {
    EXPECT_EQ(in_class[number], 1) << number;
    EXPECT_EQ(in_favourite.count(number) ? in_favourite[number] : 0, where.second == 0 ? 0 : 1)
        << number;
  }
}

TEST(TabCodeTest, AcceptedAndRefusedCodes) {
  uint8_t mask = 0, value = 0;
  for (int code = 0; code < 256; ++code) {
    int low = code & 0x0F, high = code >> 4;
    bool expected = high <= 5 && (low == 0 ? high != 0 : low <= 11);
    EXPECT_EQ(DecodeTabCode(static_cast<uint8_t>(code), &mask, &value), expected) << code;
    if (!expected) continue;
    if (low == 0) {
      EXPECT_EQ(mask, 0xF0);
      EXPECT_EQ(value, code);
    } else {
      EXPECT_EQ(mask, 0x0F);
      EXPECT_EQ(value, low);
    }
  }
}

}  // namespace
}  // namespace test
}  // namespace telbook
