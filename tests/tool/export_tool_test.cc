// End-to-end tests of `telbook export`: text, subset and vCard files, chosen records, and a
// destination left as it was when the export cannot be made.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>

#include "tests/tool/tool_runner.h"

namespace telbook {
namespace tooltest {
namespace {

class ExportTool : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(dir_.Tool({"create", book_}).status, 0);
    Add({"--name", "ABC", "--furigana", "abc", "--affiliation", "X, Inc.", "--fax", "0123",
         "--speed-dial", "001", "--comm-mode", "1"});
    Add({"--name", "山田 太郎", "--furigana", "やまだ たろう", "--phone", "03-1111", "--email",
         "t@example.jp", "--memo", "a;b"});
    Add({"--name", "C", "--furigana", "c"});
    ASSERT_EQ(
        dir_.Tool({"group", book_, "--name", "G", "--furigana", "g", "--members", "3"}).status, 0);
  }
  void Add(std::vector<std::string> args) {
    args.insert(args.begin(), {"add", book_});
    ASSERT_EQ(dir_.Tool(args).status, 0);
  }

  Scratch dir_;
  std::string book_ = dir_.File("book.tlb");
};

TEST_F(ExportTool, TextExportOfEverything) {
  Result run = dir_.Tool({"export", book_, dir_.File("out.csv")});
  ASSERT_EQ(run.status, 0) << run.err;
  std::string text = ReadAll(dir_.File("out.csv"));
  EXPECT_EQ(text.substr(0, text.find("\r\n")),
            "K1,ABC,abc,\"X, Inc.\",[Outline]0123,001,,,,2,,,,,,0");
  EXPECT_NE(text.find("\r\nG1,G,g,1,K3\r\n"), std::string::npos) << text;
  EXPECT_EQ(dir_.List(), (std::vector<std::string>{"book.tlb", "out.csv"}));
}

TEST_F(ExportTool, SubsetOfAGroupBringsItsMembers) {
  Result run = dir_.Tool({"export", book_, dir_.File("sub.tlb"), "--subset", "--groups", "16385"});
  ASSERT_EQ(run.status, 0) << run.err;
  Result list = dir_.Tool({"list", dir_.File("sub.tlb"), "--json"});
  ASSERT_EQ(list.status, 0) << list.err;
  nlohmann::json items = nlohmann::json::parse(list.out);
  ASSERT_EQ(items.size(), 2u);
  EXPECT_EQ(items[0]["number"], 3);
  EXPECT_EQ(items[1]["number"], 16385);
}

TEST_F(ExportTool, VcardHoldsOneCardPerEntryInUtf8) {
  Result run = dir_.Tool({"export", book_, dir_.File("a.vcf"), "--vcard"});
  ASSERT_EQ(run.status, 0) << run.err;
  std::string cards = ReadAll(dir_.File("a.vcf"));
  size_t count = 0;
  for (size_t at = cards.find("BEGIN:VCARD"); at != std::string::npos;
       at = cards.find("BEGIN:VCARD", at + 1)) {
    ++count;
  }
  EXPECT_EQ(count, 3u);
  EXPECT_NE(cards.find("FN:山田 太郎\r\nN:山田;太郎;;;\r\n"), std::string::npos) << cards;
  EXPECT_NE(cards.find("ORG:X\\, Inc.\r\n"), std::string::npos);
  EXPECT_NE(cards.find("TEL;TYPE=WORK,FAX:0123\r\n"), std::string::npos);
  EXPECT_NE(cards.find("NOTE:a\\;b\r\n"), std::string::npos);
  EXPECT_NE(cards.find("SORT-STRING:やまだ たろう\r\n"), std::string::npos);
}

// The cards replace an existing file in one step, through a file beside it that does not stay.
TEST_F(ExportTool, VcardReplacesAnExistingFile) {
  std::string dest = dir_.File("a.vcf");
  WriteAll(dest, "old");
  Result run = dir_.Tool({"export", book_, dest, "--vcard"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(ReadAll(dest).substr(0, 13), "BEGIN:VCARD\r\n");
  EXPECT_EQ(dir_.List(), (std::vector<std::string>{"a.vcf", "book.tlb"}));
  run = dir_.Tool({"export", book_, dir_.File("no/dir/a.vcf"), "--vcard"});
  EXPECT_EQ(run.status, 6);
  EXPECT_NE(run.err.find("directory is missing"), std::string::npos) << run.err;
  EXPECT_EQ(dir_.List(), (std::vector<std::string>{"a.vcf", "book.tlb"}));
}

TEST_F(ExportTool, FailuresLeaveTheDestinationAsItWas) {
  std::string dest = dir_.File("keep.csv");
  WriteAll(dest, "old");
  Result run = dir_.Tool({"export", book_, dest, "--entries", "1,10000"});
  EXPECT_EQ(run.status, 2);
  run = dir_.Tool({"export", book_, dest, "--groups", "5"});
  EXPECT_EQ(run.status, 2);
  run = dir_.Tool({"export", dir_.File("missing.tlb"), dest});
  EXPECT_EQ(run.status, 3);
  EXPECT_EQ(ReadAll(dest), "old");
  run = dir_.Tool({"export", book_, dir_.File("no/dir/x.csv")});
  EXPECT_EQ(run.status, 6);
  EXPECT_NE(run.err.find("x.csv"), std::string::npos);
  EXPECT_EQ(dir_.List(), (std::vector<std::string>{"book.tlb", "keep.csv"}));
}

}  // namespace
}  // namespace tooltest
}  // namespace telbook
