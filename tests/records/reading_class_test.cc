// The reading classification table row by row, the characters named for the other rows, and
// the tab codes writers make of a class and a favourite.
#include "records/reading_class.h"

#include <gtest/gtest.h>

#include <string>

#include "store/format.h"

namespace telbook {
namespace {

std::string Double(uint8_t lead, uint8_t trail) {
  return std::string{static_cast<char>(lead), static_cast<char>(trail)};
}
std::string Single(uint8_t b) { return std::string(1, static_cast<char>(b)); }

struct Row {
  uint8_t reading_class;
  uint8_t hira_first, hira_last;
  uint8_t kata_first, kata_last;
};
constexpr Row kRows[] = {
    {1, 0x9F, 0xA8, 0x40, 0x49},  {2, 0xA9, 0xB2, 0x4A, 0x53}, {3, 0xB3, 0xBC, 0x54, 0x5D},
    {4, 0xBD, 0xC7, 0x5E, 0x68},  {5, 0xC8, 0xCC, 0x69, 0x6D}, {6, 0xCD, 0xDB, 0x6E, 0x7C},
    {7, 0xDC, 0xE0, 0x7D, 0x82},  {8, 0xE1, 0xE6, 0x83, 0x88}, {9, 0xE7, 0xEB, 0x89, 0x8D},
    {10, 0xEC, 0xF1, 0x8E, 0x93},
};

TEST(ReadingClassTest, EveryKanaRowFromItsFirstToItsLastCharacter) {
  for (const Row& row : kRows) {
    SCOPED_TRACE(static_cast<int>(row.reading_class));
    EXPECT_EQ(ClassifyReading(Double(0x82, row.hira_first)), row.reading_class);
    EXPECT_EQ(ClassifyReading(Double(0x82, row.hira_last)), row.reading_class);
    EXPECT_EQ(ClassifyReading(Double(0x83, row.kata_first)), row.reading_class);
    EXPECT_EQ(ClassifyReading(Double(0x83, row.kata_last)), row.reading_class);
  }
  // Just outside the tables.
  EXPECT_EQ(ClassifyReading(Double(0x82, 0x9E)), 11);
  EXPECT_EQ(ClassifyReading(Double(0x82, 0xF2)), 11);
  EXPECT_EQ(ClassifyReading(Double(0x83, 0x3F)), 11);
  EXPECT_EQ(ClassifyReading(Double(0x83, 0x94)), 11);  // ヴ
  EXPECT_EQ(ClassifyReading(Double(0x83, 0x95)), 11);  // ヵ
  EXPECT_EQ(ClassifyReading(Double(0x83, 0x96)), 11);  // ヶ
}

TEST(ReadingClassTest, HalfWidthKatakanaRows) {
  struct HalfRange {
    uint8_t first, last, reading_class;
  };
  const HalfRange ranges[] = {
      {0xA7, 0xAB, 1}, {0xB1, 0xB5, 1}, {0xB6, 0xBA, 2},  {0xBB, 0xBF, 3},  {0xAF, 0xAF, 4},
      {0xC0, 0xC4, 4}, {0xC5, 0xC9, 5}, {0xCA, 0xCE, 6},  {0xCF, 0xD3, 7},  {0xAC, 0xAE, 8},
      {0xD4, 0xD6, 8}, {0xD7, 0xDB, 9}, {0xDC, 0xDD, 10}, {0xA6, 0xA6, 10}, {0xB0, 0xB0, 10},
  };
  for (const HalfRange& r : ranges) {
    SCOPED_TRACE(static_cast<int>(r.first));
    EXPECT_EQ(ClassifyReading(Single(r.first)), r.reading_class);
    EXPECT_EQ(ClassifyReading(Single(r.last)), r.reading_class);
  }
  EXPECT_EQ(ClassifyReading(Single(0xA1)), 11);  // ｡
  EXPECT_EQ(ClassifyReading(Single(0xA5)), 11);  // ･
  EXPECT_EQ(ClassifyReading(Single(0xDE)), 11);  // ﾞ
  EXPECT_EQ(ClassifyReading(Single(0xDF)), 11);  // ﾟ
}

TEST(ReadingClassTest, NamedCharactersAndEverythingElse) {
  EXPECT_EQ(ClassifyReading("\x81\x5b"), 10);  // ー
  EXPECT_EQ(ClassifyReading("\x81\x5c"), 11);  // ―
  EXPECT_EQ(ClassifyReading("\x81\x40"), 11);  // full-width space
  EXPECT_EQ(ClassifyReading("\x93\x63"), 11);  // 田
  EXPECT_EQ(ClassifyReading("\x82\x60"), 11);  // Ａ
  EXPECT_EQ(ClassifyReading("\x82\x4f"), 11);  // ０
  EXPECT_EQ(ClassifyReading("\xe0\x40"), 11);
  EXPECT_EQ(ClassifyReading("Abc"), 11);
  EXPECT_EQ(ClassifyReading("7"), 11);
  EXPECT_EQ(ClassifyReading(""), 11);
  // Only the first character counts.
  EXPECT_EQ(ClassifyReading("\x82\xa9\x93\x63"), 2);
  EXPECT_EQ(ClassifyReading("a\x82\xa9"), 11);
  // A lead byte cut off at the end of the text.
  EXPECT_EQ(ClassifyReading(std::string_view("\x82", 1)), 11);
}

TEST(ReadingClassTest, FieldStopsAtItsCapacity) {
  char field[4] = {'\xb1', 'x', 'y', 'z'};  // no terminator inside
  EXPECT_EQ(ClassifyField(field, sizeof(field)), 1);
  char empty[4] = {};
  EXPECT_EQ(ClassifyField(empty, sizeof(empty)), 11);
  EXPECT_EQ(format::TabCode(3, 3), 0x33);
  EXPECT_EQ(format::TabCode(11, 0), 0x0B);
  EXPECT_EQ(format::TabCode(2, 0x12), 0x22);  // only the low four bits of the favourite
}

}  // namespace
}  // namespace telbook
