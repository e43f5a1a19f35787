// End-to-end tests of `telbook import`: export, import into an empty phone book and export again
// give the same bytes; group members follow their entries to new numbers; every bad file is
// refused with its line named and the phone book left as it was.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>

#include "tests/tool/tool_runner.h"

namespace telbook {
namespace tooltest {
namespace {

class ImportTool : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(dir_.Tool({"create", book_}).status, 0); }

  void Add(std::vector<std::string> args) {
    args.insert(args.begin(), {"add", book_});
    Result run = dir_.Tool(args);
    ASSERT_EQ(run.status, 0) << run.err;
  }
  std::string Export(const std::string& book, const std::string& name) {
    Result run = dir_.Tool({"export", book, dir_.File(name)});
    EXPECT_EQ(run.status, 0) << run.err;
    return ReadAll(dir_.File(name));
  }
  // Imports the bytes as a file into a fresh phone book and exports that again.
  std::string RoundTrip(const std::string& bytes, const std::vector<std::string>& flags = {}) {
    WriteAll(dir_.File("in.csv"), bytes);
    std::string fresh = dir_.File("fresh" + std::to_string(++trips_) + ".tlb");
    EXPECT_EQ(dir_.Tool({"create", fresh}).status, 0);
    std::vector<std::string> args = {"import", fresh, dir_.File("in.csv")};
    args.insert(args.end(), flags.begin(), flags.end());
    Result run = dir_.Tool(args);
    EXPECT_EQ(run.status, 0) << run.err;
    return Export(fresh, "again.csv");
  }
  // Expects the import of the bytes to fail with status 4 and a message naming the line; the
  // phone book must not change.
  void ExpectRefused(const std::string& bytes, int line, const std::string& words,
                     const std::vector<std::string>& flags = {}) {
    std::string before = ReadAll(book_);
    WriteAll(dir_.File("bad.csv"), bytes);
    std::vector<std::string> args = {"import", book_, dir_.File("bad.csv")};
    args.insert(args.end(), flags.begin(), flags.end());
    Result run = dir_.Tool(args);
    EXPECT_EQ(run.status, 4) << run.err;
    std::string where = "bad.csv: line " + std::to_string(line) + ": ";
    EXPECT_NE(run.err.find(where), std::string::npos) << run.err;
    EXPECT_NE(run.err.find(words), std::string::npos) << run.err;
    EXPECT_EQ(ReadAll(book_), before);
  }

  Scratch dir_;
  std::string book_ = dir_.File("book.tlb");
  int trips_ = 0;
};

TEST_F(ImportTool, DemoBookSurvivesExportImportExportByteForByte) {
  std::string demo = dir_.File("demo");
  ASSERT_EQ(dir_.Tool({"demo", demo}).status, 0);
  std::string first = ReadAll(demo + "/demo.csv");
  ASSERT_NE(first.find("\"Acme Trading, Inc.\""), std::string::npos);
  Result run = dir_.Tool({"import", book_, demo + "/demo.csv"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out.substr(0, 52), "imported 31 entries (1 to 31) and 2 groups (16385 to");
  EXPECT_EQ(Export(book_, "second.csv"), first);
  // The phone book was saved: it opens, and the check finds it sound.
  EXPECT_EQ(dir_.Tool({"check", book_}).status, 0);
}

TEST_F(ImportTool, QuotesLineBreaksRelayTailAndCodesRoundTrip) {
  Add({"--name", "ABC", "--furigana", "abc", "--affiliation", "X, Inc.", "--fax", "0123",
       "--speed-dial", "001", "--comm-mode", "1"});
  Add({"--name", "Say \"hi\"", "--memo", "line one\r\nline two", "--line-type", "internal",
       "--comm-mode", "2", "--relay-id", "5", "--broadcast-list", "1,2,,3", "--relay-output", "7"});
  // Texts that look like quoted fields: a lone quote at a start and at an end, and a quote
  // followed by a comma inside a quoted field.
  Add({"--name", "\"a", "--furigana", "b\"", "--memo", "x\",y", "--line-type", "none",
       "--comm-mode", "3", "--relay-id", "R", "--email", ","});
  Add({"--name", "empty relay tail", "--relay-id", "9"});
  ASSERT_EQ(
      dir_.Tool({"group", book_, "--name", "G, one", "--furigana", "\"g\"", "--members", "4,2"})
          .status,
      0);
  ASSERT_EQ(dir_.Tool({"group", book_, "--name", "none"}).status, 0);
  std::string first = Export(book_, "first.csv");
  EXPECT_NE(first.find("\"line one\r\nline two\""), std::string::npos) << first;
  EXPECT_NE(first.find(",5,7,1,2,,3\r\n"), std::string::npos) << first;
  EXPECT_NE(first.find("\r\nG1,\"G, one\",\"g\",2,K4,K2\r\nG2,none,,0\r\n"), std::string::npos)
      << first;
  EXPECT_EQ(RoundTrip(first), first);

  Result show = dir_.Tool({"show", dir_.File("fresh1.tlb"), "3", "--json"});
  ASSERT_EQ(show.status, 0) << show.err;
  nlohmann::json e = nlohmann::json::parse(show.out);
  EXPECT_EQ(e["name"], "\"a");
  EXPECT_EQ(e["furigana"], "b\"");
  EXPECT_EQ(e["memo"], "x\",y");
  EXPECT_EQ(e["email"], ",");
  EXPECT_EQ(e["line-type"], "none");
  show = dir_.Tool({"show", dir_.File("fresh1.tlb"), "2", "--json"});
  e = nlohmann::json::parse(show.out);
  EXPECT_EQ(e["comm-mode"], 2);
  EXPECT_EQ(e["broadcast-list"], "1,2,,3");
  EXPECT_EQ(e["relay-output"], 7);
}

TEST_F(ImportTool, MembersFollowTheirEntriesToTheNumbersTheyGet) {
  Add({"--name", "kept"});
  Add({"--name", "kept too"});
  WriteAll(dir_.File("in.csv"),
           "K7,seven,,,[Outline]1,,,,,0,,,,,,0\r\nK3,three,,,[Inline]2,,,,,0,,,,,,0\r\n"
           "G1,both,,3,K3,K7,K3\r\n");
  Result run = dir_.Tool({"import", book_, dir_.File("in.csv")});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out.substr(0, 47), "imported 2 entries (3 to 4) and 1 group (16385)");
  Result show = dir_.Tool({"show", book_, "16385", "--json"});
  ASSERT_EQ(show.status, 0) << show.err;
  nlohmann::json g = nlohmann::json::parse(show.out);
  ASSERT_EQ(g["members"].size(), 3u);
  EXPECT_EQ(g["members"][0]["number"], 4);
  EXPECT_EQ(g["members"][0]["name"], "three");
  EXPECT_EQ(g["members"][1]["number"], 3);
  EXPECT_EQ(g["members"][2]["number"], 4);
}

TEST_F(ImportTool, Utf8FileGivesTheCodePage932Export) {
  std::string utf8 = "\xEF\xBB\xBFK1,山田,やまだ,,[Outline]03,,,,,0,,,,,,0\r\n";
  std::string cp932 = "K1,\x8E\x52\x93\x63,\x82\xE2\x82\xDC\x82\xBE,,[Outline]03,,,,,0,,,,,,0\r\n";
  EXPECT_EQ(RoundTrip(utf8, {"--utf8"}), cp932);
  // UTF-8 is recognised without being named, with its byte order mark or without.
  EXPECT_EQ(RoundTrip(utf8), cp932);
  EXPECT_EQ(RoundTrip(utf8.substr(3)), cp932);
  EXPECT_EQ(RoundTrip(cp932), cp932);
  // An empty export is an empty file, and imports as nothing.
  EXPECT_EQ(RoundTrip(""), "");
}

TEST_F(ImportTool, BadFilesAreRefusedNamingTheLine) {
  Add({"--name", "already here"});
  const std::string good = "K1,a,,,[Outline],,,,,0,,,,,,0\r\n";
  ExpectRefused(good + "K2,b,,,[Outline],,,,,0,,,,,,0", 2, "without CR LF");
  ExpectRefused(good + "K2,b,,,[Outline],,,", 2, "cut short");
  ExpectRefused(good + "K2,b,,,[Outline],,,,,0,,,\r\n", 2, "K2: the line ends after field 13");
  ExpectRefused(good + "K2,b,,,[Outline],,,,,x,,,,,,0\r\n", 2, "not a number");
  ExpectRefused(good + "K2,b,,,[Outline],,,,,300,,,,,,0\r\n", 2, "0 to 255");
  ExpectRefused(good + "K2,b,,,0123,,,,,0,,,,,,0\r\n", 2, "[Outline], [Inline] or [None]");
  ExpectRefused(good + "K2,b,,,[Outline],,,,,0,,,,,,0,extra\r\n", 2, "more than the 16 fields");
  ExpectRefused(good + "K1,b,,,[Outline],,,,,0,,,,,,0\r\n", 2, "K1 appears twice");
  ExpectRefused(good + "\r\n", 2, "empty line");
  ExpectRefused(good + "X1,b\r\n", 2, "not K<number>");
  ExpectRefused(good + "K0,b\r\n", 2, "not K<number>");
  ExpectRefused(good + "G1,g,,1,K9\r\n", 2, "no line K9");
  ExpectRefused(good + "G1,g,,1,K1x\r\n", 2, "\"K1x\", not K<number>");
  ExpectRefused(good + "G1,g,,2,K1\r\n", 2, "says 2 but the line names 1");
  ExpectRefused(good + "G1,g,,1,K1", 2, "without CR LF");
  ExpectRefused(good + "G1,g\r\n", 2, "cut short");
  ExpectRefused("K1,a,b\nc,,[Outline],,,,,0,,,,,,0\r\n", 1, "line break outside double quotes");
  ExpectRefused("K1," + std::string(41, 'n') + ",,,[Outline],,,,,0,,,,,,0\r\n", 1,
                "field 2 (name) is 41 bytes in code page 932; the field holds 40");
  ExpectRefused(good +
                    "K2,b,,,[Outline],,,,,0,,,,,,0\r\nK3,x\xF0\x9F\x98\x80,,,[Outline],,,,,0,,,"
                    ",,,0\r\n",
                3, "code page 932 cannot hold U+1F600", {"--utf8"});
  ExpectRefused("K1,\xFF\xFE,,,[Outline],,,,,0,,,,,,0\r\n", 1, "not valid UTF-8", {"--utf8"});
  ExpectRefused("\xEF\xBB\xBF" + good, 1, "import it with --utf8", {"--encoding", "cp932"});
  static const char kZero[] = "K1,a\0b,,,[Outline],,,,,0,,,,,,0\r\n";
  ExpectRefused(std::string(kZero, sizeof(kZero) - 1), 1, "zero byte");
}

TEST_F(ImportTool, MissingFilesAndBooks) {
  std::string before = ReadAll(book_);
  Result run = dir_.Tool({"import", book_, dir_.File("nothing.csv")});
  EXPECT_EQ(run.status, 6);
  EXPECT_NE(run.err.find("nothing.csv: cannot read"), std::string::npos) << run.err;
  WriteAll(dir_.File("in.csv"), "K1,a,,,[Outline],,,,,0,,,,,,0\r\n");
  run = dir_.Tool({"import", dir_.File("nobook.tlb"), dir_.File("in.csv")});
  EXPECT_EQ(run.status, 3);
  EXPECT_EQ(ReadAll(book_), before);
  EXPECT_EQ(dir_.List(), (std::vector<std::string>{"book.tlb", "in.csv"}));
}

}  // namespace
}  // namespace tooltest
}  // namespace telbook
