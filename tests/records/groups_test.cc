// Groups through TL_writeGroup and the group reader: writes read back with their members, the
// member limit, and stored member lists with empty places and missing entries.
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

TEST_F(RecordsTest, GroupsWriteAndReadBack) {
  Create();
  TL_Kojin k = FullKojin();
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

}  // namespace
}  // namespace test
}  // namespace telbook
