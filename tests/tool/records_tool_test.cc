// End-to-end tests of the record commands: add, edit, group, favourites, list and show, with
// the file checked afterwards and left untouched by every failure.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>

#include "tests/tool/tool_runner.h"

namespace telbook {
namespace tooltest {
namespace {

class RecordsTool : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(dir_.Tool({"create", book_}).status, 0); }

  std::string Add(std::vector<std::string> args) {
    args.insert(args.begin(), {"add", book_});
    Result run = dir_.Tool(args);
    EXPECT_EQ(run.status, 0) << run.err;
    return run.out;
  }
  nlohmann::json Json(const std::vector<std::string>& args) {
    Result run = dir_.Tool(args);
    EXPECT_EQ(run.status, 0) << run.err;
    return nlohmann::json::parse(run.out);
  }

  Scratch dir_;
  std::string book_ = dir_.File("book.tlb");
};

TEST_F(RecordsTool, AddedEntryReadsBackFieldForFieldAfterTheSave) {
  EXPECT_EQ(Add({"--name", "山田 太郎", "--furigana", "やまだ たろう", "--fax", "03-1234-5678",
                 "--affiliation", "Acme, Inc.", "--speed-dial", "012", "--email", "t@example.jp",
                 "--line-type", "internal", "--favourite", "2", "--comm-mode", "3"}),
            "1\n");
  EXPECT_EQ(Add({"--name", "ｳｴﾉ", "--furigana", "ｳｴﾉ"}), "2\n");
  nlohmann::json e = Json({"show", book_, "1", "--json"});
  EXPECT_EQ(e["name"], "山田 太郎");
  EXPECT_EQ(e["furigana"], "やまだ たろう");
  EXPECT_EQ(e["fax"], "03-1234-5678");
  EXPECT_EQ(e["affiliation"], "Acme, Inc.");
  EXPECT_EQ(e["speed-dial"], "012");
  EXPECT_EQ(e["line-type"], "internal");
  EXPECT_EQ(e["favourite"], 2);
  EXPECT_EQ(e["comm-mode"], 3);
  EXPECT_EQ(Json({"show", book_, "2", "--json"})["name"], "ｳｴﾉ");
  // The tabs: や row, わ... and favourite 2.
  EXPECT_EQ(Json({"list", book_, "--tab", "や", "--json"}).size(), 1u);
  EXPECT_EQ(Json({"list", book_, "--tab", "0x06", "--json"}).size(), 0u);
  EXPECT_EQ(Json({"list", book_, "--favourite", "2", "--json"}).size(), 1u);
  EXPECT_EQ(Json({"list", book_, "--json"}).size(), 2u);
  Result info = dir_.Tool({"info", book_});
  EXPECT_NE(info.out.find("entries      2"), std::string::npos) << info.out;
}

// Spaces, quotes, backslashes, an empty value and characters outside the ANSI code pages (but
// in code page 932) reach the phone book as typed, whatever way the platform passes arguments.
TEST_F(RecordsTool, ArgumentsArriveAsTyped) {
  const std::string memo = "a \"quoted\" word, C:\\dir\\ and \\\"x\\";
  EXPECT_EQ(Add({"--name", "髙橋 ① ｱ", "--furigana", "たかはし", "--memo", memo, "--fax", ""}),
            "1\n");
  nlohmann::json e = Json({"show", book_, "1", "--json"});
  EXPECT_EQ(e["name"], "髙橋 ① ｱ");
  EXPECT_EQ(e["memo"], memo);
  EXPECT_EQ(e["fax"], "");
}

TEST_F(RecordsTool, EditChangesOnlyTheNamedFields) {
  Add({"--name", "佐藤", "--furigana", "さとう", "--fax", "111", "--memo", "古いメモ"});
  Result run = dir_.Tool({"edit", book_, "1", "--fax", "222", "--memo", ""});
  ASSERT_EQ(run.status, 0) << run.err;
  nlohmann::json e = Json({"show", book_, "1", "--json"});
  EXPECT_EQ(e["fax"], "222");
  EXPECT_EQ(e["memo"], "");
  EXPECT_EQ(e["name"], "佐藤");
}

TEST_F(RecordsTool, GroupListsItsMembersInOrder) {
  Add({"--name", "A", "--furigana", "あ"});
  Add({"--name", "B", "--furigana", "か"});
  Add({"--name", "C", "--furigana", "さ"});
  Result run = dir_.Tool({"group", book_, "--name", "営業部", "--furigana", "えいぎょうぶ",
                          "--members", "3,1", "--favourite", "1"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "16385\n");
  nlohmann::json g = Json({"show", book_, "16385", "--json"});
  EXPECT_EQ(g["name"], "営業部");
  EXPECT_EQ(g["member-count"], 2);
  ASSERT_EQ(g["members"].size(), 2u);
  EXPECT_EQ(g["members"][0]["number"], 3);
  EXPECT_EQ(g["members"][1]["number"], 1);
  Result text = dir_.Tool({"show", book_, "16385"});
  EXPECT_NE(text.out.find("えいぎょうぶ"), std::string::npos);
  // Replacing the group by its number keeps the count of groups.
  run = dir_.Tool({"group", book_, "--name", "営業", "--members", "2", "--number", "16385"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(Json({"show", book_, "16385", "--json"})["members"].size(), 1u);
  EXPECT_NE(dir_.Tool({"info", book_}).out.find("groups       1"), std::string::npos);
}

TEST_F(RecordsTool, FavouriteNamesAreSavedAndShown) {
  ASSERT_EQ(dir_.Tool({"favourites", book_, "--set", "2", "取引先"}).status, 0);
  Result run = dir_.Tool({"favourites", book_});
  ASSERT_EQ(run.status, 0);
  EXPECT_NE(run.out.find("2  tab 0x20  取引先"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("1  tab 0x10  (no name)"), std::string::npos) << run.out;
}

TEST_F(RecordsTool, EveryFailureLeavesTheFileUntouched) {
  Add({"--name", "A", "--furigana", "あ"});
  std::string before = ReadAll(book_);
  struct Case {
    std::vector<std::string> args;
    int status;
    const char* says;
  };
  const Case cases[] = {
    // Text code page 932 cannot hold.
    {{"add", book_, "--name", "😀"}, 4, "U+1F600"},
    {{"add", book_, "--name", "Ω≠Ж", "--memo", "한국어"}, 4, "cannot hold"},
    {{"edit", book_, "1", "--fax", "☎"}, 4, "cannot hold"},
    // Too long for the field.
    {{"add", book_, "--name", std::string(41, 'x')}, 4, "too long"},
    {{"favourites", book_, "--set", "1", "名前が長すぎるお好み"}, 4, "too long"},
    {{"favourites", book_, "--set", "1", "two words"}, 4, "space"},
    // Record numbers out of range, or naming nothing.
    {{"show", book_, "0"}, 2, "out of range"},
    {{"show", book_, "10000"}, 2, "out of range"},
    {{"show", book_, "abc"}, 2, "must be a number"},
    {{"edit", book_, "10000", "--fax", "1"}, 2, "out of range"},
    {{"show", book_, "5"}, 2, "no entry 5"},
    {{"edit", book_, "5", "--fax", "1"}, 2, "no entry 5"},
    {{"show", book_, "16390"}, 2, "no group 16390"},
    {{"group", book_, "--name", "G", "--members", "1,7"}, 2, "no entry 7"},
    {{"group", book_, "--name", "G", "--members", "1,x"}, 2, "number"},
    {{"group", book_, "--name", "G", "--number", "100"}, 2, "16385 to 21384"},
    {{"add", book_, "--furigana", "あ"}, 2, "--name"},
    {{"add", book_, "--name", "A", "--line-type", "sideways"}, 2, "line-type"},
    {{"list", book_, "--tab", "0x0C"}, 2, "--tab"},
    {{"list", book_, "--tab", "0x60"}, 2, "--tab"},
    {{"list", book_, "--sort", "age"}, 2, "--sort"},
#if defined(_WIN32)
    // The wide command line of Windows carries no stray byte: it arrives as U+FFFD.
    {{"add", book_, "--name", "a\xFF"}, 4, "--name: code page 932 cannot hold U+FFFD"},
#else
    {{"add", book_, "--name", "a\xFF"}, 4, "--name: byte 0xFF is not valid UTF-8"},
#endif
    // Each command says what it takes.
    {{"edit", book_, "16385", "--name", "x"}, 2, "edit takes entries"},
    {{"favourites", book_, "--set", "3"}, 2, "--clear 3"},
    {{"group", book_, "--name", "G", "--members", "1,1"}, 2, "entry 1 is given twice"},
    {{"group", book_, "--name", "G", "--add", "1", "--remove", "1"}, 2, "both"},
    {{"group", book_, "16385", "--add", "1"}, 2, "no group 16385"},
    {{"delete", book_, "0"}, 2, "record number"},
    {{"delete", book_, "5-3"}, 2, "runs backwards"},
    {{"delete", book_, "9990-16390"}, 2, "not a range"},
    {{"move", book_, "5", "6"}, 2, "no entry 5"},
    {{"move", book_, "1", "16390"}, 2, "FROM and TO"},
    {{"export", book_, dir_.File("x.csv"), "--groups", "16390"}, 2, "group 16390"},
    // A directory where a file is wanted is named.
    {{"import", book_, dir_.path()}, 6, "it is a directory"},
    {{"check", dir_.path()}, 3, "it is a directory"},
    {{"repair", dir_.path()}, 3, "it is a directory"},
  };
  for (const Case& c : cases) {
    Result run = dir_.Tool(c.args);
    EXPECT_EQ(run.status, c.status) << c.args[0] << " " << c.args.back() << ": " << run.err;
    EXPECT_NE(run.err.find(c.says), std::string::npos) << run.err;
    EXPECT_EQ(run.err.substr(0, 9), "telbook: ") << run.err;
    EXPECT_EQ(ReadAll(book_), before) << c.args[0] << " " << c.args.back();
  }
  EXPECT_EQ(dir_.List(), std::vector<std::string>{"book.tlb"});
}

// Terminal columns of UTF-8 text holding ASCII, kana and kanji (two columns) and half-width
// katakana (one column, U+FF61 to U+FF9F).
size_t Columns(const std::string& s) {
  size_t width = 0;
  for (size_t i = 0; i < s.size();) {
    unsigned char b = static_cast<unsigned char>(s[i]);
    if (b < 0x80) {
      ++width, ++i;
    } else {
      bool half = b == 0xEF && (static_cast<unsigned char>(s[i + 1]) == 0xBD ||
                                static_cast<unsigned char>(s[i + 1]) == 0xBE);
      width += half ? 1 : 2;
      i += 3;
    }
  }
  return width;
}

TEST_F(RecordsTool, ListAlignsWideAndHalfWidthNames) {
  Add({"--name", "山田", "--furigana", "やまだ", "--fax", "FAX-ONE"});
  Add({"--name", "ﾔﾏﾀﾞ ﾀﾛｳ", "--furigana", "ﾔﾏﾀﾞ", "--fax", "FAX-TWO"});
  Add({"--name", "Yamada", "--furigana", "yamada", "--fax", "FAX-THREE"});
  Result run = dir_.Tool({"list", book_});
  ASSERT_EQ(run.status, 0);
  std::vector<size_t> columns;
  for (const char* fax : {"FAX-ONE", "FAX-TWO", "FAX-THREE"}) {
    size_t at = run.out.find(fax);
    ASSERT_NE(at, std::string::npos) << run.out;
    size_t line = run.out.rfind('\n', at) + 1;
    columns.push_back(Columns(run.out.substr(line, at - line)));
  }
  EXPECT_EQ(columns[0], columns[1]) << run.out;
  EXPECT_EQ(columns[0], columns[2]) << run.out;
}

}  // namespace
}  // namespace tooltest
}  // namespace telbook
