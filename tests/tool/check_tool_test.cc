// End-to-end tests of `telbook check` and `telbook repair` on damaged files made byte by byte
// from a sound one.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>

#include "tests/tool/tool_runner.h"

namespace telbook {
namespace tooltest {
namespace {

constexpr size_t kPersonalSlot1 = 128;
constexpr size_t kPersonalCount = 8;

class CheckTool : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(dir_.Tool({"create", book_}).status, 0);
    ASSERT_EQ(dir_.Tool({"add", book_, "--name", "A", "--furigana", "あ"}).status, 0);
    ASSERT_EQ(dir_.Tool({"add", book_, "--name", "B", "--furigana", "か"}).status, 0);
    ASSERT_EQ(dir_.Tool({"group", book_, "--name", "G", "--members", "1,2"}).status, 0);
  }
  nlohmann::json Check(const std::string& path, int status) {
    Result run = dir_.Tool({"check", path, "--json"});
    EXPECT_EQ(run.status, status) << run.out << run.err;
    return nlohmann::json::parse(run.out);
  }
  void Patch(size_t at, const std::string& bytes) {
    std::string file = ReadAll(book_);
    file.replace(at, bytes.size(), bytes);
    WriteAll(book_, file);
  }

  Scratch dir_;
  std::string book_ = dir_.File("book.tlb");
};

TEST_F(CheckTool, SoundBookIsStatus0) {
  nlohmann::json j = Check(book_, 0);
  EXPECT_TRUE(j["sound"]);
  EXPECT_EQ(j["entries"], 2);
  EXPECT_EQ(j["groups"], 1);
}

TEST_F(CheckTool, FindsEachKindOfDamage) {
  // A slot pointing past the end of the file: the entry, and the group's member naming it.
  Patch(kPersonalSlot1 + 4, std::string("\xFF\xFF\x00\x01", 4));
  nlohmann::json j = Check(book_, 1);
  ASSERT_EQ(j["findings"].size(), 2u) << j.dump();
  EXPECT_EQ(j["findings"][0]["where"], "entry 1");
  EXPECT_EQ(j["findings"][0]["record"], 1);
  EXPECT_EQ(j["findings"][0]["offset"], kPersonalSlot1 + 2);
  EXPECT_NE(j["findings"][0]["problem"].get<std::string>().find("outside"), std::string::npos);
  EXPECT_EQ(j["findings"][1]["record"], 16385);
  EXPECT_EQ(j["findings"][1]["problem"], "member 1 names an entry that cannot be read");
}

TEST_F(CheckTool, FindsWrongCountsKindsAndMissingMembers) {
  Patch(kPersonalCount, std::string("\x07\x00", 2));
  Patch(kPersonalSlot1 + 8, std::string("\x00", 1));  // entry 2's slot freed: the group's member
  nlohmann::json j = Check(book_, 1);
  std::string all = j["findings"].dump();
  EXPECT_NE(all.find("counts 7 entries, the index holds 1"), std::string::npos) << all;
  EXPECT_NE(all.find("member 2 names no entry"), std::string::npos) << all;
}

TEST_F(CheckTool, NotABookAndCutShort) {
  WriteAll(dir_.File("x.tlb"), std::string(20000, 'x'));
  EXPECT_FALSE(Check(dir_.File("x.tlb"), 1)["readable"]);
  WriteAll(dir_.File("cut.tlb"), ReadAll(book_).substr(0, 100000));
  EXPECT_FALSE(Check(dir_.File("cut.tlb"), 1)["readable"]);
  EXPECT_EQ(dir_.Tool({"check", dir_.File("none.tlb")}).status, 3);
}

TEST_F(CheckTool, RepairSavesThroughTheCompaction) {
  Patch(kPersonalCount, std::string("\x07\x00", 2));
  ASSERT_EQ(Check(book_, 1)["findings"].size(), 1u);
  Result run = dir_.Tool({"repair", book_});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(Check(book_, 0)["sound"]);
  EXPECT_EQ(dir_.List(), (std::vector<std::string>{"book.tlb", "book.tlb.bak"}));

  // An unreadable file is refused and left as it was.
  WriteAll(dir_.File("x.tlb"), "not a phone book");
  run = dir_.Tool({"repair", dir_.File("x.tlb")});
  EXPECT_EQ(run.status, 3);
  EXPECT_EQ(ReadAll(dir_.File("x.tlb")), "not a phone book");
}

}  // namespace
}  // namespace tooltest
}  // namespace telbook
