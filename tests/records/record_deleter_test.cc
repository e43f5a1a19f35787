// TL_deleteKojin and TL_deleteGroup: the refusals and their pairs, what a delete leaves for reads,
// tabs, the walk, the groups, the next add and a save, failures that change nothing, and a long
// random life of a book compared with a simple model after every save and reopen.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "interface/session.h"
#include "interface/telbook.h"
#include "platform/fault_env.h"
#include "records/records_fixture.h"
#include "store/append_buffer.h"
#include "test_util.h"

namespace telbook {
namespace test {
namespace {

class DeleteTest : public RecordsTest {
 protected:
  uint16_t AddGroup(const std::vector<uint16_t>& members, const char* name = "group",
                    uint16_t number = 0) {
    TL_Group g{};
    strcpy(g.Name, name);
    strcpy(g.Furigana, "\x82\xa9");  // か
    g.HostWord1 = 7;
    g.Favourite = 4;
    EXPECT_EQ(
        TL_writeGroup(s_, &g, &number, static_cast<unsigned short>(members.size()), members.data()),
        0);
    return number;
  }
  // The member numbers of a group as its reader hands them out, 0 for one that cannot be read.
  std::vector<uint16_t> MembersOf(uint16_t group) {
    std::vector<uint16_t> numbers;
    EXPECT_EQ(TL_openGroup(s_, group), 0);
    for (;;) {
      TL_ListItem item{};
      if (TL_readGroupMember(s_, &item) == 0) {
        numbers.push_back(item.RecordNumber);
      } else if (ErrorOf(s_) == (Pair{9, 10})) {
        break;
      } else {
        numbers.push_back(0);
      }
    }
    TL_closeGroup(s_);
    return numbers;
  }
  Pair Counts() {
    unsigned short personal = 0, groups = 0;
    EXPECT_EQ(TL_readDataCount(s_, &personal, &groups), 0);
    return {personal, groups};
  }
  bool Exists(uint16_t number) {
    if (number > 16384) {
      bool open = TL_openGroup(s_, number) == 0;
      TL_closeGroup(s_);
      return open && Slot::kind(SlotOf(number)) != 0;
    }
    TL_Kojin k;
    return TL_readKojin(s_, &k, number) == 0;
  }
  const uint8_t* SlotOf(uint16_t number) {
    Session* session = FromHandle(s_);
    return number > 16384 ? session->store.group_index() + 8 * (number - 16385)
                          : session->store.personal_index() + 8 * (number - 1);
  }
  std::vector<uint16_t> Walk() {
    std::vector<uint16_t> numbers;
    unsigned short count = 0;
    EXPECT_EQ(TL_beginSRCH(s_, &count), 0);
    for (int i = 0; i < count; ++i) {
      TL_ListItem item{};
      EXPECT_EQ(TL_readSrchData(s_, &item), 0);
      numbers.push_back(item.RecordNumber);
    }
    TL_endSRCH(s_);
    return numbers;
  }
  void SaveAndReopen() {
    ASSERT_EQ(TL_closeDataBase(s_, 0), 0);
    ASSERT_EQ(TL_openDataBase(s_, path_.c_str()), 0);
  }
};

TEST_F(DeleteTest, RefusalsRecordTheirPairAndChangeNothing) {
  struct Case {
    bool open;
    bool group;
    uint16_t number;
    Pair pair;
  };
  const Case cases[] = {
      {false, false, 1, {32, 16}},   {false, true, 16385, {33, 16}}, {true, false, 0, {32, 5}},
      {true, false, 10000, {32, 5}}, {true, false, 16385, {32, 5}},  {true, true, 16384, {33, 5}},
      {true, true, 26384, {33, 5}},  {true, true, 1, {33, 5}},       {true, false, 4, {32, 32}},
      {true, true, 16386, {33, 32}}, {true, true, 26383, {33, 32}},
  };
  Create();
  for (int i = 0; i < 3; ++i) Write(Kojin("entry", "\x82\xa0"));
  AddGroup({1, 2});
  ASSERT_EQ(TL_closeDataBase(s_, 0), 0);
  const Bytes before = ReadFileOrDie(path_);
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.number) + (c.open ? " open" : " closed"));
    if (c.open) {
      ASSERT_EQ(TL_openDataBase(s_, path_.c_str()), 0);
    }
    short status = c.group ? TL_deleteGroup(s_, c.number) : TL_deleteKojin(s_, c.number);
    EXPECT_EQ(status, -1);
    EXPECT_EQ(ErrorOf(s_), c.pair);
    if (!c.open) continue;
    // Refused before the switch: the session still works on the book itself.
    EXPECT_EQ(FromHandle(s_)->working_copy.modified(), 0);
    EXPECT_EQ(Counts(), (Pair{3, 1}));
    ASSERT_EQ(TL_closeDataBase(s_, 0), 0);
  }
  EXPECT_EQ(ReadFileOrDie(path_), before);
}

TEST_F(DeleteTest, AnEntryLeavesReadsTabsTheWalkAndEveryGroupThatListsIt) {
  Create();
  for (int i = 0; i < 5; ++i) Write(Kojin("entry " + std::to_string(i + 1), "\x82\xa9"));
  const uint16_t both = AddGroup({2, 4, 2, 5}, "twice");
  const uint16_t only = AddGroup({4}, "only");
  const uint16_t other = AddGroup({1, 3}, "other");
  const Bytes other_slot(SlotOf(other), SlotOf(other) + 8);

  ASSERT_EQ(TL_deleteKojin(s_, 2), 0);
  ASSERT_EQ(TL_deleteKojin(s_, 4), 0);
  for (int pass = 0; pass < 2; ++pass) {
    SCOPED_TRACE(pass == 0 ? "before the save" : "after save and reopen");
    EXPECT_FALSE(Exists(2));
    EXPECT_FALSE(Exists(4));
    EXPECT_EQ(Counts(), (Pair{3, 3}));
    EXPECT_EQ(TabCount(0x02), 6);
    EXPECT_EQ(TabCount(0x40), 3);
    EXPECT_EQ(Walk(), (std::vector<uint16_t>{1, 3, 5, both, only, other}));
    EXPECT_EQ(MembersOf(both), (std::vector<uint16_t>{5}));
    EXPECT_EQ(MembersOf(only), std::vector<uint16_t>{});
    EXPECT_EQ(MembersOf(other), (std::vector<uint16_t>{1, 3}));
    // A rewritten group keeps its texts, host words and favourite.
    TL_Group g{};
    ASSERT_EQ(TL_openGroup(s_, both), 0);
    ASSERT_EQ(TL_readGroupData(s_, &g), 0);
    TL_closeGroup(s_);
    EXPECT_STREQ(g.Name, "twice");
    EXPECT_EQ(g.HostWord1, 7);
    EXPECT_EQ(g.Favourite, 4);
    EXPECT_EQ(g.MemberCount, 1);
    if (pass == 0) {
      // A group that does not list the entry is not rewritten.
      EXPECT_EQ(Bytes(SlotOf(other), SlotOf(other) + 8), other_slot);
      SaveAndReopen();
    }
  }
  // The lowest free number is taken again, and the new entry joins no old group.
  EXPECT_EQ(Write(Kojin("stranger")), 2);
  EXPECT_EQ(MembersOf(both), (std::vector<uint16_t>{5}));
  EXPECT_EQ(Write(Kojin("another")), 4);
}

TEST_F(DeleteTest, AGroupLeavesTabsAndTheWalkAndItsNumberIsFreeAgain) {
  Create();
  Write(Kojin("member", "\x82\xa0"));
  const uint16_t first = AddGroup({1});
  const uint16_t second = AddGroup({1});
  ASSERT_EQ(TL_deleteGroup(s_, first), 0);
  EXPECT_FALSE(Exists(first));
  EXPECT_EQ(Counts(), (Pair{1, 1}));
  EXPECT_EQ(Walk(), (std::vector<uint16_t>{1, second}));
  EXPECT_EQ(TabCount(0x02), 1);
  EXPECT_TRUE(Exists(1));
  SaveAndReopen();
  EXPECT_EQ(Counts(), (Pair{1, 1}));
  EXPECT_EQ(AddGroup({}), first);
}

TEST_F(DeleteTest, ASavedBookIsTheOneThatNeverHeldTheRecords) {
  // Deleted records are dead space that the save drops: the file is byte for byte the one written
  // without them.
  Create();
  for (int i = 0; i < 4; ++i) Write(FullKojin());
  AddGroup({1, 2, 3, 4}, "all");
  AddGroup({2}, "two");
  ASSERT_EQ(TL_deleteKojin(s_, 2), 0);
  ASSERT_EQ(TL_deleteGroup(s_, 16386), 0);
  ASSERT_EQ(TL_closeDataBase(s_, 0), 0);
  const Bytes deleted = ReadFileOrDie(path_);

  ASSERT_EQ(TL_createDataBase(s_, path_.c_str()), 0);
  for (uint16_t n : {1, 3, 4}) Write(FullKojin(), n);
  AddGroup({1, 3, 4}, "all");
  ASSERT_EQ(TL_closeDataBase(s_, 0), 0);
  EXPECT_EQ(deleted, ReadFileOrDie(path_));
}

TEST_F(DeleteTest, ExportsPassOverADeletedRecord) {
  Create();
  for (int i = 0; i < 3; ++i) Write(Kojin("entry " + std::to_string(i + 1), "\x82\xa0"));
  AddGroup({1, 2, 3});
  AddGroup({2});
  ASSERT_EQ(TL_deleteKojin(s_, 2), 0);
  ASSERT_EQ(TL_deleteGroup(s_, 16386), 0);
  for (int format : {0, 1}) {
    SCOPED_TRACE(format == 1 ? "subset" : "text");
    const unsigned short asked[] = {1, 2, 3};
    const unsigned short asked_groups[] = {16385, 16386};
    const unsigned short kept[] = {1, 3};
    const unsigned short kept_groups[] = {16385};
    short flag = 0;
    std::string all = dir_.File("all.out");
    std::string some = dir_.File("some.out");
    ASSERT_EQ(TL_writeSrchData(s_, asked, 3, asked_groups, 2, format, all.c_str(), &flag), 0);
    ASSERT_EQ(TL_writeSrchData(s_, kept, 2, kept_groups, 1, format, some.c_str(), &flag), 0);
    EXPECT_EQ(ReadFileOrDie(all), ReadFileOrDie(some));
  }
}

// Appends written one by one (no write-behind block until the end), the Nth write failing.
class FailingWrites : public ForwardingEnv {
 public:
  FailingWrites() : ForwardingEnv(Env::Default()) {}
  void* AllocBlock(size_t size) override {
    bool refused = size == AppendBuffer::kBlockSize && !done_;
    return refused ? nullptr : ForwardingEnv::AllocBlock(size);
  }
  bool Write(FileHandle file, const void* buffer, uint32_t length, uint32_t* count) override {
    if (fail_at_ > 0 && ++writes_ == fail_at_) return false;
    return ForwardingEnv::Write(file, buffer, length, count);
  }
  void FailWrite(int nth) {
    writes_ = 0;
    fail_at_ = nth;
  }
  void Done(bool done) { done_ = done; }

 private:
  int writes_ = 0;
  int fail_at_ = 0;
  bool done_ = false;
};

TEST_F(DeleteTest, AFailedGroupRewriteLeavesEveryGroupAndTheEntry) {
  FailingWrites env;
  ScopedSessionEnv scoped(&env);
  for (int nth : {1, 2, 3}) {
    SCOPED_TRACE("write #" + std::to_string(nth) + " fails");
    env.Done(false);
    SessionHolder s;
    ASSERT_EQ(TL_createDataBase(s, path_.c_str()), 0);
    TL_Kojin k = Kojin("entry");
    for (int i = 0; i < 3; ++i) {
      unsigned short n = 0;
      ASSERT_EQ(TL_writeKojin(s, &k, &n, 0), 0);
    }
    TL_Group g{};
    const unsigned short members[] = {1, 2, 3};
    for (int i = 0; i < 3; ++i) {
      unsigned short n = 0;
      ASSERT_EQ(TL_writeGroup(s, &g, &n, 3, members), 0);
    }
    Session* session = FromHandle(s);
    const Bytes index(session->store.group_index(), session->store.group_index() + 8 * 3);
    env.FailWrite(nth);
    short status = TL_deleteKojin(s, 2);
    env.FailWrite(0);
    ASSERT_EQ(status, -1);
    EXPECT_EQ(ErrorOf(s), (Pair{32, 30}));
    EXPECT_EQ(Bytes(session->store.group_index(), session->store.group_index() + 8 * 3), index);
    TL_Kojin read;
    EXPECT_EQ(TL_readKojin(s, &read, 2), 0);
    unsigned short personal = 0, groups = 0;
    TL_readDataCount(s, &personal, &groups);
    EXPECT_EQ(personal, 3);
    // The session goes on: the same delete now goes through, and the save.
    EXPECT_EQ(TL_deleteKojin(s, 2), 0);
    env.Done(true);
    EXPECT_EQ(TL_closeDataBase(s, 0), 0);
  }
}

// A book kept by a person for a long time: entries added (under the lowest free number or a
// chosen one) and deleted, groups written, regrouped and deleted, saved and reopened now and then.
// After every step and every reopen the book must agree with a plain model of it.
TEST_F(DeleteTest, ALongLifeAgreesWithAModel) {
  std::mt19937 random(20240611);
  std::map<uint16_t, std::string> entries;           // number -> name
  std::map<uint16_t, std::vector<uint16_t>> groups;  // number -> members
  auto pick = [&](auto& map) {
    auto it = map.begin();
    std::advance(it, random() % map.size());
    return it->first;
  };
  auto lowest_free = [](const auto& map, uint16_t first) {
    uint16_t n = first;
    while (map.count(n) != 0) ++n;
    return n;
  };
  auto compare = [&](const std::string& when) {
    SCOPED_TRACE(when);
    EXPECT_EQ(Counts(), (Pair{static_cast<unsigned short>(entries.size()),
                              static_cast<unsigned short>(groups.size())}));
    std::vector<uint16_t> expected;
    for (const auto& e : entries) expected.push_back(e.first);
    for (const auto& g : groups) expected.push_back(g.first);
    ASSERT_EQ(Walk(), expected);
    for (const auto& [number, name] : entries) {
      TL_Kojin k;
      ASSERT_EQ(TL_readKojin(s_, &k, number), 0);
      EXPECT_EQ(std::string(k.Name), name);
    }
    for (const auto& [number, members] : groups) EXPECT_EQ(MembersOf(number), members);
  };

  Create();
  int step = 0;
  for (int round = 0; round < 12; ++round) {
    for (int i = 0; i < 40; ++i, ++step) {
      int what = static_cast<int>(random() % 10);
      if (what < 4 || entries.empty()) {
        std::string name = "entry " + std::to_string(step);
        uint16_t wanted = random() % 4 == 0 ? static_cast<uint16_t>(1 + random() % 60) : 0;
        uint16_t expected = wanted != 0 ? wanted : lowest_free(entries, 1);
        ASSERT_EQ(Write(Kojin(name, "\x82\xb3"), wanted), expected);
        entries[expected] = name;
      } else if (what < 6) {
        uint16_t gone = pick(entries);
        ASSERT_EQ(TL_deleteKojin(s_, gone), 0) << "step " << step;
        entries.erase(gone);
        for (auto& g : groups) {
          std::vector<uint16_t> kept;
          for (uint16_t m : g.second) {
            if (m != gone) kept.push_back(m);
          }
          g.second = kept;
        }
      } else if (what < 8 || groups.empty()) {
        std::vector<uint16_t> members;
        for (int m = static_cast<int>(random() % 6); m > 0; --m) members.push_back(pick(entries));
        uint16_t number = groups.empty() || random() % 2 == 0 ? 0 : pick(groups);
        uint16_t expected = number != 0 ? number : lowest_free(groups, 16385);
        ASSERT_EQ(AddGroup(members, "group", number), expected);
        groups[expected] = members;
      } else {
        uint16_t gone = pick(groups);
        ASSERT_EQ(TL_deleteGroup(s_, gone), 0) << "step " << step;
        groups.erase(gone);
      }
    }
    compare("round " + std::to_string(round));
    SaveAndReopen();
    compare("round " + std::to_string(round) + " reopened");
    if (HasFailure()) return;
  }
}

}  // namespace
}  // namespace test
}  // namespace telbook
