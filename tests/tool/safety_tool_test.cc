// The tool between writers: parallel changes lose nothing, a held book makes a change wait and
// then give up with status 5, read-only books and the book itself as an export's destination are
// refused, wrong header counts hide nothing, and leftover temporary files are found and removed.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "interface/session.h"
#include "platform/env.h"
#include "store/format.h"
#include "tests/tool/tool_runner.h"
#include "tools/book.h"
#include "tools/salvage.h"

namespace telbook {
namespace tooltest {
namespace {

class SafetyTool : public ::testing::Test {
 protected:
  void SetUp() override {
    Result run = dir_.Tool({"create", book_});
    ASSERT_EQ(run.status, 0) << run.err;
  }

  std::vector<std::string> Names(const std::string& book) {
    Result run = dir_.Tool({"list", book, "--json"});
    EXPECT_EQ(run.status, 0) << run.err;
    std::vector<std::string> names;
    for (const auto& item : nlohmann::json::parse(run.out)) names.push_back(item["name"]);
    return names;
  }

  Scratch dir_;
  std::string book_ = dir_.File("b.tlb");
};

// Two programs add entries at once: each add that reports success is in the book, under the
// number it printed, and any other waited its turn out and said so with status 5.
TEST_F(SafetyTool, ParallelAddsLoseNothing) {
  constexpr int kAdds = 150;
  struct Outcome {
    std::string name;
    Result run;
  };
  std::vector<Outcome> outcomes[2];
  auto adder = [&](int who) {
    for (int i = 0; i < kAdds; ++i) {
      std::string name = "p" + std::to_string(who) + "-" + std::to_string(i);
      outcomes[who].push_back({name, dir_.Tool({"add", book_, "--name", name})});
    }
  };
  std::thread first(adder, 0);
  std::thread second(adder, 1);
  first.join();
  second.join();

  std::set<std::string> added;
  std::set<int> numbers;
  int busy = 0;
  for (const auto& list : outcomes) {
    for (const Outcome& o : list) {
      if (o.run.status == 5) {
        ++busy;
        EXPECT_NE(o.run.err.find("another program"), std::string::npos) << o.run.err;
        continue;
      }
      ASSERT_EQ(o.run.status, 0) << o.name << ": " << o.run.err;
      added.insert(o.name);
      numbers.insert(std::stoi(o.run.out));
    }
  }
  std::vector<std::string> names = Names(book_);
  EXPECT_EQ(std::set<std::string>(names.begin(), names.end()), added);
  EXPECT_EQ(names.size(), added.size());
  EXPECT_EQ(numbers.size(), added.size()) << "every add printed a number of its own";
  EXPECT_EQ(busy + added.size(), 2u * kAdds);
  EXPECT_EQ(dir_.List(), std::vector<std::string>{"b.tlb"});
}

// Another program holding the book's writers' lock (as the tool does from open to save) makes a
// change wait --wait seconds and then give up with status 5, the book untouched; reading goes
// on meanwhile, and once the lock is gone the change goes through.
TEST_F(SafetyTool, AHeldBookMakesChangesWaitThenGiveUp) {
  const std::string before = ReadAll(book_);
  TL_FaxUtl* holder = TL_CreateFaxUtl();
  ASSERT_EQ(FromHandle(holder)->OpenToChange(book_.c_str(), 0), 0);
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"add", book_, "--name", "late", "--wait", "0.3"},
        std::vector<std::string>{"favourites", book_, "--set", "1", "late", "--wait", "0.3"},
        std::vector<std::string>{"delete", book_, "1", "--wait", "0.3"},
        std::vector<std::string>{"group", book_, "--name", "late", "--wait", "0.3"},
        std::vector<std::string>{"repair", book_, "--wait", "0.3"}}) {
    SCOPED_TRACE(args[0]);
    auto start = std::chrono::steady_clock::now();
    Result run = dir_.Tool(args);
    auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(run.status, 5) << run.err;
    EXPECT_NE(run.err.find("writers' lock"), std::string::npos) << run.err;
    EXPECT_GE(waited, std::chrono::milliseconds(300));
    EXPECT_EQ(ReadAll(book_), before);
  }
  EXPECT_EQ(dir_.Tool({"list", book_}).status, 0);
  EXPECT_EQ(TL_closeDataBase(holder, 1), 0);
  TL_DestroyFaxUtl(holder);
  Result run = dir_.Tool({"add", book_, "--name", "in time", "--wait", "0"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(Names(book_), std::vector<std::string>{"in time"});
}

// A repeatable change is made again on what another program saved meanwhile; one made once is
// refused with status 5, and nothing of it is saved.
TEST_F(SafetyTool, AChangeIsMadeAgainOnWhatAnotherProgramSaved) {
  ASSERT_EQ(dir_.Tool({"add", book_, "--name", "first"}).status, 0);
  const std::string other = ReadAll(book_);
  ASSERT_EQ(dir_.Tool({"add", book_, "--name", "second"}).status, 0);
  int attempts = 0;
  // Writes another book over the book behind the session's back, as a program that takes no
  // lock would (in place: Windows replaces no file that a handle holds open).
  auto interfere = [&] { WriteAll(book_, other); };
  tool::ChangeBook(book_, 0, /*repeatable=*/true, [&](tool::Book& book) {
    if (++attempts == 1) interfere();
    TL_Kojin e{};
    strcpy(e.Name, "again");
    unsigned short number = 0;
    book.Check(TL_writeKojin(book.session(), &e, &number, 0), "cannot add");
    return true;
  });
  EXPECT_EQ(attempts, 2);
  EXPECT_EQ(Names(book_), (std::vector<std::string>{"first", "again"}));

  attempts = 0;
  try {
    tool::ChangeBook(book_, 0, /*repeatable=*/false, [&](tool::Book& book) {
      ++attempts;
      interfere();
      TL_Kojin e{};
      strcpy(e.Name, "once");
      unsigned short number = 0;
      book.Check(TL_writeKojin(book.session(), &e, &number, 0), "cannot add");
      return true;
    });
    ADD_FAILURE() << "a change made once is not saved over another program's";
  } catch (const tool::ToolError& e) {
    EXPECT_EQ(e.status(), 5);
    EXPECT_NE(std::string(e.what()).find("another program changed"), std::string::npos);
  }
  EXPECT_EQ(attempts, 1);
  EXPECT_EQ(ReadAll(book_), other);
}

// A book the user may not write is read, never replaced: each change exits 3 saying so.
TEST_F(SafetyTool, AReadOnlyBookIsRefusedWithStatus3) {
  ASSERT_EQ(dir_.Tool({"add", book_, "--name", "kept"}).status, 0);
  const std::string before = ReadAll(book_);
  ASSERT_TRUE(MakeReadOnly(book_));
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"add", book_, "--name", "x"},
        std::vector<std::string>{"edit", book_, "1", "--name", "y"},
        std::vector<std::string>{"favourites", book_, "--set", "2", "z"},
        std::vector<std::string>{"delete", book_, "1"},
        std::vector<std::string>{"move", book_, "1", "2"},
        std::vector<std::string>{"group", book_, "--name", "g", "--members", "1"},
        std::vector<std::string>{"repair", book_}}) {
    SCOPED_TRACE(args[0]);
    Result run = dir_.Tool(args);
    EXPECT_EQ(run.status, 3);
    EXPECT_NE(run.err.find("read-only"), std::string::npos) << run.err;
    EXPECT_EQ(ReadAll(book_), before);
  }
  EXPECT_EQ(Names(book_), std::vector<std::string>{"kept"});
  EXPECT_EQ(dir_.Tool({"export", book_, dir_.File("out.csv")}).status, 0);
  // A dry run only looks, so it goes on a book that may not be changed.
  Result dry = dir_.Tool({"delete", book_, "1", "--dry-run"});
  EXPECT_EQ(dry.status, 0) << dry.err;
  EXPECT_NE(dry.out.find("would delete"), std::string::npos) << dry.out;
  EXPECT_EQ(ReadAll(book_), before);
  MakeWritable(book_);
}

// A book of two names is changed through either and stays one file of two names.
TEST_F(SafetyTool, AHardLinkedBookKeepsItsLinks) {
  const std::string link = dir_.File("link.tlb");
  ASSERT_TRUE(MakeHardLink(book_, link));
  ASSERT_EQ(dir_.Tool({"add", link, "--name", "through the link"}).status, 0);
  ASSERT_EQ(dir_.Tool({"add", book_, "--name", "through the book"}).status, 0);
  EXPECT_EQ(ReadAll(book_), ReadAll(link));
  EXPECT_EQ(Names(link), (std::vector<std::string>{"through the link", "through the book"}));
  EXPECT_EQ(dir_.List(), (std::vector<std::string>{"b.tlb", "link.tlb"}));
}

// An export never lands on the book it exports, in any format, nor on a directory.
TEST_F(SafetyTool, ExportsRefuseTheBookItselfAndDirectories) {
  ASSERT_EQ(dir_.Tool({"add", book_, "--name", "one"}).status, 0);
  ASSERT_EQ(dir_.Tool({"add", book_, "--name", "two"}).status, 0);
  const std::string before = ReadAll(book_);
  std::filesystem::create_directory(dir_.File("sub"));
  const struct {
    std::vector<std::string> args;
    const char* says;
  } cases[] = {
      {{"export", book_, book_}, "phone book being exported"},
      {{"export", book_, book_, "--subset", "--entries", "1"}, "phone book being exported"},
      {{"export", book_, book_, "--vcard"}, "phone book being exported"},
      {{"export", book_, dir_.File("sub")}, "directory"},
      {{"export", book_, dir_.File("sub"), "--vcard"}, "directory"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args.back());
    Result run = dir_.Tool(c.args);
    EXPECT_EQ(run.status, 6);
    EXPECT_NE(run.err.find(c.says), std::string::npos) << run.err;
    EXPECT_EQ(ReadAll(book_), before);
  }
  EXPECT_EQ(dir_.List(), (std::vector<std::string>{"b.tlb", "sub"}));
}

// Header counts another program set too low or too high hide no record and fail no walk.
TEST_F(SafetyTool, WrongHeaderCountsShowTheWholeBook) {
  for (const char* name : {"あおき", "いとう", "うえだ"}) {
    ASSERT_EQ(dir_.Tool({"add", book_, "--name", name, "--furigana", name}).status, 0);
  }
  for (uint16_t count : {1, 209}) {
    SCOPED_TRACE(count);
    std::string bytes = ReadAll(book_);
    bytes[format::kPersonalCountOffset] = static_cast<char>(count & 0xFF);
    bytes[format::kPersonalCountOffset + 1] = static_cast<char>(count >> 8);
    bytes[format::kGroupCountOffset] = static_cast<char>(count & 0xFF);
    WriteAll(book_, bytes);
    EXPECT_EQ(Names(book_), (std::vector<std::string>{"あおき", "いとう", "うえだ"}));
    Result run = dir_.Tool({"search", book_, "うえだ"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("うえだ"), std::string::npos) << run.out;
    run = dir_.Tool({"export", book_, dir_.File("all.csv")});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(ReadAll(dir_.File("all.csv")).find("K3,"), std::string::npos);
    run = dir_.Tool({"info", book_});
    EXPECT_NE(run.out.find("entries      3 of 9999"), std::string::npos) << run.out;
  }
}

// Leftovers that no running program holds are listed by check, beside the book and in the
// temporary directory, and removed by clean; a held one is neither, and a whole phone book
// beside a damaged one is kept.
TEST_F(SafetyTool, CheckListsAndCleanRemovesLeftovers) {
  const std::string books = dir_.File("books");
  const std::string temp = dir_.File("temp");
  std::filesystem::create_directory(books);
  std::filesystem::create_directory(temp);
  const std::string book = books + "/b.tlb";
  std::filesystem::rename(book_, book);
  const std::string beside = books + "/tel0000ABCD.tmp";
  const std::string in_temp = temp + "/telFF.tmp";
  WriteAll(beside, "torn");
  WriteAll(in_temp, "copy");
  WriteAll(books + "/telephone.tmp", "not ours");
  char held_name[kMaxPath];
  FileHandle held = Env::Default()->CreateTempFile((books + "/").c_str(), "tel", TempKind::kNamed,
                                                   held_name, nullptr);
  ASSERT_NE(held, nullptr);

  Result run = RunTool({"check", book}, temp);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("tel0000ABCD.tmp"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("telFF.tmp"), std::string::npos) << run.out;
  EXPECT_EQ(run.out.find("telephone"), std::string::npos) << run.out;
  EXPECT_EQ(run.out.find(std::filesystem::path(held_name).filename().string()), std::string::npos);
  run = RunTool({"check", book, "--json"}, temp);
  EXPECT_EQ(nlohmann::json::parse(run.out)["leftovers"].size(), 2u) << run.out;

  run = RunTool({"clean", book}, temp);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_FALSE(Exists(beside));
  EXPECT_FALSE(Exists(in_temp));
  EXPECT_TRUE(Exists(held_name));
  EXPECT_TRUE(Exists(books + "/telephone.tmp"));
  Env::Default()->Close(held);
  Env::Default()->DeleteFile(held_name);

  // A save cut short while it wrote into a book: the whole new book beside it is kept.
  std::string whole = ReadAll(book);
  WriteAll(beside, whole);
  WriteAll(book, whole.substr(0, 1000));
  run = RunTool({"clean", book}, temp);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("kept"), std::string::npos) << run.out;
  EXPECT_EQ(ReadAll(beside), whole);
}

// A temporary directory the working copy cannot be made in is named in the message.
TEST_F(SafetyTool, AMissingTemporaryDirectoryIsNamed) {
  const std::string missing = dir_.File("no-such-dir");
  Result run = RunTool({"add", book_, "--name", "x"}, missing);
  EXPECT_EQ(run.status, 3);
  EXPECT_NE(run.err.find("temporary directory"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("no-such-dir"), std::string::npos) << run.err;
  EXPECT_EQ(dir_.List(), std::vector<std::string>{"b.tlb"});
}

// The tool's own temporary copies (a repair's, an export's around damage) are held while they
// live, through every step that puts a new file at their name, so that another program's sweep
// of leftovers beside its destination never takes one mid-way.
TEST_F(SafetyTool, ATemporaryCopyIsHeldAgainstSweeps) {
  Env* env = Env::Default();
  std::string path;
  {
    tool::TempFile copy(dir_.path());
    path = copy.path();
    bool held = false;
    bool removed = true;
    ASSERT_TRUE(env->IsHeld(path.c_str(), &held, nullptr));
    EXPECT_TRUE(held);
    ASSERT_TRUE(env->RemoveIfUnheld(path.c_str(), &removed, nullptr));
    EXPECT_FALSE(removed);
#if !defined(_WIN32)
    // A save or an export replaces the file at the name; the hold is taken again on the new one.
    const std::string next = dir_.File("next");
    WriteAll(next, "new bytes");
    ASSERT_EQ(std::rename(next.c_str(), path.c_str()), 0);
    ASSERT_TRUE(env->IsHeld(path.c_str(), &held, nullptr));
    EXPECT_FALSE(held);
    copy.Hold();
    ASSERT_TRUE(env->IsHeld(path.c_str(), &held, nullptr));
    EXPECT_TRUE(held);
    ASSERT_TRUE(env->RemoveIfUnheld(path.c_str(), &removed, nullptr));
    EXPECT_FALSE(removed);
    EXPECT_EQ(ReadAll(path), "new bytes");
#endif
  }
  EXPECT_FALSE(Exists(path));
}

}  // namespace
}  // namespace tooltest
}  // namespace telbook
