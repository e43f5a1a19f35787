// The reading order: kana of one sound together whatever their script and width, in the order
// of the kana table; keys agree with comparisons.
#include "tools/reading_order.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace telbook {
namespace tool {
namespace {

TEST(ReadingOrder, KanaOfOneSoundSortTogether) {
  ReadingOrder order;
  if (!order.collated()) GTEST_SKIP() << "built without a collator: byte order";
  // Shuffled, then sorted by key: the three forms of かとう stand between あおき and きむら.
  std::vector<std::string> readings = {"きむら", "ｶﾄｳ",    "あおき", "カトウ",
                                       "かとう", "さとう", "ｱｵｷ"};
  std::sort(readings.begin(), readings.end(), [&](const std::string& a, const std::string& b) {
    return order.Key(a) < order.Key(b);
  });
  auto place = [&](const std::string& r) {
    return std::find(readings.begin(), readings.end(), r) - readings.begin();
  };
  EXPECT_LT(place("あおき"), place("かとう"));
  EXPECT_LT(place("ｱｵｷ"), place("カトウ"));
  for (const char* kato : {"かとう", "カトウ", "ｶﾄｳ"}) {
    EXPECT_GT(place(kato), place("ｱｵｷ")) << kato;
    EXPECT_LT(place(kato), place("きむら")) << kato;
  }
  EXPECT_EQ(place("さとう"), 6);
}

TEST(ReadingOrder, KeysAgreeWithComparisons) {
  ReadingOrder order;
  std::vector<std::string> texts = {"",   "a",    "B",     "あ",   "ア",      "ｱ",
                                    "ー", "漢字", "Smith", "ﾖｺﾔﾏ", "よこやま"};
  for (const std::string& a : texts) {
    for (const std::string& b : texts) {
      int by_key = order.Key(a) < order.Key(b) ? -1 : order.Key(b) < order.Key(a) ? 1 : 0;
      int by_compare = order.Compare(a, b);
      by_compare = by_compare < 0 ? -1 : by_compare > 0 ? 1 : 0;
      EXPECT_EQ(by_key, by_compare) << a << " " << b;
    }
  }
}

}  // namespace
}  // namespace tool
}  // namespace telbook
