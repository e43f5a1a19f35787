// End-to-end tests of the life of entries and groups: delete, member changes, move, the reading
// order, duplicates, exports of chosen numbers and to standard output, and the book afterwards.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "tests/tool/tool_runner.h"

namespace telbook {
namespace tooltest {
namespace {

class LifecycleTool : public ::testing::Test {
 protected:
  // Entries 1 to 5 (readings in hiragana, katakana and half-width forms), group 16385 of 1, 2
  // and 3, group 16386 of 2.
  void SetUp() override {
    ASSERT_EQ(dir_.Tool({"create", book_}).status, 0);
    const char* const entries[][3] = {{"佐藤 一郎", "さとう いちろう", "03-1111-0001"},
                                      {"青木 二郎", "ｱｵｷ ｼﾞﾛｳ", "03-1111-0002"},
                                      {"井上 三郎", "イノウエ サブロウ", "03-1111-0003"},
                                      {"Bob", "", ""},
                                      {"上田 五郎", "うえだ ごろう", "03-1111-0005"}};
    for (const auto& e : entries) {
      Run({"add", book_, "--name", e[0], "--furigana", e[1], "--fax", e[2]});
    }
    Run({"group", book_, "--name", "一班", "--furigana", "いっぱん", "--favourite", "2",
         "--members", "1-3"});
    Run({"group", book_, "--name", "二班", "--members", "2"});
  }
  std::string Run(const std::vector<std::string>& args, int status = 0) {
    Result run = dir_.Tool(args);
    EXPECT_EQ(run.status, status) << args[0] << ": " << run.err;
    return run.out;
  }
  nlohmann::json Json(const std::vector<std::string>& args) {
    return nlohmann::json::parse(Run(args));
  }
  std::vector<int> Numbers(const nlohmann::json& items) {
    std::vector<int> numbers;
    for (const auto& item : items) numbers.push_back(item["number"]);
    return numbers;
  }
  std::vector<int> Members(int group) {
    return Numbers(Json({"show", book_, std::to_string(group), "--json"})["members"]);
  }

  Scratch dir_;
  std::string book_ = dir_.File("book.tlb");
};

TEST_F(LifecycleTool, DeleteTakesEntriesOutOfTheirGroupsAndIsHarmlessAgain) {
  const std::string before = ReadAll(book_);
  std::string out = Run({"delete", book_, "2,16386,99", "--dry-run"});
  EXPECT_NE(out.find("would delete entry 2 青木 二郎; group 16385 一班 would lose it"),
            std::string::npos)
      << out;
  EXPECT_EQ(ReadAll(book_), before);

  out = Run({"delete", book_, "2,16386,99"});
  EXPECT_NE(out.find("entry 99: not in the phone book, nothing to delete"), std::string::npos);
  EXPECT_NE(out.find("deleted group 16386 二班\n"), std::string::npos) << out;
  EXPECT_NE(out.find("deleted entry 2 青木 二郎; group 16385 一班 lost it\n"), std::string::npos);
  EXPECT_NE(out.find("deleted 1 entry and 1 group from"), std::string::npos) << out;
  EXPECT_EQ(Numbers(Json({"list", book_, "--json"})), (std::vector<int>{1, 3, 4, 5, 16385}));
  EXPECT_EQ(Members(16385), (std::vector<int>{1, 3}));

  // Again: nothing is left to delete, and the book is not written.
  const std::string after = ReadAll(book_);
  out = Run({"delete", book_, "2,16386"});
  EXPECT_NE(out.find("nothing deleted"), std::string::npos) << out;
  EXPECT_EQ(ReadAll(book_), after);
  // The number is free again, and its new entry joins no group.
  EXPECT_EQ(Run({"add", book_, "--name", "新人"}), "2\n");
  EXPECT_EQ(Members(16385), (std::vector<int>{1, 3}));
  EXPECT_EQ(dir_.Tool({"check", book_}).status, 0);
}

TEST_F(LifecycleTool, GroupChangesWhatItIsToldAndKeepsTheRest) {
  // Members added and removed, with ranges; the name, reading and favourite kept.
  EXPECT_EQ(Run({"group", book_, "16385", "--add", "4-5", "--remove", "2"}), "16385\n");
  nlohmann::json g = Json({"show", book_, "16385", "--json"});
  EXPECT_EQ(Numbers(g["members"]), (std::vector<int>{1, 3, 4, 5}));
  EXPECT_EQ(g["furigana"], "いっぱん");
  EXPECT_EQ(g["favourite"], 2);
  // --number with only the name keeps the reading, the favourite and the members.
  Run({"group", book_, "--number", "16385", "--name", "第一班"});
  g = Json({"show", book_, "16385", "--json"});
  EXPECT_EQ(g["name"], "第一班");
  EXPECT_EQ(g["furigana"], "いっぱん");
  EXPECT_EQ(g["favourite"], 2);
  EXPECT_EQ(Numbers(g["members"]), (std::vector<int>{1, 3, 4, 5}));

  // Asked again, it is so already: noted, and the book is not written.
  const std::string before = ReadAll(book_);
  Result again = dir_.Tool({"group", book_, "16385", "--add", "4", "--remove", "2"});
  EXPECT_EQ(again.status, 0);
  EXPECT_NE(again.err.find("entry 4 is a member already"), std::string::npos) << again.err;
  EXPECT_NE(again.err.find("entry 2 is not a member"), std::string::npos) << again.err;
  EXPECT_EQ(ReadAll(book_), before);
}

TEST_F(LifecycleTool, AGroupIsNotRewrittenWithoutAMemberItCannotRead) {
  // Entry 2's slot says its record is 0 bytes long: the entry is there, and cannot be read.
  std::string bytes = ReadAll(book_);
  const size_t length_of_slot_2 = 128 + 8 + 2;
  bytes[length_of_slot_2] = 0;
  bytes[length_of_slot_2 + 1] = 0;
  WriteAll(book_, bytes);
  Result run = dir_.Tool({"group", book_, "16385", "--add", "4"});
  EXPECT_EQ(run.status, 3);
  EXPECT_NE(run.err.find("group 16385 lists 1 member that names no readable entry; a change "
                         "would drop it (give the whole list with --members"),
            std::string::npos)
      << run.err;
  // A move fails on the unreadable record as it walks the book.
  EXPECT_EQ(dir_.Tool({"move", book_, "3", "30"}).status, 3);
  EXPECT_EQ(ReadAll(book_), bytes);
}

TEST_F(LifecycleTool, MoveGivesAFreeNumberAndTheGroupsFollow) {
  EXPECT_EQ(Run({"move", book_, "2", "40"}),
            "moved entry 2 青木 二郎 to 40\ngroup 16385 一班 lists it as 40 now\n"
            "group 16386 二班 lists it as 40 now\n");
  EXPECT_EQ(Members(16385), (std::vector<int>{1, 40, 3}));
  EXPECT_EQ(Members(16386), (std::vector<int>{40}));
  EXPECT_EQ(Json({"show", book_, "40", "--json"})["furigana"], "ｱｵｷ ｼﾞﾛｳ");
  Run({"move", book_, "16386", "16400"});
  EXPECT_EQ(Numbers(Json({"list", book_, "--json"})),
            (std::vector<int>{1, 3, 4, 5, 40, 16385, 16400}));
  EXPECT_EQ(Members(16400), (std::vector<int>{40}));
}

TEST_F(LifecycleTool, ListSortsByReadingAcrossKanaForms) {
  // あおき (half-width), いのうえ (katakana), うえだ, さとう; Bob has no reading and comes last.
  EXPECT_EQ(Numbers(Json({"list", book_, "--sort", "reading", "--json"})),
            (std::vector<int>{2, 3, 5, 1, 4, 16385, 16386}));
  EXPECT_EQ(Numbers(Json({"list", book_, "--sort", "number", "--json"})),
            (std::vector<int>{1, 2, 3, 4, 5, 16385, 16386}));
  std::vector<int> by_name = Numbers(Json({"list", book_, "--sort", "name", "--json"}));
  EXPECT_EQ(by_name.front(), 4);  // Latin before kanji
  // A tab sorts too; without --sort it keeps its own order.
  Run({"add", book_, "--name", "安藤", "--furigana", "あんどう"});
  EXPECT_EQ(Numbers(Json({"list", book_, "--tab", "あ", "--json"})),
            (std::vector<int>{2, 3, 5, 6, 16385}));
  EXPECT_EQ(Numbers(Json({"list", book_, "--tab", "あ", "--sort", "reading", "--json"})),
            (std::vector<int>{2, 6, 3, 5, 16385}));
}

TEST_F(LifecycleTool, DuplicatesAreGroupedByFaxDigitsAndFoldedNames) {
  EXPECT_EQ(dir_.Tool({"duplicates", book_}).status, 0);
  Run({"add", book_, "--name", "佐藤 一郎", "--furigana", "サトウ イチロウ"});
  Run({"add", book_, "--name", "Other", "--fax", "(03) 1111 0005"});
  Result run = dir_.Tool({"duplicates", book_, "--json"});
  EXPECT_EQ(run.status, 1) << run.err;
  nlohmann::json groups = nlohmann::json::parse(run.out);
  ASSERT_EQ(groups.size(), 2u) << run.out;
  EXPECT_EQ(Numbers(groups[0]["entries"]), (std::vector<int>{1, 6}));
  EXPECT_EQ(groups[0]["reasons"], nlohmann::json::array({"name-and-reading"}));
  EXPECT_EQ(Numbers(groups[1]["entries"]), (std::vector<int>{5, 7}));
  EXPECT_EQ(groups[1]["reasons"], nlohmann::json::array({"fax"}));
}

TEST_F(LifecycleTool, ExportsSayWhatTheyWroteAndNameWhatIsMissing) {
  const std::string out = dir_.File("out.csv");
  Result run = dir_.Tool({"export", book_, out, "--entries", "1,99,98", "--groups", "16390"});
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("entries 98 and 99 and group 16390: not in the phone book"),
            std::string::npos)
      << run.err;
  EXPECT_FALSE(Exists(out));
  run = dir_.Tool({"export", book_, out, "--entries", "1,99,98", "--skip-missing"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("exported 1 entry and 0 groups"), std::string::npos) << run.out;
  EXPECT_EQ(ReadAll(out).substr(0, 3), "K1,");
  EXPECT_EQ(ReadAll(out).find("K2"), std::string::npos);
  run = dir_.Tool({"export", book_, out, "--entries", "4", "--groups", "16385"});
  EXPECT_NE(run.out.find("exported 4 entries (3 of them for the group) and 1 group"),
            std::string::npos)
      << run.out;

  // Standard output takes the same bytes, with no file made anywhere; the report goes to
  // standard error.
  run = dir_.Tool({"export", book_, "-", "--entries", "4", "--groups", "16385"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, ReadAll(out));
  EXPECT_NE(run.err.find("to standard output"), std::string::npos);
  EXPECT_EQ(dir_.List(), (std::vector<std::string>{"book.tlb", "out.csv"}));
  run = dir_.Tool({"export", book_, "-", "--vcard", "--groups", "16386"});
  EXPECT_EQ(run.out.substr(0, 11), "BEGIN:VCARD");
  EXPECT_NE(run.err.find("wrote 1 vCard to standard output"), std::string::npos) << run.err;
  EXPECT_EQ(dir_.Tool({"export", book_, "-", "--subset"}).status, 2);
}

TEST_F(LifecycleTool, AnExportOfABookThatCannotBeReadIsTheBooksFault) {
  // The book cut inside its last record: it opens, and that record cannot be read.
  std::string bytes = ReadAll(book_);
  WriteAll(book_, bytes.substr(0, bytes.size() - 3));
  const std::string out = dir_.File("out.csv");
  Result run = dir_.Tool({"export", book_, out});
  EXPECT_EQ(run.status, 3) << run.err;
  EXPECT_FALSE(Exists(out));
}

TEST_F(LifecycleTool, AVcardOfAGivenNameFirstReadsBackAsTheSameEntry) {
  Run({"add", book_, "--name", "John Smith", "--furigana", "Smith John", "--fax", "123"});
  Run({"add", book_, "--name", "山田 太郎", "--furigana", "やまだ たろう"});
  const std::string cards = dir_.File("a.vcf");
  Run({"export", book_, cards, "--vcard", "--entries", "6-7"});
  std::string text = ReadAll(cards);
  EXPECT_NE(text.find("\r\nN:Smith;John;;;\r\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\r\nN:山田;太郎;;;\r\n"), std::string::npos) << text;
  const std::string fresh = dir_.File("fresh.tlb");
  Run({"create", fresh});
  Run({"import", fresh, cards});
  nlohmann::json back = Json({"list", fresh, "--json"});
  ASSERT_EQ(back.size(), 2u);
  EXPECT_EQ(back[0]["name"], "John Smith");
  EXPECT_EQ(back[0]["furigana"], "Smith John");
  EXPECT_EQ(back[1]["name"], "山田 太郎");
  EXPECT_EQ(back[1]["furigana"], "やまだ たろう");
}

TEST_F(LifecycleTool, InfoAndFavouritesSpeakJsonInPlainUtf8) {
  Run({"favourites", book_, "--set", "2", "社内"});
  nlohmann::json info = Json({"info", book_, "--json"});
  EXPECT_EQ(info["entries"], 5);
  EXPECT_EQ(info["groups"], 2);
  EXPECT_EQ(info["version"], 2);
  EXPECT_EQ(info["favourites"][1], "社内");
  std::string text = Run({"favourites", book_, "--json"});
  EXPECT_NE(text.find("\"社内\""), std::string::npos) << text;
  EXPECT_EQ(text.find("\\u"), std::string::npos) << text;
  EXPECT_EQ(nlohmann::json::parse(text)[1]["tab"], "0x20");
  Run({"favourites", book_, "--clear", "2"});
  EXPECT_EQ(Json({"favourites", book_, "--json"})[1]["name"], "");
}

TEST_F(LifecycleTool, CharactersCodePage932KeepsAsOthersAreNotedOncePerCommand) {
  Result run = dir_.Tool({"add", book_, "--name", "¥100 ¥200", "--memo", "〜¥"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err,
            "telbook: note: code page 932 keeps 〜 (U+301C) as ～ (U+FF5E)\n"
            "telbook: note: code page 932 keeps ¥ (U+00A5) as \\ (U+005C)\n");
  EXPECT_EQ(Json({"show", book_, "6", "--json"})["name"], "\\100 \\200");
}

TEST(LifecycleUsage, VersionAndUnknownCommands) {
  Result run = RunTool({"--version"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out.substr(0, 8), "telbook ");
  EXPECT_NE(run.out.find("format versions 1, 2 and 3 read, version 2 saved"), std::string::npos);
  run = RunTool({"frobnicate", "b.tlb"});
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("unknown command \"frobnicate\"; the commands are demo, create"),
            std::string::npos)
      << run.err;
  EXPECT_NE(run.err.find("delete, move"), std::string::npos) << run.err;
  // Complaints about options name the tool too.
  run = RunTool({"list", "b.tlb", "--bogus"});
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.err.substr(0, 9), "telbook: ") << run.err;
}

TEST(LifecycleDemo, PathsPrintAsGiven) {
  Scratch tmp;
  std::string dir = tmp.File("wdemo");
#if defined(_WIN32)
  for (char& c : dir) c = c == '/' ? '\\' : c;
  const std::string book = dir + "\\demo.tlb";
#else
  const std::string book = dir + "/demo.tlb";
#endif
  Result run = tmp.Tool({"demo", dir});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("Phone book " + book + ":"), std::string::npos) << run.out;
}

}  // namespace
}  // namespace tooltest
}  // namespace telbook
