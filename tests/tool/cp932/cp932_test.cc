// The tool's code page 932 converter, the same cases on each platform's implementation: kana
// and kanji both ways, the JIS look-alikes taken as code page 932's own, and what is refused.
#include <gtest/gtest.h>

#include <string>

#include "tools/cp932.h"

namespace telbook {
namespace {

std::string From(const std::string& utf8, std::string* bad = nullptr) {
  std::string out;
  std::string why;
  if (!cp932::FromUtf8(utf8, &out, &why)) {
    if (bad != nullptr) *bad = why;
    return "<refused>";
  }
  return out;
}

TEST(Cp932, KanaKanjiAndHalfWidthBothWays) {
  const std::string bytes = "\x8E\x52\x93\x63 \x82\xE2\x82\xDC\xB1 abc";  // 山田 やまｱ abc
  EXPECT_EQ(From("山田 やまｱ abc"), bytes);
  EXPECT_EQ(cp932::ToUtf8(bytes), "山田 やまｱ abc");
  EXPECT_EQ(From(""), "");
}

TEST(Cp932, LookAlikesAreTakenAsTheCodePagesOwn) {
  EXPECT_EQ(From("\xE3\x80\x9C"), "\x81\x60");  // U+301C wave dash
  EXPECT_EQ(From("\xEF\xBD\x9E"), "\x81\x60");  // U+FF5E full-width tilde
  EXPECT_EQ(From("\xE2\x88\x92"), "\x81\x7C");  // U+2212 minus sign
  // The yen sign and the overline of JIS-Roman are the code page's backslash and tilde, on every
  // platform alike.
  EXPECT_EQ(From("\xC2\xA5"), "\x5C");      // U+00A5
  EXPECT_EQ(From("\xE2\x80\xBE"), "\x7E");  // U+203E
}

TEST(Cp932, RefusalsNameTheCharacter) {
  std::string bad;
  EXPECT_EQ(From("a\xF0\x9F\x98\x80", &bad), "<refused>");
  EXPECT_NE(bad.find("U+1F600"), std::string::npos) << bad;
  EXPECT_EQ(From("\xED\x95\x9C", &bad), "<refused>");  // Hangul
  EXPECT_NE(bad.find("U+D55C"), std::string::npos) << bad;
  EXPECT_EQ(From("a\xFF", &bad), "<refused>");
  EXPECT_NE(bad.find("0xFF"), std::string::npos) << bad;
  EXPECT_EQ(From(std::string("a\0b", 3), &bad), "<refused>");
  EXPECT_NE(bad.find("U+0000"), std::string::npos) << bad;
}

TEST(Cp932, BytesThatBeginNoCharacterBecomeReplacementCharacters) {
  std::string out;
  EXPECT_FALSE(cp932::ToUtf8Strict("A\x82", &out));  // a lone lead byte at the end
  EXPECT_EQ(out, "A\xEF\xBF\xBD");
  EXPECT_FALSE(cp932::ToUtf8Strict("\x81 B", &out));  // a lead byte before no trail byte
  EXPECT_EQ(out, "\xEF\xBF\xBD B");
  EXPECT_TRUE(cp932::ToUtf8Strict("\x82\xA0", &out));
  EXPECT_EQ(out, "あ");
}

}  // namespace
}  // namespace telbook
