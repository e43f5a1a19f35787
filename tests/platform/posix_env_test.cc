// The POSIX contract that other programs rely on: the temporary directory, exclusive temporary
// files that never follow a planted symlink, whole-file copies, and sharing between processes.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/env.h"
#include "platform/posix_env_test_helper.h"
#include "test_util.h"

namespace telbook {
namespace test {
namespace {

// Sets TMPDIR (or unsets it, for null) for its scope.
class ScopedTmpDir {
 public:
  explicit ScopedTmpDir(const char* value) {
    const char* old = getenv("TMPDIR");
    had_ = old != nullptr;
    if (had_) saved_ = old;
    if (value == nullptr) {
      unsetenv("TMPDIR");
    } else {
      setenv("TMPDIR", value, 1);
    }
  }
  ~ScopedTmpDir() {
    if (had_) {
      setenv("TMPDIR", saved_.c_str(), 1);
    } else {
      unsetenv("TMPDIR");
    }
  }
  ScopedTmpDir(const ScopedTmpDir&) = delete;
  ScopedTmpDir& operator=(const ScopedTmpDir&) = delete;

 private:
  std::string saved_;
  bool had_ = false;
};

std::string TempDirectory() {
  char dir[kMaxPath];
  if (!Env::Default()->TempDirectory(dir)) return "<failed>";
  return dir;
}

// The name MakeTempFile tries for a given unique number.
std::string TempName(const std::string& dir, unsigned unique) {
  char name[32];
  snprintf(name, sizeof name, "tel%08X.tmp", unique);
  return dir + name;
}

bool IsSymlink(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

TEST(PosixTempDirectoryTest, FollowsTmpdirElseTmp) {
  {
    ScopedTmpDir tmp("/var/tmp");
    EXPECT_EQ(TempDirectory(), "/var/tmp/");
  }
  {
    ScopedTmpDir tmp("/var/tmp/");
    EXPECT_EQ(TempDirectory(), "/var/tmp/");
  }
  {
    ScopedTmpDir tmp("");
    EXPECT_EQ(TempDirectory(), "/tmp/");
  }
  {
    ScopedTmpDir tmp(nullptr);
    EXPECT_EQ(TempDirectory(), "/tmp/");
  }
  {
    std::string long_dir(kMaxPath, 'd');
    ScopedTmpDir tmp(("/" + long_dir).c_str());
    char dir[kMaxPath];
    EXPECT_FALSE(Env::Default()->TempDirectory(dir));
  }
}

class PosixTempFileTest : public ::testing::Test {
 protected:
  std::string Dir() const { return dir_.path() + "/"; }

  ScratchDir dir_;
  Env* env_ = Env::Default();
};

TEST_F(PosixTempFileTest, NameIsPrefixedAndFileIsPrivateAndEmpty) {
  PosixEnvTestHelper::SetNextTempUnique(0x1234ABCDu);
  char out[kMaxPath];
  ASSERT_TRUE(env_->MakeTempFile(Dir().c_str(), "tel", out));
  EXPECT_EQ(std::string(out), TempName(Dir(), 0x1234ABCDu));
  struct stat st;
  ASSERT_EQ(lstat(out, &st), 0);
  EXPECT_TRUE(S_ISREG(st.st_mode));
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  EXPECT_EQ(st.st_size, 0);
}

TEST_F(PosixTempFileTest, ExistingFileAtTheNameIsSkippedUntouched) {
  const std::string taken = TempName(Dir(), 0x00C0FFEEu);
  WriteFile(taken, Bytes{7, 7, 7});
  PosixEnvTestHelper::SetNextTempUnique(0x00C0FFEEu);
  char out[kMaxPath];
  ASSERT_TRUE(env_->MakeTempFile(Dir().c_str(), "tel", out));
  EXPECT_NE(std::string(out), taken);
  EXPECT_EQ(ReadFileOrDie(taken), (Bytes{7, 7, 7}));
  EXPECT_EQ(ReadFileOrDie(out), Bytes{});
}

TEST_F(PosixTempFileTest, SymlinkPlantedAtTheNameIsNotFollowed) {
  const std::string planted = TempName(Dir(), 0x0BADF00Du);
  const std::string target = dir_.File("victim");
  ASSERT_EQ(symlink(target.c_str(), planted.c_str()), 0);
  PosixEnvTestHelper::SetNextTempUnique(0x0BADF00Du);
  char out[kMaxPath];
  ASSERT_TRUE(env_->MakeTempFile(Dir().c_str(), "tel", out));
  EXPECT_NE(std::string(out), planted);
  EXPECT_FALSE(FileExists(target)) << "the symlink's target was created";
  EXPECT_TRUE(IsSymlink(planted));
}

TEST_F(PosixTempFileTest, NameLongerThanAPathFails) {
  std::string deep = Dir() + std::string(kMaxPath - Dir().size() - 8, 'x') + "/";
  char out[kMaxPath];
  EXPECT_FALSE(env_->MakeTempFile(deep.c_str(), "tel", out));
}

TEST_F(PosixTempFileTest, MissingDirectoryFails) {
  char out[kMaxPath];
  EXPECT_FALSE(env_->MakeTempFile(dir_.File("none/").c_str(), "tel", out));
}

TEST_F(PosixTempFileTest, ExclusiveCopyRefusesAPlantedSymlink) {
  const std::string from = dir_.File("from");
  WriteFile(from, Bytes{1, 2, 3});
  const std::string planted = dir_.File("to");
  const std::string target = dir_.File("victim");
  ASSERT_EQ(symlink(target.c_str(), planted.c_str()), 0);
  EXPECT_FALSE(env_->CopyFile(from.c_str(), planted.c_str(), true));
  EXPECT_FALSE(FileExists(target));
  EXPECT_TRUE(IsSymlink(planted));
}

// Several 64 KiB chunks and a ragged end, no two of them alike.
Bytes ManyChunks() {
  Bytes data(3 * 65536 + 12345);
  uint32_t state = 12345;
  for (auto& b : data) {
    state = state * 1103515245u + 12345u;
    b = static_cast<uint8_t>(state >> 16);
  }
  return data;
}

mode_t PermissionsOf(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 ? (st.st_mode & 0777) : 0;
}

TEST_F(PosixTempFileTest, CopyOfManyChunksKeepsEveryByte) {
  const Bytes data = ManyChunks();
  const std::string from = dir_.File("from");
  WriteFile(from, data);
  const std::string to = dir_.File("to");
  ASSERT_TRUE(env_->CopyFile(from.c_str(), to.c_str(), true));
  EXPECT_EQ(ReadFileOrDie(to), data);
  EXPECT_EQ(PermissionsOf(to), 0600u);
  // A longer file in the way is replaced whole when allowed.
  WriteFile(to, Bytes(5 * 65536, 0xAA));
  ASSERT_TRUE(env_->CopyFile(from.c_str(), to.c_str(), false));
  EXPECT_EQ(ReadFileOrDie(to), data);
  // An empty file copies as an empty file.
  const std::string empty = dir_.File("empty");
  WriteFile(empty, Bytes{});
  ASSERT_TRUE(env_->CopyFile(empty.c_str(), to.c_str(), false));
  EXPECT_EQ(ReadFileOrDie(to), Bytes{});
}

TEST_F(PosixTempFileTest, ClearReadOnlyRestoresTheOwnersWriteBit) {
  const std::string path = dir_.File("ro");
  WriteFile(path, Bytes{1});
  ASSERT_EQ(chmod(path.c_str(), 0444), 0);
  EXPECT_TRUE(env_->ClearReadOnly(path.c_str()));
  struct stat st;
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0644u);
  EXPECT_FALSE(env_->ClearReadOnly(dir_.File("missing").c_str()));
}

// The sharing rules hold between processes, not only between opens of one process.
TEST_F(PosixTempFileTest, SharingHoldsAcrossProcesses) {
  const std::string path = dir_.File("book");
  WriteFile(path, Bytes{1, 2, 3, 4});
  int ready[2];
  int release[2];
  ASSERT_EQ(pipe(ready), 0);
  ASSERT_EQ(pipe(release), 0);
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // Holds the file in create mode (others may only read) until the parent lets go, which
    // it sees as the end of the release pipe once no write end is left open.
    close(ready[0]);
    close(release[1]);
    alarm(30);  // never outlive a parent that failed before letting go
    OpenError error;
    FileHandle held = Env::Default()->OpenFile(path.c_str(), OpenMode::kCreate, &error);
    char c = held != nullptr ? 'y' : 'n';
    if (write(ready[1], &c, 1) != 1) _exit(2);
    if (read(release[0], &c, 1) < 0) _exit(3);
    _exit(0);
  }
  close(ready[1]);
  close(release[0]);
  char c = 0;
  ASSERT_EQ(read(ready[0], &c, 1), 1);
  ASSERT_EQ(c, 'y');

  OpenError error = OpenError::kNone;
  EXPECT_EQ(env_->OpenFile(path.c_str(), OpenMode::kUpdate, &error), nullptr);
  EXPECT_EQ(error, OpenError::kSharingViolation);
  FileHandle reader = env_->OpenFile(path.c_str(), OpenMode::kRead, &error);
  EXPECT_NE(reader, nullptr);
  if (reader != nullptr) env_->Close(reader);

  close(release[1]);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  close(ready[0]);

  FileHandle writer = env_->OpenFile(path.c_str(), OpenMode::kUpdate, &error);
  EXPECT_NE(writer, nullptr) << "the child's locks outlived it";
  if (writer != nullptr) env_->Close(writer);
}

}  // namespace
}  // namespace test
}  // namespace telbook

namespace telbook {
namespace test {
namespace {

mode_t ModeOf(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0;
}

// A temporary file is private while it is written; the file it replaces keeps its permissions,
// and a new one gets those of any file the user makes.
TEST(PosixReplaceTest, ReplacedFilesKeepOrGainOrdinaryPermissions) {
  ScratchDir dir;
  Env* env = Env::Default();
  char temp[kMaxPath];
  ASSERT_TRUE(env->MakeTempFile((dir.path() + "/").c_str(), "tel", temp));
  EXPECT_EQ(ModeOf(temp), 0600u);

  mode_t mask = umask(022);
  const std::string fresh = dir.File("export.txt");
  ASSERT_TRUE(env->ReplaceFile(temp, fresh.c_str()));
  EXPECT_EQ(ModeOf(fresh), 0644u);

  ASSERT_TRUE(env->MakeTempFile((dir.path() + "/").c_str(), "tel", temp));
  ASSERT_EQ(chmod(fresh.c_str(), 0640), 0);
  ASSERT_TRUE(env->ReplaceFile(temp, fresh.c_str()));
  EXPECT_EQ(ModeOf(fresh), 0640u);
  umask(mask);
}

}  // namespace
}  // namespace test
}  // namespace telbook
