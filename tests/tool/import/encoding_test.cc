// The import's encodings: what a file is taken to be, and the line and byte named when it is
// none of them.
#include "tools/encoding.h"

#include <gtest/gtest.h>

namespace telbook {
namespace tool {
namespace {

TEST(ImportEncoding, DetectsByMarkThenByValidity) {
  struct Case {
    std::string bytes;
    Encoding want;
    size_t bom;
  };
  const Case cases[] = {
      {"\xEF\xBB\xBFK1,a", Encoding::kUtf8, 3},
      {"\xFF\xFEK\0", Encoding::kUtf16Le, 2},
      {"\xFE\xFF\0K", Encoding::kUtf16Be, 2},
      {"plain ASCII", Encoding::kUtf8, 0},
      {"山田", Encoding::kUtf8, 0},
      {"\x8E\x52\x93\x63 \xB1", Encoding::kCp932, 0},  // 山田 ｱ
      {"", Encoding::kUtf8, 0},
  };
  for (const Case& c : cases) {
    size_t bom = 9;
    FileProblem problem;
    EXPECT_EQ(DetectEncoding(c.bytes, &bom, &problem), c.want) << c.bytes;
    EXPECT_EQ(bom, c.bom) << c.bytes;
  }
}

TEST(ImportEncoding, NeitherEncodingNamesLineAndByte) {
  size_t bom = 0;
  FileProblem problem;
  // Line 2 holds 0xFF, which begins no character in either encoding.
  EXPECT_EQ(DetectEncoding("ok\r\nab\xFF", &bom, &problem), Encoding::kAuto);
  EXPECT_EQ(problem.line, 2);
  EXPECT_EQ(problem.byte, 3u);
  EXPECT_NE(problem.reason.find("0xFF"), std::string::npos) << problem.reason;
}

TEST(ImportEncoding, DecodesEachEncodingToUtf8) {
  struct Case {
    std::string bytes;
    Encoding given;
    std::string want;
  };
  const Case cases[] = {
      {"\xEF\xBB\xBF山田", Encoding::kAuto, "山田"},
      {std::string("\xFF\xFE\x71\x5C\x30\x75", 6), Encoding::kAuto, "山田"},
      {std::string("\xFE\xFF\xD8\x3D\xDE\x00", 6), Encoding::kAuto, "\xF0\x9F\x98\x80"},
      {"\x8E\x52\x93\x63", Encoding::kAuto, "山田"},
      {"\x83\x5C", Encoding::kCp932, "ソ"},  // a trail byte that is a backslash
      {std::string("\x71\x5C", 2), Encoding::kUtf16Le, "山"},
  };
  for (const Case& c : cases) {
    std::string out;
    Encoding used = Encoding::kAuto;
    FileProblem problem;
    ASSERT_TRUE(DecodeFile(c.bytes, c.given, &out, &used, &problem)) << problem.reason;
    EXPECT_EQ(out, c.want);
  }
  std::string out;
  Encoding used = Encoding::kAuto;
  FileProblem problem;
  EXPECT_FALSE(DecodeFile("a\nb\x82", Encoding::kCp932, &out, &used, &problem));
  EXPECT_EQ(problem.line, 2);
  EXPECT_FALSE(
      DecodeFile(std::string("\xFF\xFE\x00\xD8", 4), Encoding::kAuto, &out, &used, &problem));
}

TEST(ImportEncoding, CharsetsOfValues) {
  std::string out;
  std::string why;
  EXPECT_TRUE(DecodeCharset("\x8E\x52", "SHIFT_JIS", &out, &why));
  EXPECT_EQ(out, "山");
  EXPECT_TRUE(DecodeCharset("caf\xE9", "ISO-8859-1", &out, &why));
  EXPECT_EQ(out, "café");
  EXPECT_FALSE(DecodeCharset("\x8E\x52", "UTF-8", &out, &why));
  EXPECT_FALSE(DecodeCharset("x", "KOI8-R", &out, &why));
  EXPECT_NE(why.find("KOI8-R"), std::string::npos);
}

}  // namespace
}  // namespace tool
}  // namespace telbook
