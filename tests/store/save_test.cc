// Saving through the exported functions: what is written reads back after a reopen, and a save
// that fails at any file operation or allocation loses nothing and can be tried again.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "interface/session.h"
#include "interface/telbook.h"
#include "platform/fault_env.h"
#include "test_util.h"

namespace telbook {
namespace test {
namespace {

constexpr uint32_t kRecordArea = 160112;

TL_Kojin Entry(const std::string& name, const std::string& fax) {
  TL_Kojin e = Kojin(name, "\x82\xA0", fax);  // a hiragana reading
  strcpy(e.EMail, (name + "@example.org").c_str());
  strcpy(e.SpeedDial, "7");
  strcpy(e.FCode, "fc");
  e.HostWord1 = 0x1111;
  e.LineType = 1;
  e.CommMode = 2;
  e.RelayOutput = 1;
  return e;
}

TL_Group Group(const std::string& name) {
  TL_Group g;
  memset(&g, 0, sizeof(g));
  strcpy(g.Name, name.c_str());
  strcpy(g.Furigana, "\x82\xA9");
  g.HostWord2 = 0x2222;
  return g;
}

// Everything a session shows of its phone book: entries, groups with members, counts, names.
struct Snapshot {
  std::vector<Bytes> entries;
  std::vector<Bytes> groups;
  unsigned short personal = 0;
  unsigned short group_count = 0;
  Bytes names;
  bool operator==(const Snapshot& o) const {
    return entries == o.entries && groups == o.groups && personal == o.personal &&
           group_count == o.group_count && names == o.names;
  }
};

Snapshot Take(TL_FaxUtl* s, int entries, int groups) {
  Snapshot snap;
  for (int n = 1; n <= entries; ++n) {
    TL_Kojin e;
    memset(&e, 0, sizeof(e));
    EXPECT_EQ(TL_readKojin(s, &e, static_cast<unsigned short>(n)), 0) << n;
    const uint8_t* p = reinterpret_cast<const uint8_t*>(&e);
    snap.entries.emplace_back(p, p + sizeof(e));
  }
  for (int n = 1; n <= groups; ++n) {
    EXPECT_EQ(TL_openGroup(s, static_cast<unsigned short>(16384 + n)), 0) << n;
    TL_Group g;
    memset(&g, 0, sizeof(g));
    EXPECT_EQ(TL_readGroupData(s, &g), 0);
    const uint8_t* p = reinterpret_cast<const uint8_t*>(&g);
    Bytes group(p, p + sizeof(g));
    TL_ListItem item;
    while (TL_readGroupMember(s, &item) == 0) {
      group.push_back(static_cast<uint8_t>(item.RecordNumber));
      group.insert(group.end(), item.Name, item.Name + strlen(item.Name));
    }
    TL_closeGroup(s);
    snap.groups.push_back(group);
  }
  EXPECT_EQ(TL_readDataCount(s, &snap.personal, &snap.group_count), 0);
  snap.names.assign(80, 0);
  EXPECT_EQ(TL_readOkonomi(s, 0, reinterpret_cast<char*>(snap.names.data())), 0);
  return snap;
}

class SaveTest : public ::testing::Test {
 protected:
  // The phone book every case starts from: three entries and a group, saved once.
  void SetUp() override {
    ASSERT_EQ(TL_createDataBase(s_, path_.c_str()), 0);
    for (int i = 1; i <= 3; ++i)
      Write(s_, 0, Entry("Base" + std::to_string(i), "0" + std::to_string(i)));
    unsigned short members[] = {1, 3};
    unsigned short number = 0;
    TL_Group g = Group("Base group");
    ASSERT_EQ(TL_writeGroup(s_, &g, &number, 2, members), 0);
    ASSERT_EQ(TL_closeDataBase(s_, 0), 0);
    base_ = ReadFileOrDie(path_);
  }

  static void Write(TL_FaxUtl* s, unsigned short number, const TL_Kojin& e) {
    ASSERT_EQ(TL_writeKojin(s, &e, &number, 0), 0);
  }

  // Opens the base book and changes it: one entry rewritten, one added, a group added, a name.
  static void Change(TL_FaxUtl* s, const std::string& path) {
    ASSERT_EQ(TL_openDataBase(s, path.c_str()), 0);
    Write(s, 2, Entry("Changed", "222"));
    Write(s, 0, Entry("Added", "444"));
    unsigned short members[] = {4, 2, 1};
    unsigned short number = 0;
    TL_Group g = Group("New group");
    ASSERT_EQ(TL_writeGroup(s, &g, &number, 3, members), 0);
    ASSERT_EQ(TL_writeOkonomi(s, 3, "Friends"), 0);
  }

  ScratchDir dir_;
  SessionHolder s_;
  std::string path_ = dir_.File("book.tel");
  Bytes base_;
};

TEST_F(SaveTest, EverythingWrittenReadsBackAfterReopen) {
  Change(s_, path_);
  Snapshot before = Take(s_, 4, 2);
  EXPECT_EQ(before.personal, 4);
  EXPECT_EQ(before.group_count, 2);
  ASSERT_EQ(TL_closeDataBase(s_, 0), 0);
  EXPECT_EQ(dir_.List(), std::vector<std::string>{"book.tel"});

  Bytes saved = ReadFileOrDie(path_);
  EXPECT_EQ(GetU16(saved, 8), 4);
  EXPECT_EQ(GetU16(saved, 10), 2);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(&saved[32 + 4 + 32])), "Friends");
  // Records packed from the end of the fixed part in slot order: personal 1 to 4, groups 1, 2.
  uint32_t expected = kRecordArea;
  for (int n = 1; n <= 4; ++n) {
    EXPECT_EQ(GetU32(saved, 128 + 8 * (n - 1) + 4), expected) << n;
    expected += GetU16(saved, 128 + 8 * (n - 1) + 2);
  }
  for (int n = 1; n <= 2; ++n) {
    EXPECT_EQ(GetU32(saved, 8320 + 8 * (n - 1) + 4), expected) << n;
    expected += GetU16(saved, 8320 + 8 * (n - 1) + 2);
  }
  EXPECT_EQ(saved.size(), expected);

  ASSERT_EQ(TL_openDataBase(s_, path_.c_str()), 0);
  EXPECT_EQ(Take(s_, 4, 2), before);
  TL_Kojin e;
  ASSERT_EQ(TL_readKojin(s_, &e, 2), 0);
  EXPECT_STREQ(e.Name, "Changed");
  EXPECT_STREQ(e.FCode, "fc");
  EXPECT_STREQ(e.SpeedDial, "7");
  EXPECT_EQ(e.CommMode, 2);
}

// Enough records that most have gone out to the working copy and the last are still held back:
// every one reads back before the save and after it, and dropping them all leaves the book alone.
TEST_F(SaveTest, ThousandsOfWritesReadBackBeforeAndAfterTheSave) {
  const int kAdded = 1500;
  auto name = [](int n) { return "Entry " + std::to_string(n) + std::string(20, 'x'); };
  for (bool discard : {true, false}) {
    SCOPED_TRACE(discard);
    ASSERT_EQ(TL_openDataBase(s_, path_.c_str()), 0);
    for (int n = 4; n < 4 + kAdded; ++n) Write(s_, 0, Entry(name(n), std::to_string(n)));
    for (int n = 4; n < 4 + kAdded; n += 97)
      Write(s_, static_cast<unsigned short>(n), Entry(name(-n), "0"));
    auto expect_all = [&] {
      TL_Kojin e;
      for (int n = 4; n < 4 + kAdded; ++n) {
        ASSERT_EQ(TL_readKojin(s_, &e, static_cast<unsigned short>(n)), 0) << n;
        ASSERT_EQ(std::string(e.Name), name((n - 4) % 97 == 0 ? -n : n)) << n;
      }
    };
    expect_all();
    if (discard) {
      ASSERT_EQ(TL_closeDataBase(s_, 1), 0);
      EXPECT_EQ(ReadFileOrDie(path_), base_);
      EXPECT_EQ(dir_.List(), std::vector<std::string>{"book.tel"});
      continue;
    }
    ASSERT_EQ(TL_closeDataBase(s_, 0), 0);
    ASSERT_EQ(TL_openDataBase(s_, path_.c_str()), 0);
    expect_all();
    unsigned short personal = 0, groups = 0;
    TL_readDataCount(s_, &personal, &groups);
    EXPECT_EQ(personal, 3 + kAdded);
    ASSERT_EQ(TL_closeDataBase(s_, 1), 0);
  }
}

TEST_F(SaveTest, EntryChangedTenTimesIsInTheFileOnce) {
  ASSERT_EQ(TL_openDataBase(s_, path_.c_str()), 0);
  for (int i = 0; i < 10; ++i) Write(s_, 2, Entry("Round" + std::to_string(i), "9"));
  ASSERT_EQ(TL_closeDataBase(s_, 0), 0);
  Bytes saved = ReadFileOrDie(path_);
  std::string text(saved.begin(), saved.end());
  EXPECT_EQ(text.find("Round8"), std::string::npos);
  size_t at = text.find("Round9@");
  ASSERT_NE(at, std::string::npos);
  EXPECT_EQ(text.find("Round9@", at + 1), std::string::npos);
  EXPECT_EQ(saved.size(), base_.size() - GetU16(base_, 128 + 8 + 2) + GetU16(saved, 128 + 8 + 2));
}

TEST_F(SaveTest, SavingWithoutChangeLeavesTheFileAlone) {
  ASSERT_EQ(TL_openDataBase(s_, path_.c_str()), 0);
  ASSERT_EQ(TL_closeDataBase(s_, 0), 0);
  EXPECT_EQ(ReadFileOrDie(path_), base_);
  EXPECT_EQ(dir_.List(), std::vector<std::string>{"book.tel"});
}

// Each operation of the save, failed in turn: a failed save leaves the phone book byte for byte
// as it was, the session changed with every record as before, no file but the working copy, and
// a later save works. A save that survives the fault writes the same file as a clean one.
TEST_F(SaveTest, EachFailingOperationOfTheSaveLosesNothing) {
  // The outcome of a clean save, and how many operations of each kind it makes.
  FaultEnv counter(Env::Default());
  Bytes expected;
  Snapshot changed;
  int counts[static_cast<int>(FaultKind::kCount)] = {};
  {
    ScopedSessionEnv scoped(&counter);
    SessionHolder s;
    Change(s, path_);
    changed = Take(s, 4, 2);
    counter.Reset();
    ASSERT_EQ(TL_closeDataBase(s, 0), 0);
    for (int k = 0; k < static_cast<int>(FaultKind::kCount); ++k)
      counts[k] = counter.Count(static_cast<FaultKind>(k));
    expected = ReadFileOrDie(path_);
  }
  ASSERT_GT(counts[static_cast<int>(FaultKind::kWrite)], 8);
  ASSERT_GT(counts[static_cast<int>(FaultKind::kSync)], 0);
  ASSERT_GT(counts[static_cast<int>(FaultKind::kReplace)], 0);

  const FaultKind kinds[] = {FaultKind::kAlloc,     FaultKind::kOpen,    FaultKind::kMove,
                             FaultKind::kRead,      FaultKind::kWrite,   FaultKind::kSync,
                             FaultKind::kClose,     FaultKind::kDelete,  FaultKind::kReplace,
                             FaultKind::kTempName,  FaultKind::kInspect, FaultKind::kLock,
                             FaultKind::kAttributes};
  int failed_saves = 0;
  for (FaultKind kind : kinds) {
    for (int nth = 1; nth <= counts[static_cast<int>(kind)]; ++nth) {
      SCOPED_TRACE(::testing::Message() << "kind " << static_cast<int>(kind) << " op " << nth);
      WriteFile(path_, base_);
      FaultEnv env(Env::Default());
      ScopedSessionEnv scoped(&env);
      SessionHolder s;
      Change(s, path_);
      env.FailAt(kind, nth);
      short status = TL_closeDataBase(s, 0);
      ASSERT_TRUE(env.Fired());
      env.FailAt(kind, 0);
      if (status == 0) {
        // Only steps after the replace may fail without failing the save: closing files,
        // letting the lock go, and looking for leftovers beside the book.
        EXPECT_EQ(ReadFileOrDie(path_), expected);
        EXPECT_TRUE(kind == FaultKind::kClose || kind == FaultKind::kDelete ||
                    kind == FaultKind::kLock || kind == FaultKind::kInspect);
        // Only a working copy that could not be deleted may be left.
        for (const std::string& name : dir_.List()) {
          if (name == "book.tel") continue;
          EXPECT_EQ(kind, FaultKind::kDelete) << name;
          std::remove(dir_.File(name).c_str());
        }
        continue;
      }
      ++failed_saves;
      EXPECT_EQ(status, -1);
      EXPECT_EQ(ErrorOf(s).category, 40);
#if defined(_WIN32)
      // The writers' lock holds the book, and where Windows has no rename with POSIX semantics
      // it replaces no file a handle holds: the new bytes are written into it, and a failure of
      // that write may leave any part of them.
      if (!(ErrorOf(s) == Pair{40, 14})) {
        EXPECT_EQ(ReadFileOrDie(path_), base_);
      }
#else
      EXPECT_EQ(ReadFileOrDie(path_), base_);
#endif
      EXPECT_EQ(FromHandle(s)->working_copy.modified(), 1);
      EXPECT_EQ(dir_.List(), BookAndWorkingCopy(dir_, "book.tel", s));
      EXPECT_EQ(Take(s, 4, 2), changed);
      ASSERT_EQ(TL_closeDataBase(s, 0), 0);
      EXPECT_EQ(ReadFileOrDie(path_), expected);
      EXPECT_EQ(dir_.List(), std::vector<std::string>{"book.tel"});
    }
  }
  EXPECT_GT(failed_saves, 20);
}

TEST_F(SaveTest, StickyWriteFailureLikeAFullDiskLosesNothing) {
  FaultEnv env(Env::Default());
  ScopedSessionEnv scoped(&env);
  SessionHolder s;
  Change(s, path_);
  Snapshot changed = Take(s, 4, 2);
  env.SetSticky(true);
  env.FailAt(FaultKind::kWrite, 3);
  EXPECT_EQ(TL_closeDataBase(s, 0), -1);
  EXPECT_EQ(TL_closeDataBase(s, 0), -1);
  EXPECT_EQ(ReadFileOrDie(path_), base_);
  env.FailAt(FaultKind::kWrite, 0);
  env.SetSticky(false);
  EXPECT_EQ(Take(s, 4, 2), changed);
  // Changes made after a failed save are saved too.
  Write(s, 1, Entry("Later", "5"));
  ASSERT_EQ(TL_closeDataBase(s, 0), 0);
  ASSERT_EQ(TL_openDataBase(s, path_.c_str()), 0);
  TL_Kojin e;
  ASSERT_EQ(TL_readKojin(s, &e, 1), 0);
  EXPECT_STREQ(e.Name, "Later");
  EXPECT_EQ(dir_.List(), std::vector<std::string>{"book.tel"});
}

}  // namespace
}  // namespace test
}  // namespace telbook
