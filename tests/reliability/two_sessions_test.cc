// Two sessions on one phone book in one process. Each works on its own working copy; the first
// to save wins, and a save of a book another session changed meanwhile is refused, its changes
// kept for the host to drop or make again. A session that only reads stands in no save's way.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "interface/session.h"
#include "interface/telbook.h"
#include "test_util.h"

namespace telbook {
namespace test {
namespace {

TL_Kojin Entry(const char* name) { return Kojin(name, "\x82\xA0", "03-0000-0000"); }

std::string NameOf(TL_FaxUtl* s, unsigned short number) {
  TL_Kojin e;
  if (TL_readKojin(s, &e, number) != 0) return "<unreadable>";
  return e.Name;
}

unsigned short Add(TL_FaxUtl* s, const char* name) {
  TL_Kojin e = Entry(name);
  unsigned short number = 0;
  EXPECT_EQ(TL_writeKojin(s, &e, &number, 0), 0);
  return number;
}

class TwoSessionsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SessionHolder s;
    ASSERT_EQ(TL_createDataBase(s, Book().c_str()), 0);
    Add(s, "shared");
    ASSERT_EQ(TL_closeDataBase(s, 0), 0);
  }
  std::string Book() const { return dir_.File("book.tel"); }

  ScratchDir dir_;
};

TEST_F(TwoSessionsTest, TheFirstSaveWinsAndTheOtherIsRefusedWithItsChangeKept) {
  for (bool a_first : {true, false}) {
    SCOPED_TRACE(a_first ? "a saves first" : "b saves first");
    SetUp();
    SessionHolder a, b;
    ASSERT_EQ(TL_openDataBase(a, Book().c_str()), 0);
    ASSERT_EQ(TL_openDataBase(b, Book().c_str()), 0);
    unsigned short number_a = Add(a, "from a");
    unsigned short number_b = Add(b, "from b");
    // Neither sees the other's change: each has its own working copy.
    EXPECT_EQ(number_a, number_b);
    EXPECT_EQ(NameOf(a, number_a), "from a");
    EXPECT_EQ(NameOf(b, number_b), "from b");

    TL_FaxUtl* winner = a_first ? a.get() : b.get();
    TL_FaxUtl* loser = a_first ? b.get() : a.get();
    const std::string lost = a_first ? "from b" : "from a";
    ASSERT_EQ(TL_closeDataBase(winner, 0), 0);
    Bytes saved = ReadFileOrDie(Book());
    // However often the loser tries, the book stays as the winner left it.
    for (int retry = 0; retry < 3; ++retry) {
      EXPECT_EQ(TL_closeDataBase(loser, 0), -1);
      EXPECT_EQ(ErrorOf(loser), (Pair{40, 33}));
      EXPECT_EQ(NameOf(loser, number_a), lost) << "the refused change is still there";
      EXPECT_EQ(FromHandle(loser)->working_copy.modified(), 1);
      EXPECT_EQ(ReadFileOrDie(Book()), saved);
    }
    ASSERT_EQ(TL_closeDataBase(loser, 1), 0);
    EXPECT_EQ(ReadFileOrDie(Book()), saved);

    SessionHolder reader;
    ASSERT_EQ(TL_openDataBase(reader, Book().c_str()), 0);
    EXPECT_EQ(NameOf(reader, 1), "shared");
    EXPECT_EQ(NameOf(reader, number_a), a_first ? "from a" : "from b");
    EXPECT_EQ(TL_closeDataBase(reader, 1), 0);
    EXPECT_EQ(dir_.List(), std::vector<std::string>{"book.tel"});
  }
}

// The fax dialog holds the book open all day without changing it: the editor's save goes through,
// on Windows by writing into the file the dialog holds.
TEST_F(TwoSessionsTest, ASaveGoesThroughWhileAnotherSessionHoldsTheBookUnchanged) {
  SessionHolder writer, reader;
  ASSERT_EQ(TL_openDataBase(reader, Book().c_str()), 0);
  ASSERT_EQ(TL_openDataBase(writer, Book().c_str()), 0);
  unsigned short number = Add(writer, "added");
  ASSERT_EQ(TL_closeDataBase(writer, 0), 0);
  // Records keep their places in a saved book, so the reader still reads the first entry
  // whether it reads the file it opened (POSIX) or the bytes written into it (Windows).
  EXPECT_EQ(NameOf(reader, 1), "shared");
  EXPECT_EQ(TL_closeDataBase(reader, 1), 0);
  SessionHolder again;
  ASSERT_EQ(TL_openDataBase(again, Book().c_str()), 0);
  EXPECT_EQ(NameOf(again, number), "added");
  EXPECT_EQ(TL_closeDataBase(again, 1), 0);
  EXPECT_EQ(dir_.List(), std::vector<std::string>{"book.tel"});
}

// A session that opened to change holds the writers' lock until it closes: another session's
// save waits for it, then gives up with (40, 24) and keeps its changes; once the lock is gone,
// that save goes through, since the holder saved nothing.
TEST_F(TwoSessionsTest, AHeldWritersLockMakesAnotherSaveWaitAndGiveUp) {
  SessionHolder holder, other;
  ASSERT_EQ(FromHandle(holder)->OpenToChange(Book().c_str(), 0), 0);
  ASSERT_EQ(TL_openDataBase(other, Book().c_str()), 0);
  unsigned short number = Add(other, "waiting");
  FromHandle(other)->closer.set_lock_wait(30);
  EXPECT_EQ(TL_closeDataBase(other, 0), -1);
  EXPECT_EQ(ErrorOf(other), (Pair{40, 24}));
  EXPECT_EQ(NameOf(other, number), "waiting");
  // A second holder gives up as well, with the pair of the open.
  SessionHolder second;
  EXPECT_EQ(FromHandle(second)->OpenToChange(Book().c_str(), 30), -1);
  EXPECT_EQ(ErrorOf(second), (Pair{25, 24}));
  EXPECT_EQ(TL_closeDataBase(second, 1), -1) << "nothing was opened";

  ASSERT_EQ(TL_closeDataBase(holder, 1), 0);
  ASSERT_EQ(TL_closeDataBase(other, 0), 0);
  SessionHolder again;
  ASSERT_EQ(TL_openDataBase(again, Book().c_str()), 0);
  EXPECT_EQ(NameOf(again, number), "waiting");
  EXPECT_EQ(TL_closeDataBase(again, 1), 0);
}

}  // namespace
}  // namespace test
}  // namespace telbook
