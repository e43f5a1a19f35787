// End-to-end tests of `telbook search`: the folding of kana, width and case, the one-field
// search, groups, and the exit status when nothing matches.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <set>
#include <string>

#include "tests/tool/tool_runner.h"

namespace telbook {
namespace tooltest {
namespace {

class SearchTool : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(dir_.Tool({"create", book_}).status, 0);
    Add({"--name", "加藤 直樹", "--furigana", "かとう なおき", "--affiliation", "カトウ精機"});
    Add({"--name", "ｻﾄｳ ﾕｷ", "--furigana", "ｻﾄｳ ﾕｷ", "--email", "Sato@Example.JP"});
    Add({"--name", "John Smith", "--furigana", "Smith", "--memo", "ＡＣＭＥ office"});
    Add({"--name", "Other", "--furigana", "other", "--fax", "03-1234-5678"});
    ASSERT_EQ(
        dir_.Tool({"group", book_, "--name", "トウキョウ", "--furigana", "とうきょう"}).status, 0);
  }
  void Add(std::vector<std::string> args) {
    args.insert(args.begin(), {"add", book_});
    ASSERT_EQ(dir_.Tool(args).status, 0);
  }
  std::set<int> Found(std::vector<std::string> args, int expected_status = 0) {
    args.insert(args.begin(), {"search", book_});
    args.push_back("--json");
    Result run = dir_.Tool(args);
    EXPECT_EQ(run.status, expected_status) << run.err;
    std::set<int> numbers;
    for (const auto& item : nlohmann::json::parse(run.out))
      numbers.insert(item["number"].get<int>());
    return numbers;
  }

  Scratch dir_;
  std::string book_ = dir_.File("book.tlb");
};

TEST_F(SearchTool, IgnoresKanaWidthAndCase) {
  // Hiragana, full-width katakana and half-width katakana all find かとう and カトウ.
  EXPECT_EQ(Found({"かとう"}), (std::set<int>{1}));
  EXPECT_EQ(Found({"ｶﾄｳ"}), (std::set<int>{1}));
  // "とう" is in かとう, ｻﾄｳ (half-width) and the group とうきょう.
  EXPECT_EQ(Found({"トウ"}), (std::set<int>{1, 2, 16385}));
  // Case and full-width Latin.
  EXPECT_EQ(Found({"sato@example.jp"}), (std::set<int>{2}));
  EXPECT_EQ(Found({"acme"}), (std::set<int>{3}));
  EXPECT_EQ(Found({"ＳＭＩＴＨ"}), (std::set<int>{3}));
  EXPECT_EQ(Found({"1234"}), (std::set<int>{4}));
}

TEST_F(SearchTool, OneFieldOnlyAndNothingFound) {
  EXPECT_EQ(Found({"カトウ", "--field", "affiliation"}), (std::set<int>{1}));
  EXPECT_EQ(Found({"smith", "--field", "memo"}, 1), (std::set<int>{}));
  EXPECT_EQ(Found({"nowhere"}, 1), (std::set<int>{}));
  Result run = dir_.Tool({"search", book_, "x", "--field", "colour"});
  EXPECT_EQ(run.status, 2);
}

TEST_F(SearchTool, TableOutputAndBadBook) {
  Result run = dir_.Tool({"search", book_, "ｶﾄｳ"});
  EXPECT_EQ(run.status, 0);
  EXPECT_NE(run.out.find("加藤 直樹"), std::string::npos) << run.out;
  run = dir_.Tool({"search", dir_.File("none.tlb"), "x"});
  EXPECT_EQ(run.status, 3);
  EXPECT_NE(run.err.find("none.tlb"), std::string::npos);
}

}  // namespace
}  // namespace tooltest
}  // namespace telbook
