// The phone book subset: slots and offsets of the chosen records, default favourites, records
// converted without repair, the empty-group flag, and the subset of a version-1 phone book.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "export/export_test_util.h"
#include "records/group_codec.h"
#include "store/format.h"

namespace telbook {
namespace test {
namespace {

constexpr int kSubset = 1;

class SubsetTest : public ExportTest {
 protected:
  // Opens the destination as a phone book in a second session.
  void OpenOutput(SessionHolder* other) {
    ASSERT_EQ(TL_openDataBase(*other, out_.c_str()), 0) << ErrorOf(*other);
  }
  TL_Kojin Read(TL_FaxUtl* s, uint16_t n) {
    TL_Kojin e;
    memset(&e, 0, sizeof(e));
    EXPECT_EQ(TL_readKojin(s, &e, n), 0) << n;
    return e;
  }
};

TEST_F(SubsetTest, EntriesThreeAnd2000AndGroup16390) {
  BookImage book;
  for (int n : {1, 3, 1999, 2000, 2001}) book.AddKojin(n, Entry("E" + std::to_string(n)), 2);
  book.AddGroup(5, "Other", "other", {1});
  book.AddGroup(6, "Six", "six", {2000, 3});
  Open(book);
  ASSERT_EQ(Export({3}, {16390}, kSubset), 0);

  Bytes out = OutputBytes();
  Bytes k3 = KojinRecord(Entry("E3"));
  Bytes k2000 = KojinRecord(Entry("E2000"));
  Bytes g6 = GroupRecord("Six", "six", {2000, 3});
  uint32_t p3 = format::kFixedPartSize;
  uint32_t p2000 = p3 + static_cast<uint32_t>(k3.size());
  uint32_t pg = p2000 + static_cast<uint32_t>(k2000.size());
  ASSERT_EQ(out.size(), pg + g6.size());

  Bytes expected = EmptyBook();
  PutU16(&expected, format::kPersonalCountOffset, 2);
  PutU16(&expected, format::kGroupCountOffset, 1);
  SetPersonalSlot(&expected, 3, 1, 2, static_cast<uint16_t>(k3.size()), p3);
  SetPersonalSlot(&expected, 2000, 1, 2, static_cast<uint16_t>(k2000.size()), p2000);
  SetGroupSlot(&expected, 6, 2, 1, static_cast<uint16_t>(g6.size()), pg);
  for (int k = 0; k < 5; ++k) {
    const uint8_t name[] = {0x82, 0xA8, 0x8D, 0x44,
                            0x82, 0xDD, 0x82, static_cast<uint8_t>(0x50 + k)};
    memcpy(expected.data() + 36 + 16 * k, name, sizeof(name));
  }
  for (const Bytes* r : {&k3, &k2000, &g6}) expected.insert(expected.end(), r->begin(), r->end());
  EXPECT_EQ(out, expected);
  EXPECT_EQ(GetU32(out, 24312 + 4), p2000);
  EXPECT_EQ(GetU32(out, 8360 + 4), pg);

  SessionHolder other;
  OpenOutput(&other);
  unsigned short personal = 0, groups = 0;
  EXPECT_EQ(TL_readDataCount(other, &personal, &groups), 0);
  EXPECT_EQ(personal, 2);
  EXPECT_EQ(groups, 1);
  for (uint16_t n : {3, 2000}) {
    TL_Kojin a = Read(s_, n), b = Read(other, n);
    EXPECT_EQ(memcmp(&a, &b, sizeof(a)), 0) << n;
  }
  TL_Kojin none;
  EXPECT_EQ(TL_readKojin(other, &none, 1), -1);
  ASSERT_EQ(TL_openGroup(other, 16390), 0);
  TL_Group g;
  ASSERT_EQ(TL_readGroupData(other, &g), 0);
  EXPECT_STREQ(g.Name, "Six");
  EXPECT_EQ(g.MemberCount, 2);
}

// Records enough to fill many write blocks and chosen slots in every part of both tables: the
// subset is its layout, byte for byte.
TEST_F(SubsetTest, ALargeSubsetIsExactlyItsLayout) {
  BookImage book;
  std::vector<int> entries;
  for (int n = 1; n <= 9999; n += (n < 1100 ? 1 : 5)) {
    book.AddKojin(n, Entry("Entry " + std::to_string(n), "a", std::to_string(n * 17)), 0x21);
    if (n % 3 != 0) entries.push_back(n);
  }
  // A group of 9999 members brings only chosen entries along.
  std::vector<uint16_t> many;
  while (many.size() < 9999) many.push_back(static_cast<uint16_t>(entries[many.size() % 7]));
  for (int n : {1, 1024, 1025, 4000, 6000}) {
    book.AddGroup(n, "G" + std::to_string(n), "g", n == 4000 ? many : std::vector<uint16_t>{1});
  }
  Open(book);
  std::vector<uint16_t> chosen(entries.begin(), entries.end());
  ASSERT_EQ(Export(chosen, {16385, 17409, 20384, 22384}, kSubset), 0);

  Bytes expected = EmptyBook();
  PutU16(&expected, format::kPersonalCountOffset, static_cast<uint16_t>(entries.size()));
  PutU16(&expected, format::kGroupCountOffset, 4);
  for (int k = 0; k < 5; ++k) {
    const uint8_t name[] = {0x82, 0xA8, 0x8D, 0x44,
                            0x82, 0xDD, 0x82, static_cast<uint8_t>(0x50 + k)};
    memcpy(expected.data() + 36 + 16 * k, name, sizeof(name));
  }
  auto append = [&expected](const Bytes& r) {
    uint32_t at = static_cast<uint32_t>(expected.size());
    expected.insert(expected.end(), r.begin(), r.end());
    return at;
  };
  for (int n : entries) {
    Bytes r = KojinRecord(Entry("Entry " + std::to_string(n), "a", std::to_string(n * 17)));
    SetPersonalSlot(&expected, n, 1, 0x01, static_cast<uint16_t>(r.size()), append(r));
  }
  for (int n : {1, 1025, 4000, 6000}) {
    Bytes r =
        GroupRecord("G" + std::to_string(n), "g", n == 4000 ? many : std::vector<uint16_t>{1});
    SetGroupSlot(&expected, n, 2, 0x01, static_cast<uint16_t>(r.size()), append(r));
  }
  Bytes out = OutputBytes();
  ASSERT_EQ(out.size(), expected.size());
  EXPECT_TRUE(out == expected);
}

TEST_F(SubsetTest, NothingChosenGivesTheFixedPartAlone) {
  BookImage book;
  book.AddKojin(1, Entry("one"));
  Open(book);
  ASSERT_EQ(Export({}, {}, kSubset), 0);
  Bytes out = OutputBytes();
  ASSERT_EQ(out.size(), format::kFixedPartSize);
  EXPECT_EQ(GetU16(out, 8), 0);
  EXPECT_EQ(GetU16(out, 10), 0);
  EXPECT_EQ(GetU16(out, 12), 9999);
  EXPECT_EQ(GetU16(out, 14), 5000);
}

TEST_F(SubsetTest, FavouritesAreDroppedAndTheReadingClassKept) {
  Bytes base = EmptyBook();
  memcpy(base.data() + 36, "Friends", 8);
  BookImage book(base);
  book.AddKojin(1, Entry("Sato", "\x82\xb3\x82\xc6\x82\xa4"), 0x23);
  Open(book);
  ASSERT_EQ(Export({1}, {}, kSubset), 0);
  Bytes out = OutputBytes();
  EXPECT_EQ(out[format::PersonalSlotOffset(1) + 1], 0x03);
  const uint8_t first[] = {0x82, 0xA8, 0x8D, 0x44, 0x82, 0xDD, 0x82, 0x50, 0};
  EXPECT_EQ(memcmp(out.data() + 36, first, sizeof(first)), 0);
  EXPECT_EQ(GetU16(out, 32), 5);
}

TEST_F(SubsetTest, RecordsAreConvertedWithoutRepair) {
  Bytes tabbed = KojinRecord(Entry("AxB", "a"));
  ASSERT_EQ(tabbed[57 + 1], 'x');
  tabbed[57 + 1] = '\t';
  // A foreign record longer than the longest the library writes.
  std::string long_name(3000, 'n');
  Bytes foreign(43, 0);
  foreign[0] = 1;
  for (int n = 0; n < 13; ++n) {
    PutU16(&foreign, 2 + 2 * n, static_cast<uint16_t>(foreign.size()));
    if (n == 0) foreign.insert(foreign.end(), long_name.begin(), long_name.end());
    foreign.push_back(0);
  }
  Bytes places = GroupRecord("G", "g", {5, 6, 7});
  PutU16(&places, group::kMemberCountOffset, 1);
  PutU16(&places, group::kExtraPlacesOffset, 2);
  BookImage book;
  book.AddRaw(false, 1, tabbed, 1, 1);
  book.AddKojin(2, Entry("A\x82", "a"));
  book.AddRaw(false, 3, foreign, 1, 1);
  for (int n : {5, 6, 7}) book.AddKojin(n, Entry("m"));
  book.AddRaw(true, 1, places, 2, 1);
  Open(book);
  ASSERT_EQ(Export({1, 2, 3}, {16385}, kSubset), 0);

  SessionHolder other;
  ASSERT_EQ(TL_openDataBase(other, out_.c_str()), 0);
  EXPECT_STREQ(Read(other, 1).Name, "A B");
  EXPECT_STREQ(Read(other, 2).Name, "A\x82");
  EXPECT_EQ(std::string(Read(other, 3).Name), std::string(40, 'n'));
  // The group keeps N and its first place; the further places go.
  Bytes out = OutputBytes();
  uint32_t at = GetU32(out, format::GroupSlotOffset(1) + 4);
  uint16_t length = GetU16(out, format::GroupSlotOffset(1) + 2);
  GroupView view(out.data() + at, length);
  EXPECT_EQ(view.member_count(), 1);
  EXPECT_EQ(view.extra_places(), 0);
  EXPECT_EQ(view.place(0), 5);
  // The expansion walked every place, the further ones too.
  for (int n : {5, 6, 7}) EXPECT_EQ(out[format::PersonalSlotOffset(n)], 1) << n;
}

TEST_F(SubsetTest, EmptyGroupsRaiseTheFlagAndAreWritten) {
  BookImage book;
  book.AddKojin(5, Entry("five"));
  book.AddGroup(1, "Full", "full", {5});
  book.AddGroup(2, "None", "none", {});
  book.AddGroup(3, "Lead0", "lead0", {0, 5});
  Open(book);
  short flag = 0;
  ASSERT_EQ(Export({}, {16385}, kSubset, &flag), 0);
  EXPECT_EQ(flag, 0);
  ASSERT_EQ(Export({}, {16386}, kSubset, &flag), 0);
  EXPECT_EQ(flag, 1);
  EXPECT_EQ(OutputBytes()[format::GroupSlotOffset(2)], 2);
  flag = 0;
  ASSERT_EQ(Export({}, {16387}, kSubset, &flag), 0);
  EXPECT_EQ(flag, 1);
  // The flag is never cleared, and the text export leaves it alone.
  flag = 7;
  ASSERT_EQ(Export({}, {16386}, 0, &flag), 0);
  EXPECT_EQ(flag, 7);
  ASSERT_EQ(Export({}, {16386}, kSubset, nullptr), 0);
}

TEST_F(SubsetTest, AnyUsedRecordOfAnotherKindFailsTheSubset) {
  BookImage book;
  book.AddKojin(1, Entry("one"));
  Bytes alt = KojinRecord(Entry("alt"));
  alt[0] = 3;
  book.AddRaw(false, 9, alt, 3, 1);
  Open(book);
  WriteFile(out_, {'o', 'l', 'd'});
  EXPECT_EQ(Export({1}, {}, kSubset), -1);
  EXPECT_EQ(Output(), "old");
  EXPECT_TRUE(Strays().empty());
  // The text export reads only what is chosen.
  EXPECT_EQ(Export({1}, {}, 0), 0);
}

TEST_F(SubsetTest, AVersionOneBookGivesAVersionTwoSubset) {
  BookImage book(EmptyBookV1());
  book.AddKojin(3, Entry("three"));
  Open(book);
  ASSERT_EQ(TL_getFileVersion(s_), 1);
  ASSERT_EQ(Export({3}, {}, kSubset), 0);
  Bytes out = OutputBytes();
  EXPECT_EQ(std::string(out.begin() + 4, out.begin() + 8), "0200");
  SessionHolder other;
  OpenOutput(&other);
  EXPECT_EQ(TL_getFileVersion(other), 2);
  EXPECT_STREQ(Read(other, 3).Name, "three");
}

TEST_F(SubsetTest, AVersionTwoHeaderIsKeptButForTheCounts) {
  Bytes base = EmptyBook("KVTL", "0207");
  base[20] = 0x5A;
  BookImage book(base);
  book.AddKojin(3, Entry("three"));
  Open(book);
  ASSERT_EQ(Export({3, 4}, {}, kSubset), 0);
  Bytes out = OutputBytes();
  Bytes header(out.begin(), out.begin() + 32);
  Bytes expected(base.begin(), base.begin() + 32);
  PutU16(&expected, 8, 1);
  EXPECT_EQ(header, expected);
}

}  // namespace
}  // namespace test
}  // namespace telbook
