// Failures of memory and file operations under the record reader and writer: what a failed read,
// group open, append or switch leaves behind.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "book_builder.h"
#include "interface/session.h"
#include "interface/telbook.h"
#include "platform/fault_env.h"
#include "records/records_fixture.h"
#include "test_util.h"

namespace telbook {
namespace test {
namespace {

class RecordFaultTest : public RecordsTest {
 protected:
  FaultEnv env_{Env::Default()};
  ScopedSessionEnv scoped_{&env_};
  SessionHolder s_;
  void Open() {
    ASSERT_EQ(TL_createDataBase(s_, path_.c_str()), 0);
    TL_Kojin k = FullKojin();
    unsigned short number = 0;
    ASSERT_EQ(TL_writeKojin(s_, &k, &number, 0), 0);
  }
  // Saves and opens the phone book again, so that its records are read from the file.
  void Reopen() {
    ASSERT_EQ(TL_closeDataBase(s_, 0), 0);
    ASSERT_EQ(TL_openDataBase(s_, path_.c_str()), 0);
  }
  // Adds entries (with the armed fault) until one fails: an add touches the file only when the
  // records held back must go out to make room. Returns its status, its number in *number and
  // the count of adds that went through before it in *stored.
  short AddUntilOneFails(const TL_Kojin& k, int* stored, unsigned short* number) {
    for (*stored = 0; *stored < 500; ++*stored) {
      *number = 0;
      short status = TL_writeKojin(s_, &k, number, 0);
      if (status != 0) return status;
    }
    return 0;
  }
  uint16_t PersonalCount() {
    unsigned short personal = 0, groups = 0;
    TL_readDataCount(s_, &personal, &groups);
    return personal;
  }
};

TEST_F(RecordFaultTest, ReadFailures) {
  Open();
  Reopen();
  TL_Kojin k;
  env_.FailAt(FaultKind::kAlloc, 1);
  EXPECT_EQ(TL_readKojin(s_, &k, 1), -1);
  EXPECT_EQ(ErrorOf(s_), (Pair{5, 4}));
  env_.FailAt(FaultKind::kRead, 1);
  EXPECT_EQ(TL_readKojin(s_, &k, 1), -1);
  EXPECT_EQ(ErrorOf(s_), (Pair{14, 15}));
  env_.FailAt(FaultKind::kMove, 1);
  EXPECT_EQ(TL_readKojin(s_, &k, 1), -1);
  EXPECT_EQ(ErrorOf(s_), (Pair{17, 19}));
  env_.FailAt(FaultKind::kAlloc, 0);
  ASSERT_EQ(TL_readKojin(s_, &k, 1), 0);
  EXPECT_STREQ(k.Name, "Sato Hanako");
}

TEST_F(RecordFaultTest, RecordsHeldBackAreReadWithoutTheFile) {
  Open();
  env_.SetSticky(true);
  env_.FailAt(FaultKind::kRead, 1);
  TL_Kojin k;
  ASSERT_EQ(TL_readKojin(s_, &k, 1), 0);
  EXPECT_STREQ(k.Name, "Sato Hanako");
  unsigned short count = 0;
  ASSERT_EQ(TL_beginSRCH(s_, &count), 0);
  ASSERT_EQ(count, 1);
  TL_ListItem item;
  ASSERT_EQ(TL_readSrchData(s_, &item), 0);
  EXPECT_STREQ(item.Memo, "call first");
  EXPECT_FALSE(env_.Fired());
  env_.FailAt(FaultKind::kRead, 0);
}

TEST_F(RecordFaultTest, GroupOpenFailuresKeepTheCursor) {
  Open();
  TL_Group g{};
  const unsigned short members[] = {1};
  unsigned short number = 0;
  ASSERT_EQ(TL_writeGroup(s_, &g, &number, 1, members), 0);
  Reopen();
  ASSERT_EQ(TL_openGroup(s_, 16385), 0);
  env_.FailAt(FaultKind::kAlloc, 1);
  EXPECT_EQ(TL_openGroup(s_, 16385), -1);
  EXPECT_EQ(ErrorOf(s_), (Pair{11, 4}));
  env_.FailAt(FaultKind::kRead, 1);
  EXPECT_EQ(TL_openGroup(s_, 16385), -1);
  EXPECT_EQ(ErrorOf(s_), (Pair{14, 15}));
  TL_ListItem item;
  // A member is read ahead, or into a block of its own when the read-ahead block cannot be had.
  FromHandle(s_)->store.read_ahead().Release();
  env_.SetSticky(true);
  env_.FailAt(FaultKind::kAlloc, 1);
  EXPECT_EQ(TL_readGroupMember(s_, &item), -1);  // the member counts as handed out
  EXPECT_EQ(ErrorOf(s_), (Pair{4, 4}));
  env_.SetSticky(false);
  env_.FailAt(FaultKind::kAlloc, 0);
  EXPECT_EQ(TL_readGroupMember(s_, &item), -1);
  EXPECT_EQ(ErrorOf(s_), (Pair{9, 10}));
  ASSERT_EQ(TL_readGroupData(s_, &g), 0);
  EXPECT_EQ(g.MemberCount, 1);
}

TEST_F(RecordFaultTest, WriteFailuresChangeNeitherSlotNorCount) {
  Open();
  TL_Kojin k = FullKojin();
  strcpy(k.Name, "second");
  unsigned short number = 0;
  env_.FailAt(FaultKind::kAlloc, 1);
  EXPECT_EQ(TL_writeKojin(s_, &k, &number, 0), -1);
  EXPECT_EQ(ErrorOf(s_), (Pair{30, 4}));
  EXPECT_EQ(number, 0);

  // A failed write or move of the records held back fails the add that needed the room; the
  // adds before it stay, readable, and are saved.
  int added = 1;
  for (FaultKind kind : {FaultKind::kWrite, FaultKind::kMove}) {
    SCOPED_TRACE(static_cast<int>(kind));
    env_.FailAt(kind, 1);
    int stored = 0;
    ASSERT_EQ(AddUntilOneFails(k, &stored, &number), -1);
    EXPECT_TRUE(env_.Fired());
    if (kind == FaultKind::kWrite) {
      EXPECT_GT(stored, 0) << "the first adds are held back, not written";
    } else {
      EXPECT_EQ(stored, 0) << "the full block is still waiting to go out";
    }
    EXPECT_EQ(ErrorOf(s_), (Pair{30, 30}));
    added += stored;
    EXPECT_EQ(number, added + 1) << "the chosen number comes back";
    EXPECT_EQ(PersonalCount(), added);
    TL_Kojin out;
    EXPECT_EQ(TL_readKojin(s_, &out, number), -1) << "its slot stays free";
    ASSERT_EQ(TL_readKojin(s_, &out, static_cast<uint16_t>(added)), 0);
    EXPECT_STREQ(out.Name, "second");
  }
  Reopen();
  EXPECT_EQ(PersonalCount(), added);
  TL_Kojin out;
  ASSERT_EQ(TL_readKojin(s_, &out, 1), 0);
  EXPECT_STREQ(out.Name, "Sato Hanako");
  for (int n = 2; n <= added; ++n) {
    ASSERT_EQ(TL_readKojin(s_, &out, static_cast<uint16_t>(n)), 0);
    EXPECT_STREQ(out.Name, "second");
  }
  EXPECT_EQ(TL_readKojin(s_, &out, static_cast<uint16_t>(added + 1)), -1);

  // Groups of 9999 members hold 20 000 bytes: the second needs the first written out.
  TL_Group g{};
  std::vector<unsigned short> members(9999, 1);
  number = 0;
  env_.FailAt(FaultKind::kAlloc, 1);
  EXPECT_EQ(TL_writeGroup(s_, &g, &number, 0, nullptr), -1);
  EXPECT_EQ(ErrorOf(s_), (Pair{31, 4}));
  ASSERT_EQ(TL_writeGroup(s_, &g, &number, 9999, members.data()), 0);
  env_.FailAt(FaultKind::kWrite, 1);
  number = 0;
  EXPECT_EQ(TL_writeGroup(s_, &g, &number, 9999, members.data()), -1);
  EXPECT_EQ(ErrorOf(s_), (Pair{31, 30}));
  EXPECT_EQ(number, 16386);
  unsigned short personal = 0, groups = 0;
  TL_readDataCount(s_, &personal, &groups);
  EXPECT_EQ(groups, 1);
  EXPECT_EQ(TL_openGroup(s_, 16386), -1);
  EXPECT_EQ(ErrorOf(s_), (Pair{11, 4}));
  ASSERT_EQ(TL_openGroup(s_, 16385), 0);
  ASSERT_EQ(TL_readGroupData(s_, &g), 0);
  EXPECT_EQ(g.MemberCount, 9999);
}

TEST_F(RecordFaultTest, AFailedAppendLeavesItsNumberTheLowestFree) {
  Open();
  TL_Kojin k = FullKojin();
  unsigned short number = 0;
  int stored = 0;
  env_.FailAt(FaultKind::kWrite, 1);
  ASSERT_EQ(AddUntilOneFails(k, &stored, &number), -1);
  const unsigned short failed = number;
  EXPECT_EQ(failed, stored + 2);
  number = 0;
  ASSERT_EQ(TL_writeKojin(s_, &k, &number, 0), 0);
  EXPECT_EQ(number, failed);
  number = 0;
  ASSERT_EQ(TL_writeKojin(s_, &k, &number, 0), 0);
  EXPECT_EQ(number, failed + 1);

  TL_Group g{};
  std::vector<unsigned short> members(9999, 1);
  number = 0;
  ASSERT_EQ(TL_writeGroup(s_, &g, &number, 9999, members.data()), 0);
  env_.FailAt(FaultKind::kWrite, 1);
  number = 0;
  EXPECT_EQ(TL_writeGroup(s_, &g, &number, 9999, members.data()), -1);
  EXPECT_EQ(number, 16386);
  number = 0;
  ASSERT_EQ(TL_writeGroup(s_, &g, &number, 0, nullptr), 0);
  EXPECT_EQ(number, 16386);
}

TEST_F(RecordFaultTest, FailedSwitchWritesNothing) {
  ASSERT_EQ(TL_createDataBase(s_, path_.c_str()), 0);
  TL_Kojin k = FullKojin();
  unsigned short number = 0;
  env_.FailAt(FaultKind::kCopy, 1);
  EXPECT_EQ(TL_writeKojin(s_, &k, &number, 0), -1);
  EXPECT_EQ(ErrorOf(s_), (Pair{25, 16}));
  EXPECT_EQ(number, 0);
  TL_Group g{};
  env_.FailAt(FaultKind::kCopy, 1);
  EXPECT_EQ(TL_writeGroup(s_, &g, &number, 0, nullptr), -1);
  EXPECT_EQ(ErrorOf(s_), (Pair{25, 16}));
  unsigned short personal = 9, groups = 9;
  TL_readDataCount(s_, &personal, &groups);
  EXPECT_EQ(personal + groups, 0);
}

}  // namespace
}  // namespace test
}  // namespace telbook
