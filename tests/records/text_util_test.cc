// The text conversion utility: decimal parsing, radix conversion and the byte tests.
#include "records/text_util.h"

#include <gtest/gtest.h>

#include "records/cp932_bytes.h"

#include <cstring>

namespace telbook {
namespace {

TEST(TextUtilTest, ParseDecimalAcceptsDigitsOnly) {
  EXPECT_EQ(text_util::ParseDecimal(""), 0u);
  EXPECT_EQ(text_util::ParseDecimal(nullptr), 0u);
  EXPECT_EQ(text_util::ParseDecimal("0"), 0u);
  EXPECT_EQ(text_util::ParseDecimal("65535"), 65535u);
  EXPECT_EQ(text_util::ParseDecimal("007"), 7u);
  EXPECT_EQ(text_util::ParseDecimal("4294967295"), 4294967295u);
  // Anything but a digit, anywhere, gives 0.
  EXPECT_EQ(text_util::ParseDecimal("12a"), 0u);
  EXPECT_EQ(text_util::ParseDecimal("-1"), 0u);
  EXPECT_EQ(text_util::ParseDecimal(" 12"), 0u);
  EXPECT_EQ(text_util::ParseDecimal("12 "), 0u);
  EXPECT_EQ(text_util::ParseDecimal("+5"), 0u);
}

TEST(TextUtilTest, ParseDecimalWrapsModulo2To32) {
  EXPECT_EQ(text_util::ParseDecimal("4294967296"), 0u);
  EXPECT_EQ(text_util::ParseDecimal("4294967297"), 1u);
}

TEST(TextUtilTest, ToTextInRadix10And16) {
  char out[text_util::kToTextBufferSize];
  ASSERT_TRUE(text_util::ToText(0, out, 10));
  EXPECT_STREQ(out, "0");
  ASSERT_TRUE(text_util::ToText(2147483647, out, 10));
  EXPECT_STREQ(out, "2147483647");
  ASSERT_TRUE(text_util::ToText(9999, out, 10));
  EXPECT_STREQ(out, "9999");
  ASSERT_TRUE(text_util::ToText(255, out, 16));
  EXPECT_STREQ(out, "FF");
  ASSERT_TRUE(text_util::ToText(0xABCDEF, out, 16));
  EXPECT_STREQ(out, "ABCDEF");
}

TEST(TextUtilTest, ToTextRefusesBadRadixAndKeepsTheBuffer) {
  char out[text_util::kToTextBufferSize];
  for (int radix : {17, -1, 0, 1}) {
    strcpy(out, "keep");
    EXPECT_FALSE(text_util::ToText(42, out, radix)) << radix;
    EXPECT_STREQ(out, "keep") << radix;
  }
}

TEST(TextUtilTest, ToTextNeverWritesPastEighteenBytes) {
  char out[text_util::kToTextBufferSize + 4];
  memset(out, 'x', sizeof(out));
  // Negative values are written as their unsigned 32-bit pattern.
  ASSERT_TRUE(text_util::ToText(-1, out, 10));
  EXPECT_STREQ(out, "4294967295");
  ASSERT_TRUE(text_util::ToText(-1, out, 16));
  EXPECT_STREQ(out, "FFFFFFFF");
  // 131071 is seventeen binary digits: the most that fits.
  ASSERT_TRUE(text_util::ToText(131071, out, 2));
  EXPECT_STREQ(out, "11111111111111111");
  memset(out, 'x', sizeof(out));
  EXPECT_FALSE(text_util::ToText(131072, out, 2));
  for (char c : out) EXPECT_EQ(c, 'x');
}

TEST(TextUtilTest, LeadAndTrailByteRanges) {
  EXPECT_FALSE(IsLeadByte(0x80));
  EXPECT_TRUE(IsLeadByte(0x81));
  EXPECT_TRUE(IsLeadByte(0x9F));
  EXPECT_FALSE(IsLeadByte(0xA0));
  EXPECT_FALSE(IsLeadByte(0xDF));
  EXPECT_TRUE(IsLeadByte(0xE0));
  EXPECT_TRUE(IsLeadByte(0xEF));
  EXPECT_FALSE(IsLeadByte(0xF0));
  EXPECT_FALSE(IsLeadByte(0xFC));

  EXPECT_FALSE(IsTrailByte(0x3F));
  EXPECT_TRUE(IsTrailByte(0x40));
  EXPECT_TRUE(IsTrailByte(0x7E));
  EXPECT_FALSE(IsTrailByte(0x7F));
  EXPECT_TRUE(IsTrailByte(0x80));
  EXPECT_TRUE(IsTrailByte(0xFC));
  EXPECT_FALSE(IsTrailByte(0xFD));
}

}  // namespace
}  // namespace telbook
