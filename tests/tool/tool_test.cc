// End-to-end tests of the telbook tool: help and exit statuses, create and info, and the bad
// inputs every command meets (missing file, a file that is no phone book, a damaged one).
#include <gtest/gtest.h>

#include <string>

#include "tests/tool/tool_runner.h"

namespace telbook {
namespace tooltest {
namespace {

TEST(ToolUsage, HelpListsCommandsAndExitStatuses) {
  Result run = RunTool({"--help"});
  EXPECT_EQ(run.status, 0);
  EXPECT_NE(run.out.find("create"), std::string::npos);
  EXPECT_NE(run.out.find("info"), std::string::npos);
  EXPECT_NE(run.out.find("demo"), std::string::npos);
  EXPECT_NE(run.out.find("Exit status"), std::string::npos);
}

TEST(ToolUsage, EveryCommandHasHelp) {
  for (const char* command : {"create", "info", "demo"}) {
    Result run = RunTool({command, "--help"});
    EXPECT_EQ(run.status, 0) << command;
    EXPECT_NE(run.out.find("Usage"), std::string::npos) << command;
  }
}

TEST(ToolUsage, BadCommandLineIsStatus2) {
  EXPECT_EQ(RunTool({}).status, 2);
  EXPECT_EQ(RunTool({"frobnicate"}).status, 2);
  EXPECT_EQ(RunTool({"info"}).status, 2);
  EXPECT_EQ(RunTool({"info", "a", "b"}).status, 2);
}

TEST(ToolCreate, MakesAnEmptyBookAndRefusesToReplaceOne) {
  Scratch dir;
  std::string book = dir.File("new.tlb");
  Result run = dir.Tool({"create", book});
  ASSERT_EQ(run.status, 0) << run.err;
  std::string bytes = ReadAll(book);
  ASSERT_EQ(bytes.size(), 160112u);
  EXPECT_EQ(bytes.substr(0, 8), "KVTL0200");

  WriteAll(book, "keep me");
  run = dir.Tool({"create", book});
  EXPECT_EQ(run.status, 3);
  EXPECT_NE(run.err.find(book), std::string::npos);
  EXPECT_NE(run.err.find("exists"), std::string::npos);
  EXPECT_EQ(ReadAll(book), "keep me");
}

// File names outside ASCII are used as typed, by the tool and by the library.
TEST(ToolCreate, NonAsciiFileNamesAreKept) {
  Scratch dir;
  std::string book = dir.File("電話帳 ①.tlb");
  Result run = dir.Tool({"create", book});
  ASSERT_EQ(run.status, 0) << run.err;
  ASSERT_EQ(dir.Tool({"add", book, "--name", "山田", "--furigana", "やまだ"}).status, 0);
  run = dir.Tool({"info", book});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("電話帳 ①.tlb"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("entries      1"), std::string::npos) << run.out;
  EXPECT_EQ(dir.Tool({"export", book, dir.File("名簿.vcf"), "--vcard"}).status, 0);
  EXPECT_EQ(dir.Tool({"export", book, dir.File("名簿.csv")}).status, 0);
  EXPECT_EQ(dir.List(), (std::vector<std::string>{"名簿.csv", "名簿.vcf", "電話帳 ①.tlb"}));
}

TEST(ToolCreate, UnwritableDirectoryIsStatus3) {
  Scratch dir;
  Result run = dir.Tool({"create", dir.File("no/such/dir/book.tlb")});
  EXPECT_EQ(run.status, 3);
  EXPECT_NE(run.err.find("cannot create"), std::string::npos) << run.err;
}

TEST(ToolInfo, ShowsVersionCountsAndSize) {
  Scratch dir;
  std::string book = dir.File("b.tlb");
  ASSERT_EQ(dir.Tool({"create", book}).status, 0);
  Result run = dir.Tool({"info", book});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("version      2"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("entries      0"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("160112 bytes"), std::string::npos) << run.out;
  // Reading leaves the file and the directory as they were.
  EXPECT_EQ(ReadAll(book).size(), 160112u);
  EXPECT_EQ(dir.List(), std::vector<std::string>{"b.tlb"});
}

// The space a save gives back: none in a book just saved, where the computed size of a save
// must match the file to the byte; exactly the dead bytes behind the records otherwise.
TEST(ToolInfo, ReclaimableSpaceIsWhatASaveGivesBack) {
  Scratch dir;
  std::string demo = dir.File("demo");
  ASSERT_EQ(dir.Tool({"demo", demo}).status, 0);
  std::string book = demo + "/demo.tlb";
  std::string size = std::to_string(ReadAll(book).size());
  Result run = dir.Tool({"info", book});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("reclaimable  0 bytes (a save would write " + size + ")"),
            std::string::npos)
      << run.out;

  WriteAll(book, ReadAll(book) + std::string(1234, '\0'));
  run = dir.Tool({"info", book});
  EXPECT_NE(run.out.find("reclaimable  1234 bytes (a save would write " + size + ")"),
            std::string::npos)
      << run.out;
  ASSERT_EQ(dir.Tool({"repair", book}).status, 0);
  EXPECT_EQ(std::to_string(ReadAll(book).size()), size);
}

TEST(ToolBadInput, MissingFileNotABookAndDamagedBook) {
  Scratch dir;
  Result run = dir.Tool({"info", dir.File("missing.tlb")});
  EXPECT_EQ(run.status, 3);
  EXPECT_NE(run.err.find("missing.tlb"), std::string::npos);
  EXPECT_NE(run.err.find("No such file"), std::string::npos) << run.err;

  WriteAll(dir.File("text.tlb"), "just some text\n");
  run = dir.Tool({"info", dir.File("text.tlb")});
  EXPECT_EQ(run.status, 3);
  EXPECT_NE(run.err.find("not a phone book"), std::string::npos) << run.err;

  WriteAll(dir.File("empty.tlb"), "");
  run = dir.Tool({"info", dir.File("empty.tlb")});
  EXPECT_EQ(run.status, 3);
  EXPECT_NE(run.err.find("empty"), std::string::npos) << run.err;

  // A header that promises a version-3 file with the magic of version 2.
  std::string book = dir.File("damaged.tlb");
  ASSERT_EQ(dir.Tool({"create", book}).status, 0);
  std::string bytes = ReadAll(book);
  bytes[5] = '3';
  WriteAll(book, bytes);
  run = dir.Tool({"info", book});
  EXPECT_EQ(run.status, 3);
  EXPECT_NE(run.err.find("does not match"), std::string::npos) << run.err;

  // A phone book cut short inside its index tables.
  ASSERT_EQ(dir.Tool({"create", dir.File("cut.tlb")}).status, 0);
  WriteAll(dir.File("cut.tlb"), ReadAll(dir.File("cut.tlb")).substr(0, 4000));
  run = dir.Tool({"info", dir.File("cut.tlb")});
  EXPECT_EQ(run.status, 3);
  EXPECT_NE(run.err.find("cut.tlb"), std::string::npos) << run.err;

  run = dir.Tool({"info", dir.path()});
  EXPECT_EQ(run.status, 3);
  EXPECT_NE(run.err.find("directory"), std::string::npos) << run.err;
}

}  // namespace
}  // namespace tooltest
}  // namespace telbook
