// The failure sweep: every operation that touches memory or files is run once per failure point,
// failing its 1st, 2nd, ... allocation, then its 1st, 2nd, ... file operation of each kind, until
// it completes without reaching the failure. At every point the session must fail cleanly, keep
// the phone book byte for byte unless a save completed, leave no stray file, and go on working.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "interface/session.h"
#include "interface/telbook.h"
#include "platform/fault_env.h"
#include "settings/registry_sandbox.h"
#include "test_util.h"

namespace telbook {
namespace test {
namespace {

TL_Kojin MakeEntry(const char* name, const char* furigana) {
  TL_Kojin k = Kojin(name, furigana, "03-5555-0101");
  strcpy(k.SpeedDial, "7");
  strcpy(k.FCode, "0042");
  k.Favourite = 2;
  return k;
}

TL_Group MakeGroup(const char* name) {
  TL_Group g;
  memset(&g, 0, sizeof g);
  strcpy(g.Name, name);
  strcpy(g.Furigana, "\x82\xA9");  // ka
  g.Favourite = 1;
  return g;
}

// The state an operation starts from, built with no fault armed: kChangedHolding is changed
// after an open that holds the writers' lock.
enum class Start { kClosed, kOpen, kChanged, kChangedHolding };

struct Operation {
  const char* name;
  Start start;
  std::function<short(TL_FaxUtl*, const ScratchDir&)> run;
  std::set<unsigned short> categories;  // the categories the operation may record
  bool saves = false;                   // a success replaces the phone book
  bool status_is_flag = false;          // registry functions: any result, no pair promised
  std::vector<std::string> outputs;     // files the operation may leave besides the book
  std::string hard_link;                // a second link of the book made before the start
  // Checks, after a failure, that the open book reads as it did before the call.
  std::function<void(TL_FaxUtl*, const std::string&)> unchanged;
};

constexpr const char* kBook = "book.tel";
constexpr const char* kLink = "link.tel";

// Categories a write may record: its own, the switch to the working copy, and the file layer
// and record reads beneath them.
const std::set<unsigned short> kWriteCategories = {4, 12, 13, 14, 15, 17, 19, 24, 25};

Operation Op(const char* name, Start start, std::function<short(TL_FaxUtl*, const ScratchDir&)> run,
             std::set<unsigned short> categories) {
  Operation op;
  op.name = name;
  op.start = start;
  op.run = std::move(run);
  op.categories = std::move(categories);
  return op;
}

// The members of a group as its reader hands them out; empty when it cannot be opened.
std::vector<unsigned short> GroupMembers(TL_FaxUtl* s, unsigned short group) {
  std::vector<unsigned short> members;
  if (TL_openGroup(s, group) != 0) return members;
  TL_ListItem item;
  while (TL_readGroupMember(s, &item) == 0) members.push_back(item.RecordNumber);
  TL_closeGroup(s);
  return members;
}

std::vector<Operation> Operations() {
  auto with = [](std::set<unsigned short> base, std::initializer_list<unsigned short> more) {
    base.insert(more);
    return base;
  };
  std::vector<Operation> ops;
  ops.push_back(Op("create", Start::kClosed,
                   [](TL_FaxUtl* s, const ScratchDir& d) {
                     return TL_createDataBase(s, d.File("new.tel").c_str());
                   },
                   {4, 12, 13, 14, 15, 17, 24, 25}));
  ops.back().outputs = {"new.tel"};
  ops.push_back(Op(
      "open", Start::kClosed,
      [](TL_FaxUtl* s, const ScratchDir& d) { return TL_openDataBase(s, d.File(kBook).c_str()); },
      {4, 12, 14, 15, 17, 24, 25}));
  ops.push_back(Op(
      "writeKojin", Start::kOpen,
      [](TL_FaxUtl* s, const ScratchDir&) {
        TL_Kojin k = MakeEntry("new entry", "\x82\xB3");
        unsigned short number = 0;
        return TL_writeKojin(s, &k, &number, 0);
      },
      with(kWriteCategories, {30})));
  ops.push_back(Op(
      "writeKojin again", Start::kChanged,
      [](TL_FaxUtl* s, const ScratchDir&) {
        TL_Kojin k = MakeEntry("changed entry", "\x82\xC8");
        unsigned short number = 1;
        return TL_writeKojin(s, &k, &number, 0);
      },
      with(kWriteCategories, {30})));
  ops.push_back(Op(
      "writeGroup", Start::kOpen,
      [](TL_FaxUtl* s, const ScratchDir&) {
        TL_Group g = MakeGroup("new group");
        unsigned short members[] = {1, 2, 3};
        unsigned short number = 0;
        return TL_writeGroup(s, &g, &number, 3, members);
      },
      with(kWriteCategories, {31})));
  // The template's entry 1 is in both groups: a failure must leave both groups, the entry and
  // the counts as they were.
  ops.push_back(Op(
      "deleteKojin", Start::kOpen,
      [](TL_FaxUtl* s, const ScratchDir&) { return TL_deleteKojin(s, 1); },
      with(kWriteCategories, {32})));
  ops.back().unchanged = [](TL_FaxUtl* s, const std::string& where) {
    TL_Kojin k;
    EXPECT_EQ(TL_readKojin(s, &k, 1), 0) << where;
    const std::vector<unsigned short> members[] = {{1, 2}, {3, 1}};
    for (unsigned short g = 0; g < 2; ++g) {
      EXPECT_EQ(GroupMembers(s, static_cast<unsigned short>(16385 + g)), members[g]) << where;
    }
    unsigned short personal = 0, groups = 0;
    TL_readDataCount(s, &personal, &groups);
    EXPECT_EQ(personal, 3) << where;
  };
  ops.push_back(Op(
      "deleteGroup", Start::kOpen,
      [](TL_FaxUtl* s, const ScratchDir&) { return TL_deleteGroup(s, 16386); },
      with(kWriteCategories, {33})));
  ops.back().unchanged = [](TL_FaxUtl* s, const std::string& where) {
    EXPECT_EQ(GroupMembers(s, 16386), (std::vector<unsigned short>{3, 1})) << where;
  };
  ops.push_back(Op(
      "writeOkonomi", Start::kOpen,
      [](TL_FaxUtl* s, const ScratchDir&) {
        char names[80] = "Clients";
        return TL_writeOkonomi(s, 1, names);
      },
      with(kWriteCategories, {23})));
  ops.push_back(Op("saving close", Start::kChanged,
                   [](TL_FaxUtl* s, const ScratchDir&) { return TL_closeDataBase(s, 0); }, {40}));
  ops.back().saves = true;
  ops.push_back(Op("saving close holding the lock", Start::kChangedHolding,
                   [](TL_FaxUtl* s, const ScratchDir&) { return TL_closeDataBase(s, 0); }, {40}));
  ops.back().saves = true;
  // Written into, where the book keeps its links.
  ops.push_back(Op("saving close of a hard-linked book", Start::kChanged,
                   [](TL_FaxUtl* s, const ScratchDir&) { return TL_closeDataBase(s, 0); }, {40}));
  ops.back().saves = true;
  ops.back().hard_link = kLink;
  ops.back().outputs = {kLink};
  ops.push_back(Op("open to change", Start::kClosed,
                   [](TL_FaxUtl* s, const ScratchDir& d) {
                     return FromHandle(s)->OpenToChange(d.File(kBook).c_str(), 0);
                   },
                   {4, 12, 14, 15, 17, 24, 25}));
  ops.push_back(Op("discarding close", Start::kChanged,
                   [](TL_FaxUtl* s, const ScratchDir&) { return TL_closeDataBase(s, 1); },
                   {12, 40}));
  for (int format : {0, 1}) {
    ops.push_back(Op(format == 1 ? "subset export" : "text export", Start::kChanged,
                     [format](TL_FaxUtl* s, const ScratchDir& d) {
                       unsigned short personal[] = {1, 3};
                       unsigned short groups[] = {16385};
                       short flag = 0;
                       return TL_writeSrchData(s, personal, 2, groups, 1, format,
                                               d.File("out.dat").c_str(), &flag);
                     },
                     {4, 11, 12, 13, 14, 15, 17, 19, 24, 31, 40}));
    ops.back().outputs = {"out.dat"};
  }
  // An export onto a file of two links is written into it.
  ops.push_back(Op("subset export onto a hard-linked file", Start::kOpen,
                   [](TL_FaxUtl* s, const ScratchDir& d) {
                     unsigned short personal[] = {2};
                     short flag = 0;
                     return TL_writeSrchData(s, personal, 1, nullptr, 0, 1, d.File(kLink).c_str(),
                                             &flag);
                   },
                   {4, 12, 13, 14, 15, 17, 19, 24, 40}));
  ops.back().outputs = {kLink, "other.tel"};
  ops.back().hard_link = "other.tel";
  ops.push_back(Op("ReadFaxFileInfo", Start::kClosed,
                   [](TL_FaxUtl* s, const ScratchDir&) {
                     return static_cast<short>(TL_ReadFaxFileInfo(s, "KeyWord"));
                   },
                   {}));
  ops.push_back(Op("WriteFaxFileInfo", Start::kClosed,
                   [](TL_FaxUtl* s, const ScratchDir&) {
                     return static_cast<short>(TL_WriteFaxFileInfo(s, nullptr));
                   },
                   {}));
  ops.push_back(Op("WriteKeyWordInfo", Start::kClosed,
                   [](TL_FaxUtl* s, const ScratchDir&) {
                     return static_cast<short>(TL_WriteKeyWordInfo(s, "KeyWord"));
                   },
                   {}));
  for (size_t i = ops.size() - 3; i < ops.size(); ++i) ops[i].status_is_flag = true;
  return ops;
}

const FaultKind kKinds[] = {FaultKind::kAlloc,   FaultKind::kOpen,     FaultKind::kMove,
                            FaultKind::kRead,    FaultKind::kWrite,    FaultKind::kSync,
                            FaultKind::kClose,   FaultKind::kCopy,     FaultKind::kDelete,
                            FaultKind::kReplace, FaultKind::kTempName, FaultKind::kRegistry,
                            FaultKind::kInspect, FaultKind::kLock,     FaultKind::kAttributes};

const char* KindName(FaultKind kind) {
  static const char* const names[] = {"alloc",     "open",     "move",    "read",   "write",
                                      "sync",      "close",    "copy",    "delete", "replace",
                                      "temp name", "registry", "inspect", "lock",   "attributes"};
  static_assert(sizeof(names) / sizeof(names[0]) == static_cast<int>(FaultKind::kCount),
                "a name for every kind");
  return names[static_cast<int>(kind)];
}

// A phone book of three entries and two groups, made through the interface with no fault armed.
Bytes TemplateBook() {
  ScratchDir dir;
  SessionHolder s;
  std::string path = dir.File(kBook);
  EXPECT_EQ(TL_createDataBase(s, path.c_str()), 0);
  const char* readings[] = {"\x82\xA0", "\x83\x4A", "abc"};
  for (int i = 0; i < 3; ++i) {
    TL_Kojin k = MakeEntry("entry", readings[i]);
    unsigned short number = 0;
    EXPECT_EQ(TL_writeKojin(s, &k, &number, 0), 0);
  }
  TL_Group g = MakeGroup("group");
  const unsigned short members[2][2] = {{1, 2}, {3, 1}};
  for (const unsigned short* list : members) {
    unsigned short number = 0;
    EXPECT_EQ(TL_writeGroup(s, &g, &number, 2, list), 0);
  }
  EXPECT_EQ(TL_closeDataBase(s, 0), 0);
  return ReadFileOrDie(path);
}

class SweepTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { template_ = new Bytes(TemplateBook()); }
  static void TearDownTestSuite() {
    delete template_;
    template_ = nullptr;
  }
  static Bytes* template_;
};
Bytes* SweepTest::template_ = nullptr;

// Brings a fresh session to the operation's starting state; false if that failed.
bool Prepare(TL_FaxUtl* s, const ScratchDir& dir, Start start) {
  if (start == Start::kClosed) return true;
  short opened = start == Start::kChangedHolding
                     ? FromHandle(s)->OpenToChange(dir.File(kBook).c_str(), 0)
                     : TL_openDataBase(s, dir.File(kBook).c_str());
  if (opened != 0) return false;
  if (start == Start::kOpen) return true;
  TL_Kojin k = MakeEntry("first change", "\x82\xCD");
  unsigned short number = 0;
  return TL_writeKojin(s, &k, &number, 0) == 0;
}

// With the faults stopped, the session reads, writes and saves, and the saved book opens.
void GoesOnWorking(TL_FaxUtl* s, const ScratchDir& dir, const std::string& where) {
  SCOPED_TRACE(where);
  Session* session = FromHandle(s);
  if (session->store.is_open() && dir.File(kBook) != session->store.path) {
    ASSERT_EQ(TL_closeDataBase(s, 1), 0);
  }
  if (!session->store.is_open()) {
    ASSERT_EQ(TL_openDataBase(s, dir.File(kBook).c_str()), 0);
  }
  TL_Kojin read;
  EXPECT_EQ(TL_readKojin(s, &read, 2), 0);
  TL_Kojin k = MakeEntry("after", "\x82\xDC");
  unsigned short number = 0;
  ASSERT_EQ(TL_writeKojin(s, &k, &number, 0), 0);
  ASSERT_EQ(TL_closeDataBase(s, 0), 0);
  SessionHolder again;
  ASSERT_EQ(TL_openDataBase(again, dir.File(kBook).c_str()), 0);
  EXPECT_EQ(TL_readKojin(again, &read, number), 0);
  EXPECT_STREQ(read.Name, "after");
  EXPECT_EQ(TL_closeDataBase(again, 1), 0);
}

TEST_F(SweepTest, EveryFailurePointIsSurvived) {
  int operations = 0;
  int points = 0;
  for (const Operation& op : Operations()) {
    ++operations;
    for (FaultKind kind : kKinds) {
      for (int nth = 1;; ++nth) {
        std::string where =
            std::string(op.name) + ", " + KindName(kind) + " #" + std::to_string(nth);
        RegistrySandbox registry;
        ScratchDir dir;
        WriteFile(dir.File(kBook), *template_);
        if (!op.hard_link.empty()) {
          ASSERT_TRUE(MakeHardLink(dir.File(kBook), dir.File(op.hard_link))) << where;
        }
        FaultEnv fault(Env::Default());
        ScopedSessionEnv scoped(&fault);
        SessionHolder s;
        ASSERT_NE(s.get(), nullptr);
        if (op.status_is_flag) {
          ASSERT_EQ(TL_WriteFaxFileInfo(s, nullptr), 1) << where;
        }
        ASSERT_TRUE(Prepare(s, dir, op.start)) << where;
        TL_getErrorInfo(s, nullptr, nullptr);
        Pair before = ErrorOf(s);

        fault.FailAt(kind, nth);
        short status = op.run(s, dir);
        bool fired = fault.Fired();
        fault.Reset();
        ++points;

        Pair pair = ErrorOf(s);
        if (!op.status_is_flag) {
          if (!fired) {
            EXPECT_EQ(status, 0) << where;
          } else if (status != 0) {
            EXPECT_TRUE(status == -1 || status == -2 || status == -5 || status == -6 || status == 5)
                << where << ": status " << status;
            if (!(pair == before)) {
              EXPECT_TRUE(op.categories.count(pair.category) == 1) << where << ": pair " << pair;
            }
            if (op.unchanged) op.unchanged(s, where);
          }
        }
        bool saved = op.saves && status == 0;
        // A write into the book that failed part-way is reported as such; the bytes then in
        // the book are the fault's to decide, and the save again below must mend them.
        bool torn = op.saves && status != 0 && pair == Pair{40, 14};
        if (!saved && !torn) {
          EXPECT_TRUE(ReadFileOrDie(dir.File(kBook)) == *template_)
              << where << ": the phone book changed";
        }
        // Only the book, the operation's own outputs and a changed session's working copy.
        const std::vector<std::string> own = BookAndWorkingCopy(dir, kBook, s);
        std::vector<std::string> stray;
        for (const std::string& name : dir.List()) {
          bool output = std::find(own.begin(), own.end(), name) != own.end();
          for (const std::string& o : op.outputs) output = output || o == name;
          if (!output) stray.push_back(name);
        }
        EXPECT_TRUE(stray.empty()) << where << ": stray file " << stray.front();

        GoesOnWorking(s, dir, where);
        if (::testing::Test::HasFailure()) return;
        if (!fired) break;
      }
    }
  }
  printf("failure sweep: %d operations, %d failure points\n", operations, points);
}

}  // namespace
}  // namespace test
}  // namespace telbook
