// Saves and exports that keep what the user named: a book another program changed is not
// overwritten, a read-only book is not replaced, a book of several links is written into, an
// export never lands on the open book, a directory or a read-only file, and names planted where
// the library would put its temporary files stop nothing.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "interface/session.h"
#include "interface/telbook.h"
#include "platform/fault_env.h"
#include "platform/temp_name.h"
#include "test_util.h"

namespace telbook {
namespace test {
namespace {

std::string NameOf(TL_FaxUtl* s, unsigned short number) {
  TL_Kojin e;
  if (TL_readKojin(s, &e, number) != 0) return "<unreadable>";
  return e.Name;
}

unsigned short Add(TL_FaxUtl* s, const char* name) {
  TL_Kojin e = Kojin(name, "\x82\xA0", "03-0000-0000");
  unsigned short number = 0;
  EXPECT_EQ(TL_writeKojin(s, &e, &number, 0), 0);
  return number;
}

FileIdentity IdentityAt(const std::string& path) {
  FileInfo info;
  EXPECT_TRUE(Env::Default()->Inspect(path.c_str(), &info, nullptr));
  return info.identity;
}

class SafeSaveTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(TL_createDataBase(s_, book_.c_str()), 0);
    Add(s_, "first");
    ASSERT_EQ(TL_closeDataBase(s_, 0), 0);
    saved_ = ReadFileOrDie(book_);
  }

  // Opens the book and adds an entry, as every case starts.
  unsigned short OpenAndAdd(const char* name) {
    EXPECT_EQ(TL_openDataBase(s_, book_.c_str()), 0);
    return Add(s_, name);
  }

  ScratchDir dir_;
  std::string book_ = dir_.File("book.tel");
  SessionHolder s_;
  Bytes saved_;
};

// Whatever another program did to the book since the open, the save writes nothing and keeps
// the session's change, to be dropped or made again on the new book.
TEST_F(SafeSaveTest, ASaveIsRefusedWhenAnotherProgramChangedTheBook) {
  const Bytes other = [&] {
    Bytes b = saved_;
    b.resize(b.size() + 7, 'x');
    return b;
  }();
  const struct {
    const char* what;
    void (*act)(const std::string& book, const Bytes& other, const ScratchDir& dir);
    Pair pair;
  } cases[] = {
      {"replaced by another file",
       [](const std::string& book, const Bytes& bytes, const ScratchDir& dir) {
         WriteFile(dir.File("other.tel"), bytes);
         // Replaces the book on Windows too, where rename() refuses an existing name.
         std::error_code error;
         std::filesystem::rename(dir.File("other.tel"), book, error);
         ASSERT_FALSE(error) << error.message();
       },
       {40, 33}},
      {"written in place",
       [](const std::string& book, const Bytes& bytes, const ScratchDir&) {
         WriteFile(book, bytes);
       },
       {40, 33}},
      {"removed",
       [](const std::string& book, const Bytes&, const ScratchDir&) {
         ASSERT_EQ(std::remove(book.c_str()), 0);
       },
       {40, 16}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    WriteFile(book_, saved_);
    unsigned short number = OpenAndAdd("mine");
    c.act(book_, other, dir_);
    const bool exists = FileExists(book_);
    EXPECT_EQ(TL_closeDataBase(s_, 0), -1);
    EXPECT_EQ(ErrorOf(s_), c.pair);
    if (exists) {
      EXPECT_EQ(ReadFileOrDie(book_), other);
    }
    EXPECT_EQ(NameOf(s_, number), "mine");
    EXPECT_EQ(TL_closeDataBase(s_, 1), 0);
    if (exists) {
      EXPECT_EQ(ReadFileOrDie(book_), other);
    }
    EXPECT_EQ(dir_.List(),
              exists ? std::vector<std::string>{"book.tel"} : std::vector<std::string>{});
  }
}

// Open for reading works; the save is refused with its own pair and writes nothing; so is a
// create over the book.
TEST_F(SafeSaveTest, AReadOnlyBookOpensButIsNeverReplaced) {
  ASSERT_TRUE(MakeReadOnly(book_));
  unsigned short number = OpenAndAdd("refused");
  EXPECT_EQ(TL_closeDataBase(s_, 0), -1);
  EXPECT_EQ(ErrorOf(s_), (Pair{40, 34}));
  EXPECT_EQ(NameOf(s_, number), "refused");
  EXPECT_EQ(TL_closeDataBase(s_, 1), 0);
  EXPECT_EQ(TL_createDataBase(s_, book_.c_str()), -1);
  EXPECT_EQ(ErrorOf(s_), (Pair{25, 34}));
  EXPECT_EQ(FromHandle(s_)->OpenToChange(book_.c_str(), 0), -1);
  EXPECT_EQ(ErrorOf(s_), (Pair{25, 34}));
  EXPECT_EQ(ReadFileOrDie(book_), saved_);
  EXPECT_EQ(dir_.List(), std::vector<std::string>{"book.tel"});
  MakeWritable(book_);
}

// A book of two names is written into, after the new bytes are whole elsewhere: both names
// show the save, and they still name one file.
TEST_F(SafeSaveTest, ABookOfSeveralLinksIsWrittenIntoAndKeepsThem) {
  const std::string link = dir_.File("link.tel");
  ASSERT_TRUE(MakeHardLink(book_, link));
  unsigned short number = OpenAndAdd("through both");
  ASSERT_EQ(TL_closeDataBase(s_, 0), 0);
  EXPECT_EQ(ReadFileOrDie(link), ReadFileOrDie(book_));
  EXPECT_TRUE(SameFile(IdentityAt(book_), IdentityAt(link)));
  EXPECT_NE(ReadFileOrDie(book_), saved_);
  ASSERT_EQ(TL_openDataBase(s_, link.c_str()), 0);
  EXPECT_EQ(NameOf(s_, number), "through both");
  EXPECT_EQ(TL_closeDataBase(s_, 1), 0);
  EXPECT_EQ(dir_.List(), (std::vector<std::string>{"book.tel", "link.tel"}));
}

// An export's destination is refused, untouched, when it is the open book (by any name), a
// directory, a read-only file, or lies in a directory that does not exist; a file of several
// links is written into.
TEST_F(SafeSaveTest, ExportsKeepWhatTheDestinationIs) {
  const std::string link = dir_.File("link.tel");
  const std::string sub = dir_.File("sub");
  const std::string read_only = dir_.File("read-only.csv");
  const std::string shared = dir_.File("shared.csv");
  const std::string shared_link = dir_.File("shared-link.csv");
  ASSERT_TRUE(MakeHardLink(book_, link));
  std::filesystem::create_directory(sub);
  WriteFile(read_only, Bytes{'r'});
  ASSERT_TRUE(MakeReadOnly(read_only));
  WriteFile(shared, Bytes{'s'});
  ASSERT_TRUE(MakeHardLink(shared, shared_link));

  OpenAndAdd("exported");
  const struct {
    std::string destination;
    Pair pair;  // (0, 0): written
  } cases[] = {
      {book_, {40, 37}},
      {link, {40, 37}},
      {sub, {40, 38}},
      {read_only, {40, 34}},
      {dir_.File("missing/out.csv"), {40, 36}},
      {shared_link, {0, 0}},
  };
  for (int format : {0, 1}) {
    for (const auto& c : cases) {
      SCOPED_TRACE(c.destination + (format == 1 ? " (subset)" : " (text)"));
      const std::vector<std::string> before = dir_.List();
      const Bytes book_bytes = ReadFileOrDie(book_);
      const Bytes read_only_bytes = ReadFileOrDie(read_only);
      unsigned short personal[] = {1, 2};
      short status =
          TL_writeSrchData(s_, personal, 2, nullptr, 0, format, c.destination.c_str(), nullptr);
      EXPECT_EQ(dir_.List(), before);
      EXPECT_EQ(ReadFileOrDie(book_), book_bytes);
      EXPECT_EQ(ReadFileOrDie(read_only), read_only_bytes);
      if (c.pair == Pair{0, 0}) {
        EXPECT_EQ(status, 0);
        EXPECT_EQ(ReadFileOrDie(shared), ReadFileOrDie(shared_link));
        EXPECT_TRUE(SameFile(IdentityAt(shared), IdentityAt(shared_link)));
        EXPECT_GT(ReadFileOrDie(shared).size(), 1u);
      } else {
        EXPECT_EQ(status, -1);
        EXPECT_EQ(ErrorOf(s_), c.pair);
      }
    }
  }
  EXPECT_EQ(TL_closeDataBase(s_, 1), 0);
  MakeWritable(read_only);
}

// Another program that plants files and directories at the names the library will try makes it
// try others: the save, the switch and an export go through and the planted things stay (but for
// files no one holds beside the book where files can be made without a name, which a save
// takes for a killed save's leftovers).
TEST_F(SafeSaveTest, PlantedPredictedNamesStopNothing) {
  uint32_t unique = 0x0BAD0000;
  auto plant = [&](bool directory) {
    char name[kMaxPath];
    ASSERT_TRUE(temp_name::Format((dir_.path() + "/").c_str(), "tel", ++unique, name));
    if (directory) {
      std::filesystem::create_directory(name);
    } else {
      WriteFile(name, Bytes{'p'});
    }
    temp_name::SetNext(unique);
  };
  for (bool directory : {false, true}) {
    SCOPED_TRACE(directory ? "directories" : "files");
    plant(directory);
    EXPECT_EQ(TL_openDataBase(s_, book_.c_str()), 0);
    unsigned short number = Add(s_, "planted");
    plant(directory);
    unsigned short personal[] = {number};
    EXPECT_EQ(
        TL_writeSrchData(s_, personal, 1, nullptr, 0, 0, dir_.File("out.csv").c_str(), nullptr), 0);
    plant(directory);
    EXPECT_EQ(TL_closeDataBase(s_, 0), 0);
    ASSERT_EQ(TL_openDataBase(s_, book_.c_str()), 0);
    EXPECT_EQ(NameOf(s_, number), "planted");
    EXPECT_EQ(TL_closeDataBase(s_, 1), 0);
  }
  // The planted things are as they were, and nothing else was left.
  std::vector<std::string> names = dir_.List();
  EXPECT_EQ(names.size(), 2u + (HasUnnamedFiles(dir_.path()) ? 3u : 6u));
  for (const std::string& name : names) {
    if (name == "book.tel" || name == "out.csv") continue;
    const std::string path = dir_.File(name);
    if (std::filesystem::is_directory(path)) continue;
    EXPECT_EQ(ReadFileOrDie(path), Bytes{'p'}) << name;
  }
}

// Where files are made without a name, the only named files a save leaves beside the book are
// whole new files of a process killed between their link and their rename: the next save
// removes those no live handle holds, and nothing else.
TEST_F(SafeSaveTest, LeftoversOfKilledSavesGoWithTheNextSave) {
  const std::vector<std::string> kept = {"tel1234.tmp", "telephone.tmp", "tel0000ABCD.txt",
                                         "tel0000abcd.tmp"};
  for (const std::string& name : kept) WriteFile(dir_.File(name), Bytes{'k'});
  WriteFile(dir_.File("tel0000ABCD.tmp"), saved_);
  char held[kMaxPath];
  FileHandle holder = Env::Default()->CreateTempFile((dir_.path() + "/").c_str(), "tel",
                                                     TempKind::kNamed, held, nullptr);
  ASSERT_NE(holder, nullptr);
  OpenAndAdd("sweeps");
  ASSERT_EQ(TL_closeDataBase(s_, 0), 0);
  EXPECT_EQ(FileExists(dir_.File("tel0000ABCD.tmp")), !HasUnnamedFiles(dir_.path()));
  EXPECT_TRUE(FileExists(held));
  for (const std::string& name : kept) EXPECT_TRUE(FileExists(dir_.File(name))) << name;
  Env::Default()->Close(holder);
  Env::Default()->DeleteFile(held);

  // A book that bears such a name itself (a program's own temporary copy) is not swept away by
  // its own save.
  const std::string named = dir_.File("tel0000BEEF.tmp");
  WriteFile(named, ReadFileOrDie(book_));
  ASSERT_EQ(TL_openDataBase(s_, named.c_str()), 0);
  Add(s_, "its own");
  ASSERT_EQ(TL_closeDataBase(s_, 0), 0);
  ASSERT_TRUE(FileExists(named));
  ASSERT_EQ(TL_openDataBase(s_, named.c_str()), 0);
  EXPECT_EQ(TL_closeDataBase(s_, 1), 0);
}

// The save's new file goes beside the book and the working copy to the temporary directory: when
// either cannot be made, the pair says which directory and why.
TEST_F(SafeSaveTest, DirectoriesThatCannotTakeAFileAreNamedByThePair) {
  const struct {
    bool at_save;
    FileError cause;
    Pair pair;
  } cases[] = {
      {false, FileError::kNotFound, {25, 36}},      {false, FileError::kNotADirectory, {25, 36}},
      {false, FileError::kAccessDenied, {25, 35}},  {false, FileError::kReadOnlyVolume, {25, 35}},
      {true, FileError::kNotFound, {40, 36}},       {true, FileError::kAccessDenied, {40, 35}},
      {true, FileError::kReadOnlyVolume, {40, 35}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.at_save) + " " + std::to_string(static_cast<int>(c.cause)));
    FaultEnv fault(Env::Default());
    ScopedSessionEnv scoped(&fault);
    SessionHolder s;
    ASSERT_EQ(TL_openDataBase(s, book_.c_str()), 0);
    if (c.at_save) Add(s, "kept");
    // The switch makes its working copy with the first temporary-file call; the save, which
    // needs no temporary directory for a book of one link, with the first one too.
    fault.FailAt(FaultKind::kTempName, c.at_save ? 1 : 2);
    fault.SetFaultError(c.cause);
    short status;
    if (c.at_save) {
      status = TL_closeDataBase(s, 0);
    } else {
      TL_Kojin e = Kojin("refused", "", "1");
      unsigned short number = 0;
      status = TL_writeKojin(s, &e, &number, 0);
    }
    EXPECT_TRUE(fault.Fired());
    EXPECT_EQ(status, -1);
    EXPECT_EQ(ErrorOf(s), c.pair);
    fault.Reset();
    EXPECT_EQ(TL_closeDataBase(s, 1), 0);
    EXPECT_EQ(ReadFileOrDie(book_), saved_);
  }
}

}  // namespace
}  // namespace test
}  // namespace telbook
