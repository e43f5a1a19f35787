// The record codecs on their own: encoded layout, the longest record, tab replacement, host
// texts without a zero, and decoding of damaged records that must stay inside their bytes.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "book_builder.h"
#include "records/group_codec.h"
#include "records/kojin_codec.h"
#include "records/record_text.h"

namespace telbook {
namespace test {
namespace {

std::string Str(std::string_view v) { return std::string(v); }

TEST(KojinCodecTest, EncodesTheStoredLayout) {
  TL_Kojin k{};
  strcpy(k.Name, "Ann");
  strcpy(k.Memo, "a\tb");
  strcpy(k.PCode, "77");
  k.HostWord1 = 0x1234;
  k.LineType = 1;
  k.RelayOutput = 9;
  k.AltDestFlag = 1;
  k.Favourite = 4;
  uint8_t buf[kojin::kEncodeCapacity];
  memset(buf, 0xEE, sizeof(buf));
  uint32_t length = EncodeKojin(k, buf, sizeof(buf));
  // 57 + "Ann" + "a b" + 11 empty main strings + 2 empty extension strings + "77".
  EXPECT_EQ(length, 57u + 4 + 4 + 11 + 2 + 3);
  EXPECT_EQ(buf[0], 1);
  EXPECT_EQ(buf[1], 0);
  EXPECT_EQ(buf[2] | buf[3] << 8, 57);
  EXPECT_EQ(buf[28] | buf[29] << 8, 43);
  EXPECT_EQ(buf[30] | buf[31] << 8, 0x1234);
  EXPECT_EQ(buf[34], 1);
  EXPECT_EQ(buf[38], 9);
  EXPECT_EQ(0, memcmp(buf + 43, "0200", 4));
  EXPECT_EQ(buf[53] | buf[54] << 8, 0);  // never an alternate destination
  KojinView v(buf, length);
  std::string_view text;
  ASSERT_TRUE(v.Main(6, &text));
  EXPECT_EQ(Str(text), "a b");
  EXPECT_EQ(Str(v.Extension(2)), "77");
  EXPECT_EQ(Str(v.Extension(0)), "");
  EXPECT_EQ(v.AltDestFlag(), 0);
}

TEST(KojinCodecTest, NoExtensionLinkWhenAllThreeAreEmpty) {
  TL_Kojin k{};
  strcpy(k.Name, "x");
  uint8_t buf[kojin::kEncodeCapacity];
  uint32_t length = EncodeKojin(k, buf, sizeof(buf));
  EXPECT_EQ(buf[28] | buf[29] << 8, 0);
  // The block and its strings are written all the same.
  EXPECT_EQ(0, memcmp(buf + 43, "0200", 4));
  EXPECT_EQ(length, 57u + 2 + 12 + 3);
  EXPECT_EQ(EncodeKojin(k, buf, sizeof(buf) - 1), 0u);
}

TEST(KojinCodecTest, FullFieldsWithoutZeroAreCutToCapacityMinusOne) {
  TL_Kojin k;
  memset(&k, 'A', sizeof(k));  // no field holds a zero
  uint8_t buf[kojin::kEncodeCapacity + 16];
  uint32_t length = EncodeKojin(k, buf, sizeof(buf));
  EXPECT_EQ(length, kojin::kMaxEncodedLength);
  EXPECT_EQ(length, 942u);
  KojinView v(buf, length);
  std::string_view text;
  ASSERT_TRUE(v.Main(0, &text));
  EXPECT_EQ(text.size(), 40u);
  ASSERT_TRUE(v.Main(5, &text));
  EXPECT_EQ(text.size(), 256u);
  EXPECT_EQ(v.Extension(0).size(), 3u);
  for (uint32_t i = length; i < sizeof(buf); ++i) EXPECT_EQ(buf[i], 0) << i;
}

TEST(KojinCodecTest, DecodingStaysInsideADamagedRecord) {
  KojinImage image;
  image.main[0] = "Name";
  image.ext[1] = "F";
  Bytes r = image.Build();
  PutU16(&r, 2 + 2 * 1, 5000);                             // Furigana offset far past the end
  PutU16(&r, 2 + 2 * 2, static_cast<uint16_t>(r.size()));  // exactly at the end
  r.back() = 'z';                                          // the last string loses its zero
  KojinView v(r.data(), r.size());
  std::string_view text;
  ASSERT_TRUE(v.Main(1, &text));
  EXPECT_TRUE(text.empty());
  ASSERT_TRUE(v.Main(2, &text));
  EXPECT_TRUE(text.empty());
  EXPECT_EQ(Str(v.Extension(2)), "z");  // ends at the record's end
  // A record cut short inside its offset table: missing offsets give empty texts, missing
  // numbers read 0.
  KojinView cut(r.data(), 20);
  ASSERT_TRUE(cut.Main(12, &text));
  EXPECT_TRUE(text.empty());
  EXPECT_EQ(cut.host_word1(), 0);
  EXPECT_EQ(Str(cut.Extension(0)), "");
  // An extension link past the end, and an alternate destination link past the end.
  Bytes r2 = image.Build();
  PutU16(&r2, 28, 0xFFF0);
  KojinView v2(r2.data(), r2.size());
  EXPECT_EQ(Str(v2.Extension(1)), "");
  EXPECT_EQ(v2.AltDestFlag(), 0);
  image.has_alt = true;
  Bytes r3 = image.Build();
  PutU16(&r3, 53, static_cast<uint16_t>(r3.size() - 2));
  KojinView v3(r3.data(), r3.size());
  EXPECT_EQ(Str(v3.AltDest()), "");
  // Kinds other than 1, 2 and 3 are refused; an empty record too.
  r[0] = 4;
  EXPECT_FALSE(KojinView(r.data(), r.size()).Main(0, &text));
  EXPECT_FALSE(KojinView(r.data(), 0).Main(0, &text));
}

TEST(KojinCodecTest, AlternateDestination) {
  KojinImage image;
  image.kind = 3;
  image.main[3] = "0311112222";
  image.has_alt = true;
  image.alt_text = "0399998888";
  Bytes r = image.Build();
  KojinView v(r.data(), r.size());
  EXPECT_EQ(v.AltDestFlag(), 1);
  EXPECT_EQ(Str(v.AltDest()), "0399998888");
  image.link_extension = false;
  Bytes r2 = image.Build();
  EXPECT_EQ(KojinView(r2.data(), r2.size()).AltDestFlag(), 0);
}

TEST(RecordTextTest, CopyToFieldCutsAndTerminates) {
  char field[5];
  memset(field, 'x', sizeof(field));
  CopyToField(field, sizeof(field), "abcdefgh");
  EXPECT_STREQ(field, "abcd");
  memset(field, 'x', sizeof(field));
  CopyToField(field, sizeof(field), "ab");
  EXPECT_EQ(std::string(field, 5), std::string("ab\0xx", 5));
}

TEST(GroupCodecTest, EncodesAndDecodes) {
  TL_Group g{};
  strcpy(g.Name, "Team\t1");
  strcpy(g.Furigana, "\x82\xa9");
  g.HostWord2 = 7;
  const uint16_t members[] = {5, 9, 12};
  uint8_t buf[group::EncodeCapacity(3)];
  uint32_t length = EncodeGroup(g, members, 3, buf, sizeof(buf));
  EXPECT_EQ(length, 16u + 6 + 7 + 3);
  EXPECT_EQ(buf[0], 2);
  EXPECT_EQ(buf[6] | buf[7] << 8, 22);
  GroupView v(buf, length);
  EXPECT_EQ(v.member_count(), 3);
  EXPECT_EQ(v.extra_places(), 0);
  ASSERT_EQ(v.place_count(), 3u);
  EXPECT_EQ(v.place(2), 12);
  EXPECT_EQ(v.host_word2(), 7);
  std::string_view text;
  ASSERT_TRUE(v.Text(0, &text));
  EXPECT_EQ(Str(text), "Team 1");
  EXPECT_EQ(EncodeGroup(g, members, 3, buf, sizeof(buf) - 1), 0u);
  EXPECT_EQ(EncodeGroup(g, nullptr, 3, buf, sizeof(buf)), 0u);
}

TEST(GroupCodecTest, MemberPlacesPastTheEndAreNotRead) {
  Bytes r = GroupImage("G", "g", {5, 0, 0xFFFF, 9}, 4);
  PutU16(&r, 12, 60000);  // claims far more places than the record holds
  GroupView v(r.data(), r.size());
  EXPECT_EQ(v.place_count(), (r.size() - 16) / 2);
  EXPECT_EQ(GroupView(r.data(), 17).place_count(), 0u);
  EXPECT_EQ(GroupView(r.data(), 10).member_count(), 0);
}

}  // namespace
}  // namespace test
}  // namespace telbook
