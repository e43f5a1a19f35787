// Failures of memory and file operations at create, open, close and the switch to the working
// copy, reached through the fault-injecting Env.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "interface/session.h"
#include "interface/telbook.h"
#include "platform/fault_env.h"
#include "test_util.h"

namespace telbook {
namespace test {
namespace {

class FaultTest : public ::testing::Test {
 protected:
  FaultTest() : fault_(Env::Default()), scoped_(&fault_) {}

  std::string Book() const { return dir_.File("book.tel"); }
  void WriteEmptyBook() { WriteFile(Book(), EmptyBook()); }

  ScratchDir dir_;
  FaultEnv fault_;
  ScopedSessionEnv scoped_;
};

TEST_F(FaultTest, SessionWithoutMemoryIsNull) {
  fault_.FailAt(FaultKind::kAlloc, 1);
  EXPECT_EQ(TL_CreateFaxUtl(), nullptr);
  EXPECT_TRUE(fault_.Fired());
}

TEST_F(FaultTest, EachBufferAllocationAtCreateAndOpen) {
  WriteEmptyBook();
  SessionHolder s;
  for (int nth = 1; nth <= 4; ++nth) {
    fault_.FailAt(FaultKind::kAlloc, nth);
    EXPECT_EQ(TL_openDataBase(s, Book().c_str()), -1) << nth;
    EXPECT_EQ(ErrorOf(s), (Pair{24, 4})) << nth;
    EXPECT_EQ(TL_getFileVersion(s), 0);
    fault_.FailAt(FaultKind::kAlloc, nth);
    EXPECT_EQ(TL_createDataBase(s, dir_.File("new.tel").c_str()), -1) << nth;
    EXPECT_EQ(ErrorOf(s), (Pair{24, 4})) << nth;
  }
  fault_.Reset();
  EXPECT_FALSE(FileExists(dir_.File("new.tel")));
  EXPECT_EQ(TL_openDataBase(s, Book().c_str()), 0);
  EXPECT_EQ(TL_closeDataBase(s, 0), 0);
}

TEST_F(FaultTest, EachHeaderReadAtOpenKeepsTheReadPair) {
  WriteEmptyBook();
  SessionHolder s;
  // Four reads of the fixed part's first half, the probe, and the two high halves.
  for (int nth = 1; nth <= 7; ++nth) {
    fault_.FailAt(FaultKind::kRead, nth);
    short status = TL_openDataBase(s, Book().c_str());
    if (nth == 5) {
      // A failed probe reads the file as version 1 and goes on.
      EXPECT_EQ(status, 0);
      EXPECT_EQ(TL_getFileVersion(s), 1);
      EXPECT_EQ(TL_closeDataBase(s, 0), 0);
    } else {
      EXPECT_EQ(status, -1) << nth;
      EXPECT_EQ(TL_getFileVersion(s), 0);
    }
    EXPECT_EQ(ErrorOf(s), (Pair{14, 15})) << nth;
  }
  fault_.FailAt(FaultKind::kMove, 2);
  EXPECT_EQ(TL_openDataBase(s, Book().c_str()), -1);
  EXPECT_EQ(ErrorOf(s), (Pair{17, 19}));
  fault_.Reset();
  EXPECT_EQ(TL_openDataBase(s, Book().c_str()), 0);
  EXPECT_EQ(TL_getFileVersion(s), 2);
}

TEST_F(FaultTest, FailedOpenOfTheFileRecords25And16) {
  WriteEmptyBook();
  SessionHolder s;
  fault_.FailAt(FaultKind::kOpen, 1);
  EXPECT_EQ(TL_openDataBase(s, Book().c_str()), -1);
  EXPECT_EQ(ErrorOf(s), (Pair{25, 16}));
}

TEST_F(FaultTest, CreateThatCannotLayOutTheFileFails) {
  SessionHolder s;
  fault_.FailAt(FaultKind::kOpen, 1);  // the create-mode open
  EXPECT_EQ(TL_createDataBase(s, Book().c_str()), -1);
  EXPECT_EQ(ErrorOf(s), (Pair{25, 16}));
  EXPECT_FALSE(FileExists(Book()));
  for (int nth = 1; nth <= 6; ++nth) {
    fault_.FailAt(FaultKind::kWrite, nth);
    EXPECT_EQ(TL_createDataBase(s, Book().c_str()), -1) << nth;
    EXPECT_EQ(ErrorOf(s), (Pair{25, 16}));
    EXPECT_EQ(TL_closeDataBase(s, 0), -1) << "nothing may stay open";
  }
  fault_.FailAt(FaultKind::kOpen, 2);  // the read-mode open after the layout
  EXPECT_EQ(TL_createDataBase(s, Book().c_str()), -1);
  EXPECT_EQ(ErrorOf(s), (Pair{25, 16}));
  fault_.Reset();
  EXPECT_EQ(TL_createDataBase(s, Book().c_str()), 0);
}

// The switch to the working copy is reached directly: the writers that call it live elsewhere.
class SwitchTest : public FaultTest {
 protected:
  short Switch(TL_FaxUtl* s) { return FromHandle(s)->working_copy.Switch(); }
  uint16_t Modified(TL_FaxUtl* s) { return FromHandle(s)->working_copy.modified(); }
  std::vector<std::string> OnlyBook() const { return {"book.tel"}; }
};

TEST_F(SwitchTest, WorkingCopyIsMadeAndDroppedAtDiscardingClose) {
  WriteEmptyBook();
  SessionHolder s;
  ASSERT_EQ(TL_openDataBase(s, Book().c_str()), 0);
  ASSERT_EQ(Switch(s), 0);
  EXPECT_EQ(Modified(s), 1);
  std::vector<std::string> files = dir_.List();
  ASSERT_EQ(files.size(), 2u);
  std::string copy = files[0] == "book.tel" ? files[1] : files[0];
  EXPECT_EQ(copy.rfind("tel", 0), 0u) << copy;
  EXPECT_EQ(ReadFileOrDie(dir_.File(copy)), EmptyBook());
  EXPECT_EQ(TL_closeDataBase(s, 1), 0);
  EXPECT_EQ(dir_.List(), OnlyBook());
  EXPECT_EQ(ReadFileOrDie(Book()), EmptyBook());
}

TEST_F(SwitchTest, EachFailureLeavesTheSessionOpenOnThePhoneBook) {
  Bytes book = EmptyBook();
  PutU16(&book, 8, 4);
  WriteFile(Book(), book);
  SessionHolder s;
  ASSERT_EQ(TL_openDataBase(s, Book().c_str()), 0);

  struct Case {
    FaultKind kind;
    int nth;
    Pair pair;
  };
  const Case cases[] = {
      {FaultKind::kTempName, 1, {25, 16}}, {FaultKind::kTempName, 2, {25, 16}},
      {FaultKind::kCopy, 1, {25, 16}},     {FaultKind::kOpen, 1, {25, 16}},
      {FaultKind::kRead, 1, {14, 15}},     {FaultKind::kRead, 7, {14, 15}},
      {FaultKind::kMove, 1, {17, 19}},
  };
  for (const Case& c : cases) {
    fault_.FailAt(c.kind, c.nth);
    EXPECT_EQ(Switch(s), -1);
    EXPECT_TRUE(fault_.Fired());
    EXPECT_EQ(ErrorOf(s), c.pair);
    EXPECT_EQ(Modified(s), 0);
    EXPECT_EQ(dir_.List(), OnlyBook()) << "no working copy may be left";
    unsigned short personal = 0, groups = 0;
    EXPECT_EQ(TL_readDataCount(s, &personal, &groups), 0);
    EXPECT_EQ(personal, 4);
    EXPECT_EQ(TL_getFileVersion(s), 2);
  }
  fault_.Reset();
  ASSERT_EQ(Switch(s), 0);
  EXPECT_EQ(Modified(s), 1);
  EXPECT_EQ(TL_closeDataBase(s, 1), 0);
  EXPECT_EQ(ReadFileOrDie(Book()), book);
  EXPECT_EQ(dir_.List(), OnlyBook());
}

TEST_F(SwitchTest, WorkingCopyIsOpenForUpdate) {
  WriteEmptyBook();
  SessionHolder s;
  ASSERT_EQ(TL_openDataBase(s, Book().c_str()), 0);
  ASSERT_EQ(Switch(s), 0);
  FileStore& store = FromHandle(s)->store;
  uint8_t byte = 0x5A;
  uint32_t count = 0;
  EXPECT_TRUE(store.env()->Seek(store.handle, 0, SeekMode::kEnd, &count));
  EXPECT_TRUE(store.env()->Write(store.handle, &byte, 1, &count));
  EXPECT_EQ(TL_closeDataBase(s, 1), 0);
}

}  // namespace
}  // namespace test
}  // namespace telbook
