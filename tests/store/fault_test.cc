// Failures of memory and file operations at create, open, close and the switch to the working
// copy, reached through the fault-injecting Env.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
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

// The working copy is made from the file the open read, whatever is at the path since, and has
// no name where the system allows; a named one goes with the discarding close.
TEST_F(SwitchTest, WorkingCopyIsMadeFromTheFileOpenedAndGoesAtDiscardingClose) {
  WriteEmptyBook();
  SessionHolder s;
  ASSERT_EQ(TL_openDataBase(s, Book().c_str()), 0);
  WriteFile(dir_.File("other.tel"), Bytes{1, 2, 3});
  std::error_code error;
  std::filesystem::rename(dir_.File("other.tel"), Book(), error);
  // Windows replaces no file that a handle holds open: there the book stays as it was.
  const bool replaced = !error;
#if !defined(_WIN32)
  ASSERT_TRUE(replaced) << error.message();
#endif
  if (!replaced) std::remove(dir_.File("other.tel").c_str());
  ASSERT_EQ(Switch(s), 0);
  EXPECT_EQ(Modified(s), 1);
  FileStore& store = FromHandle(s)->store;
  Bytes copy(EmptyBook().size() + 1);
  uint32_t count = 0;
  ASSERT_TRUE(store.env()->Seek(store.handle, 0, SeekMode::kBegin, &count));
  ASSERT_TRUE(
      store.env()->Read(store.handle, copy.data(), static_cast<uint32_t>(copy.size()), &count));
  copy.resize(count);
  EXPECT_EQ(copy, EmptyBook());
  EXPECT_EQ(dir_.List(), BookAndWorkingCopy(dir_, "book.tel", s));
  EXPECT_LE(dir_.List().size(), 2u);
  EXPECT_EQ(TL_closeDataBase(s, 1), 0);
  EXPECT_EQ(dir_.List(), OnlyBook());
  EXPECT_EQ(ReadFileOrDie(Book()), replaced ? (Bytes{1, 2, 3}) : EmptyBook());
}

TEST_F(SwitchTest, EachFailureLeavesTheSessionOpenOnThePhoneBook) {
  Bytes book = EmptyBook();
  SetPersonalSlot(&book, 4, 1, 0x0B, 10, static_cast<uint32_t>(book.size()));
  book.resize(book.size() + 10, 1);
  WriteFile(Book(), book);
  SessionHolder s;
  ASSERT_EQ(TL_openDataBase(s, Book().c_str()), 0);

  struct Case {
    FaultKind kind;
    int nth;
    FileError cause;
    Pair pair;
  };
  // The temporary directory's name, the working copy's creation, the copy, the reads.
  const Case cases[] = {
      {FaultKind::kTempName, 1, FileError::kOther, {25, 36}},
      {FaultKind::kTempName, 2, FileError::kNotFound, {25, 36}},
      {FaultKind::kTempName, 2, FileError::kNotADirectory, {25, 36}},
      {FaultKind::kTempName, 2, FileError::kAccessDenied, {25, 35}},
      {FaultKind::kTempName, 2, FileError::kNoSpace, {25, 14}},
      {FaultKind::kTempName, 2, FileError::kOther, {25, 17}},
      {FaultKind::kCopy, 1, FileError::kOther, {25, 16}},
      {FaultKind::kCopy, 1, FileError::kNoSpace, {25, 14}},
      {FaultKind::kRead, 1, FileError::kOther, {14, 15}},
      {FaultKind::kRead, 7, FileError::kOther, {14, 15}},
      {FaultKind::kMove, 1, FileError::kOther, {17, 19}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.kind) * 100 + c.nth);
    fault_.FailAt(c.kind, c.nth);
    fault_.SetFaultError(c.cause);
    EXPECT_EQ(Switch(s), -1);
    EXPECT_TRUE(fault_.Fired());
    EXPECT_EQ(ErrorOf(s), c.pair);
    EXPECT_EQ(Modified(s), 0);
    EXPECT_EQ(dir_.List(), OnlyBook()) << "no working copy may be left";
    unsigned short personal = 0, groups = 0;
    EXPECT_EQ(TL_readDataCount(s, &personal, &groups), 0);
    EXPECT_EQ(personal, 1);
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
