// End-to-end tests of `telbook demo`: it runs, shows every part, leaves a phone book that the
// other commands read, and leaves nothing outside its own directory.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>

#include "tests/tool/tool_runner.h"

namespace telbook {
namespace tooltest {
namespace {

TEST(DemoTool, MakesAFreshDirectoryBelowTheTemporaryOne) {
  Scratch tmp;
  Result run = tmp.Tool({"demo"});
  ASSERT_EQ(run.status, 0) << run.err;
  std::vector<std::string> names = tmp.List();
  ASSERT_EQ(names.size(), 1u);
  EXPECT_EQ(names[0].rfind("telbook-demo-", 0), 0u);
  for (const char* heading : {"Index tabs", "Tab か (0x02)", "Entry 1 in full",
                              "Group 16386 with its members", "Files"}) {
    EXPECT_NE(run.out.find(heading), std::string::npos) << heading << "\n" << run.out;
  }
  EXPECT_TRUE(run.err.empty()) << run.err;
}

TEST(DemoTool, GivenDirectoryHoldsAReadablePhoneBookAndNoStrayFiles) {
  Scratch tmp;
  std::string dir = tmp.File("here");
  Result run = tmp.Tool({"demo", dir});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(tmp.List(), std::vector<std::string>{"here"});
  std::string book = dir + "/demo.tlb";
  ASSERT_TRUE(Exists(book));
  // The phone book, its text export and its subset, and no temporary file of the library.
  Result files = RunTool({"list", dir + "/subset.tlb", "--json"});
  ASSERT_EQ(files.status, 0) << files.err;
  EXPECT_EQ(nlohmann::json::parse(files.out).back()["number"], 16385);
  std::string text = ReadAll(dir + "/demo.csv");
  EXPECT_EQ(text.substr(0, 3), "K1,");
  EXPECT_NE(text.find("\r\nG2,"), std::string::npos);

  Result list = tmp.Tool({"list", book, "--json"});
  ASSERT_EQ(list.status, 0) << list.err;
  nlohmann::json all = nlohmann::json::parse(list.out);
  EXPECT_GE(all.size(), 30u);
  int groups = 0;
  for (const auto& item : all) groups += item["kind"] == "group";
  EXPECT_EQ(groups, 2);
  // Every kana row has a record, and so have the other-initials tab and three favourites.
  for (const char* tab : {"0x01", "0x02", "0x03", "0x04", "0x05", "0x06", "0x07", "0x08", "0x09",
                          "0x0A", "0x0B", "0x10", "0x20", "0x30"}) {
    Result t = tmp.Tool({"list", book, "--tab", tab, "--json"});
    ASSERT_EQ(t.status, 0) << t.err;
    EXPECT_FALSE(nlohmann::json::parse(t.out).empty()) << tab;
  }
  // A second demo in the same directory refuses to replace the phone book, and so does a demo
  // in a directory that holds only one of its other files; nothing is written there.
  std::string before = ReadAll(book);
  EXPECT_EQ(tmp.Tool({"demo", dir}).status, 3);
  EXPECT_EQ(ReadAll(book), before);
  for (const char* name : {"demo.csv", "subset.tlb"}) {
    Scratch other;
    WriteAll(other.File(name), "mine");
    Result refused = other.Tool({"demo", other.path()});
    EXPECT_EQ(refused.status, 3) << name;
    EXPECT_NE(refused.err.find(name), std::string::npos) << refused.err;
    EXPECT_EQ(other.List(), std::vector<std::string>{name});
    EXPECT_EQ(ReadAll(other.File(name)), "mine");
  }
}

}  // namespace
}  // namespace tooltest
}  // namespace telbook
