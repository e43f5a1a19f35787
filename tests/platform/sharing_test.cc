// The sharing rules of file opens, on both platforms: a phone book held without sharing by
// another program, and the rules between two opens made through the library itself.
#if defined(_WIN32)
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#undef CopyFile
#undef DeleteFile
#undef ReplaceFile
#else
#include <fcntl.h>
#include <unistd.h>
#endif

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "interface/telbook.h"
#include "platform/env.h"
#include "test_util.h"

namespace telbook {
namespace test {
namespace {

// An open of a file made by "another program", outside the library.
class ForeignOpen {
 public:
  enum Sharing {
    kNoSharing,  // holds the file without sharing: no other open may read or write it
    kShareAll,   // reads, and lets others read and write
  };

#if defined(_WIN32)
  ForeignOpen(const std::string& path, Sharing sharing) {
    DWORD share = sharing == kNoSharing ? 0 : FILE_SHARE_READ | FILE_SHARE_WRITE;
    handle_ = CreateFileA(path.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING,
                          FILE_ATTRIBUTE_NORMAL, nullptr);
  }
  ~ForeignOpen() {
    if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
  }
  bool ok() const { return handle_ != INVALID_HANDLE_VALUE; }

 private:
  HANDLE handle_;
#else
  // The published POSIX contract: read locks on B+0..B+3 hold a file without sharing; a reader
  // that shares everything locks B+0 only.
  static constexpr off_t kShareBase = 0x7FFFFFFF0000LL;

  ForeignOpen(const std::string& path, Sharing sharing) {
    fd_ = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0) return;
    struct flock lock = {};
    lock.l_type = F_RDLCK;
    lock.l_whence = SEEK_SET;
    lock.l_start = kShareBase;
    lock.l_len = sharing == kNoSharing ? 4 : 1;
    if (fcntl(fd_, F_OFD_SETLK, &lock) != 0) {
      close(fd_);
      fd_ = -1;
    }
  }
  ~ForeignOpen() {
    if (fd_ >= 0) close(fd_);
  }
  bool ok() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
#endif

 public:
  ForeignOpen(const ForeignOpen&) = delete;
  ForeignOpen& operator=(const ForeignOpen&) = delete;
};

class SharingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    book_ = dir_.File("book.tel");
    WriteFile(book_, EmptyBook());
  }

  ScratchDir dir_;
  std::string book_;
};

TEST_F(SharingTest, OpenOfABookHeldWithoutSharingReportsItInUse) {
  ForeignOpen holder(book_, ForeignOpen::kNoSharing);
  ASSERT_TRUE(holder.ok());
  SessionHolder s;
  EXPECT_EQ(TL_openDataBase(s, book_.c_str()), -2);
  EXPECT_EQ(ErrorOf(s), (Pair{25, 24}));
  // Nothing stays open: a close is refused as for a fresh session.
  EXPECT_EQ(TL_getFileVersion(s), 0);
  EXPECT_EQ(TL_closeDataBase(s, 0), -1);
  EXPECT_EQ(ErrorOf(s), (Pair{40, 16}));
}

TEST_F(SharingTest, BookOpensOnceTheHolderLetsGo) {
  SessionHolder s;
  {
    ForeignOpen holder(book_, ForeignOpen::kNoSharing);
    ASSERT_TRUE(holder.ok());
    ASSERT_EQ(TL_openDataBase(s, book_.c_str()), -2);
  }
  EXPECT_EQ(TL_openDataBase(s, book_.c_str()), 0);
  EXPECT_EQ(TL_getFileVersion(s), 2);
  EXPECT_EQ(TL_closeDataBase(s, 0), 0);
}

TEST_F(SharingTest, ReaderThatSharesDoesNotBlockTheBook) {
  ForeignOpen reader(book_, ForeignOpen::kShareAll);
  ASSERT_TRUE(reader.ok());
  SessionHolder s;
  ASSERT_EQ(TL_openDataBase(s, book_.c_str()), 0);
  EXPECT_EQ(ErrorOf(s), (Pair{0, 0}));
  EXPECT_EQ(TL_closeDataBase(s, 0), 0);
}

TEST_F(SharingTest, TwoSessionsHoldTheSameBook) {
  SessionHolder first;
  SessionHolder second;
  ASSERT_EQ(TL_openDataBase(first, book_.c_str()), 0);
  ASSERT_EQ(TL_openDataBase(second, book_.c_str()), 0);
  EXPECT_EQ(TL_closeDataBase(first, 0), 0);
  EXPECT_EQ(TL_closeDataBase(second, 0), 0);
}

TEST_F(SharingTest, CreateOverABookHeldWithoutSharingFailsAndKeepsIt) {
  Bytes before = ReadFileOrDie(book_);
  {
    ForeignOpen holder(book_, ForeignOpen::kNoSharing);
    ASSERT_TRUE(holder.ok());
    SessionHolder s;
    EXPECT_EQ(TL_createDataBase(s, book_.c_str()), -1);
  }
  EXPECT_EQ(ReadFileOrDie(book_), before);
}

// ---- Two opens through the Env ----

class EnvSharingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = dir_.File("shared.bin");
    WriteFile(path_, Bytes{1, 2, 3, 4});
  }

  // Opens path_ in mode; true when it opened. A refusal must be a sharing violation.
  bool Opens(OpenMode mode, FileHandle* out) {
    OpenError error = OpenError::kNone;
    *out = env_->OpenFile(path_.c_str(), mode, &error);
    if (*out != nullptr) {
      EXPECT_EQ(error, OpenError::kNone);
      return true;
    }
    EXPECT_EQ(error, OpenError::kSharingViolation) << "mode " << static_cast<int>(mode);
    return false;
  }

  ScratchDir dir_;
  std::string path_;
  Env* env_ = Env::Default();
};

const char* ModeName(OpenMode mode) {
  switch (mode) {
    case OpenMode::kCreate:
      return "create";
    case OpenMode::kUpdate:
      return "update";
    case OpenMode::kRead:
      return "read";
  }
  return "?";
}

// Create shares reading only; update and read share reading and writing. A second open passes
// when its access is shared by the first and the first's access is shared by it.
TEST_F(EnvSharingTest, SecondOpenFollowsTheSharingOfBoth) {
  struct Case {
    OpenMode first;
    OpenMode second;
    bool allowed;
  };
  const Case cases[] = {
      {OpenMode::kCreate, OpenMode::kCreate, false}, {OpenMode::kCreate, OpenMode::kUpdate, false},
      {OpenMode::kCreate, OpenMode::kRead, true},    {OpenMode::kUpdate, OpenMode::kCreate, false},
      {OpenMode::kUpdate, OpenMode::kUpdate, true},  {OpenMode::kUpdate, OpenMode::kRead, true},
      {OpenMode::kRead, OpenMode::kCreate, true},    {OpenMode::kRead, OpenMode::kUpdate, true},
      {OpenMode::kRead, OpenMode::kRead, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(ModeName(c.first)) + " then " + ModeName(c.second));
    WriteFile(path_, Bytes{1, 2, 3, 4});
    FileHandle first = nullptr;
    ASSERT_TRUE(Opens(c.first, &first));
    FileHandle second = nullptr;
    EXPECT_EQ(Opens(c.second, &second), c.allowed);
    if (second != nullptr) {
      EXPECT_TRUE(env_->Close(second));
    }
    EXPECT_TRUE(env_->Close(first));
  }
}

TEST_F(EnvSharingTest, RefusedCreateLeavesTheFileAsItWas) {
  FileHandle writer = nullptr;
  ASSERT_TRUE(Opens(OpenMode::kUpdate, &writer));
  FileHandle creator = nullptr;
  EXPECT_FALSE(Opens(OpenMode::kCreate, &creator));
  EXPECT_TRUE(env_->Close(writer));
  EXPECT_EQ(ReadFileOrDie(path_), (Bytes{1, 2, 3, 4}));
}

TEST_F(EnvSharingTest, ClosingTheFirstOpenLiftsItsRefusal) {
  FileHandle creator = nullptr;
  ASSERT_TRUE(Opens(OpenMode::kCreate, &creator));
  FileHandle writer = nullptr;
  EXPECT_FALSE(Opens(OpenMode::kUpdate, &writer));
  EXPECT_TRUE(env_->Close(creator));
  ASSERT_TRUE(Opens(OpenMode::kUpdate, &writer));
  EXPECT_TRUE(env_->Close(writer));
}

// A refusal is decided by the other opens still alive, not by any earlier one.
TEST_F(EnvSharingTest, ReadersDoNotAddUpToARefusal) {
  FileHandle readers[3] = {};
  for (FileHandle& r : readers) ASSERT_TRUE(Opens(OpenMode::kRead, &r));
  FileHandle writer = nullptr;
  ASSERT_TRUE(Opens(OpenMode::kUpdate, &writer));
  for (FileHandle r : readers) EXPECT_TRUE(env_->Close(r));
  EXPECT_TRUE(env_->Close(writer));
}

TEST_F(EnvSharingTest, MissingFileIsNotASharingViolation) {
  OpenError error = OpenError::kNone;
  EXPECT_EQ(env_->OpenFile(dir_.File("missing.bin").c_str(), OpenMode::kRead, &error), nullptr);
  EXPECT_EQ(error, OpenError::kOther);
  EXPECT_EQ(env_->OpenFile(dir_.File("missing.bin").c_str(), OpenMode::kUpdate, &error), nullptr);
  EXPECT_EQ(error, OpenError::kOther);
}

TEST_F(EnvSharingTest, CopyOfAFileHeldWithoutSharingFails) {
  ForeignOpen holder(path_, ForeignOpen::kNoSharing);
  ASSERT_TRUE(holder.ok());
  std::string to = dir_.File("copy.bin");
  EXPECT_FALSE(env_->CopyFile(path_.c_str(), to.c_str(), true));
  EXPECT_FALSE(FileExists(to));
}

// ---- Other Env file operations both platforms must agree on ----

TEST_F(EnvSharingTest, CopyRefusesAnExistingDestinationUntouched) {
  std::string to = dir_.File("dest.bin");
  WriteFile(to, Bytes{9, 9});
  EXPECT_FALSE(env_->CopyFile(path_.c_str(), to.c_str(), true));
  EXPECT_EQ(ReadFileOrDie(to), (Bytes{9, 9}));
  EXPECT_TRUE(env_->CopyFile(path_.c_str(), to.c_str(), false));
  EXPECT_EQ(ReadFileOrDie(to), (Bytes{1, 2, 3, 4}));
}

TEST_F(EnvSharingTest, CopyOntoItselfKeepsTheFile) {
  EXPECT_FALSE(env_->CopyFile(path_.c_str(), path_.c_str(), false));
  EXPECT_EQ(ReadFileOrDie(path_), (Bytes{1, 2, 3, 4}));
}

TEST_F(EnvSharingTest, SeekReadWriteReportWhatMoved) {
  FileHandle f = nullptr;
  ASSERT_TRUE(Opens(OpenMode::kUpdate, &f));
  uint32_t where = 99;
  ASSERT_TRUE(env_->Seek(f, 0, SeekMode::kEnd, &where));
  EXPECT_EQ(where, 4u);
  const uint8_t more[] = {5, 6};
  uint32_t count = 0;
  ASSERT_TRUE(env_->Write(f, more, 2, &count));
  EXPECT_EQ(count, 2u);
  ASSERT_TRUE(env_->Seek(f, 3, SeekMode::kBegin, &where));
  EXPECT_EQ(where, 3u);
  uint8_t got[8] = {};
  ASSERT_TRUE(env_->Read(f, got, 8, &count));
  EXPECT_EQ(count, 3u);  // a short read is reported, not hidden
  EXPECT_EQ(got[0], 4);
  EXPECT_EQ(got[2], 6);
  EXPECT_TRUE(env_->Sync(f));
  EXPECT_TRUE(env_->Close(f));
  EXPECT_EQ(ReadFileOrDie(path_), (Bytes{1, 2, 3, 4, 5, 6}));
}

TEST_F(EnvSharingTest, TempFileIsNewEmptyAndPrefixed) {
  char dir[kMaxPath];
  ASSERT_TRUE(env_->TempDirectory(dir));
  char a[kMaxPath];
  char b[kMaxPath];
  ASSERT_TRUE(env_->MakeTempFile(dir, "tel", a));
  ASSERT_TRUE(env_->MakeTempFile(dir, "tel", b));
  EXPECT_NE(std::string(a), std::string(b));
  for (const char* name : {a, b}) {
    std::string path(name);
    EXPECT_EQ(path.rfind(dir, 0), 0u) << path << " not in " << dir;
    EXPECT_EQ(path.compare(strlen(dir), 3, "tel"), 0) << path;
    EXPECT_EQ(ReadFileOrDie(path), Bytes{});
    EXPECT_TRUE(env_->DeleteFile(name));
  }
  EXPECT_FALSE(env_->DeleteFile(a));
}

TEST_F(EnvSharingTest, TempDirectoryIsTheScratchDirectory) {
  char dir[kMaxPath];
  ASSERT_TRUE(env_->TempDirectory(dir));
  std::string got(dir);
  ASSERT_FALSE(got.empty());
  EXPECT_TRUE(got.back() == '/' || got.back() == '\\') << got;
  char made[kMaxPath];
  ASSERT_TRUE(env_->MakeTempFile(dir, "tel", made));
  std::string name(made);
  std::vector<std::string> listed = dir_.List();
  bool found = false;
  for (const std::string& entry : listed) {
    if (name.size() >= entry.size() &&
        name.compare(name.size() - entry.size(), entry.size(), entry) == 0) {
      found = true;
    }
  }
  EXPECT_TRUE(found) << name << " not made in " << dir_.path();
  env_->DeleteFile(made);
}

TEST_F(EnvSharingTest, MemoryBlocksAreZeroFilled) {
  for (size_t size : {size_t{1}, size_t{32}, size_t{80000}}) {
    uint8_t* block = static_cast<uint8_t*>(env_->AllocBlock(size));
    ASSERT_NE(block, nullptr);
    for (size_t i = 0; i < size; ++i) ASSERT_EQ(block[i], 0) << "byte " << i << " of " << size;
    block[size - 1] = 0xAA;
    env_->FreeBlock(block);
  }
  env_->FreeBlock(nullptr);
}

}  // namespace
}  // namespace test
}  // namespace telbook
