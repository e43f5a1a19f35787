// What the POSIX build adds to the calls of a save and an export: the writers' lock between
// processes and as other programs see it, unnamed files that a killed process cannot leave
// behind, symbolic links, special files written into, permissions as the user has them.
#include <errno.h>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/env.h"
#include "test_util.h"

namespace telbook {
namespace test {
namespace {

// The writers' byte of the published protocol: B + 4.
constexpr off_t kWritersByte = 0x7FFFFFFF0004LL;

class PosixFileSafetyTest : public ::testing::Test {
 protected:
  std::string Dir() const { return dir_.path() + "/"; }

  FileHandle Open(const std::string& path, OpenMode mode) {
    OpenError error = OpenError::kNone;
    return env_->OpenFile(path.c_str(), mode, &error);
  }

  // A new file of the given bytes, open for reading, unnamed where the file system allows.
  FileHandle Holding(const Bytes& data) {
    char name[kMaxPath];
    FileHandle file = env_->CreateTempFile(Dir().c_str(), "tel", TempKind::kScratch, name, nullptr);
    if (file == nullptr) return nullptr;
    uint32_t count = 0;
    if (!env_->Write(file, data.data(), static_cast<uint32_t>(data.size()), &count)) {
      env_->Close(file);
      return nullptr;
    }
    if (name[0] != '\0') unlink(name);
    return file;
  }

  ScratchDir dir_;
  Env* env_ = Env::Default();
};

// A child process that takes something and holds it until the parent kills it.
class Holder {
 public:
  // Runs take() in a child; true once the child reports that it holds what take() took.
  template <typename Take>
  bool Start(Take take) {
    int ready[2];
    if (pipe(ready) != 0) return false;
    pid_ = fork();
    if (pid_ < 0) return false;
    if (pid_ == 0) {
      close(ready[0]);
      alarm(30);  // never outlive a parent that failed before the kill
      char c = take() ? 'y' : 'n';
      if (write(ready[1], &c, 1) != 1) _exit(2);
      for (;;) pause();
    }
    close(ready[1]);
    char c = 0;
    bool held = read(ready[0], &c, 1) == 1 && c == 'y';
    close(ready[0]);
    return held;
  }
  // Ends the child as a crash would.
  void Kill() {
    if (pid_ <= 0) return;
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }
  ~Holder() { Kill(); }

 private:
  pid_t pid_ = -1;
};

TEST_F(PosixFileSafetyTest, WritersLockHoldsAcrossProcessesAndEndsWithItsHolder) {
  const std::string book = dir_.File("book.tel");
  WriteFile(book, Bytes{1, 2, 3});
  Holder other;
  ASSERT_TRUE(other.Start([&] {
    FileHandle file = Open(book, OpenMode::kUpdate);
    return file != nullptr && env_->TryLockWriters(file, nullptr) == LockResult::kLocked;
  }));
  FileHandle mine = Open(book, OpenMode::kUpdate);
  ASSERT_NE(mine, nullptr) << "the lock does not stand in the way of opens";
  EXPECT_EQ(env_->TryLockWriters(mine, nullptr), LockResult::kBusy);
  bool held = false;
  ASSERT_TRUE(env_->IsHeld(book.c_str(), &held, nullptr));
  EXPECT_TRUE(held);
  other.Kill();
  EXPECT_EQ(env_->TryLockWriters(mine, nullptr), LockResult::kLocked);
  env_->Close(mine);
}

// Other programs take part by the published byte: a write lock on B+4 is a writer.
TEST_F(PosixFileSafetyTest, WritersLockIsTheProtocolsFifthByte) {
  const std::string book = dir_.File("book.tel");
  WriteFile(book, Bytes{1});
  int fd = open(book.c_str(), O_RDWR | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  struct flock lock = {};
  lock.l_type = F_WRLCK;
  lock.l_whence = SEEK_SET;
  lock.l_start = kWritersByte;
  lock.l_len = 1;
  ASSERT_EQ(fcntl(fd, F_OFD_SETLK, &lock), 0);
  FileHandle mine = Open(book, OpenMode::kUpdate);
  ASSERT_NE(mine, nullptr);
  EXPECT_EQ(env_->TryLockWriters(mine, nullptr), LockResult::kBusy);
  close(fd);
  ASSERT_EQ(env_->TryLockWriters(mine, nullptr), LockResult::kLocked);
  // And the library's hold is seen the same way by them.
  fd = open(book.c_str(), O_RDWR | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  EXPECT_EQ(fcntl(fd, F_OFD_SETLK, &lock), -1);
  close(fd);
  env_->Close(mine);
}

// A process killed at any moment while it makes, fills and drops unnamed files leaves nothing.
TEST_F(PosixFileSafetyTest, UnnamedFilesLeaveNothingWhenTheProcessIsKilled) {
  char name[kMaxPath];
  FileHandle probe = env_->CreateTempFile(Dir().c_str(), "tel", TempKind::kLinkable, name, nullptr);
  ASSERT_NE(probe, nullptr);
  env_->Close(probe);
  if (name[0] != '\0') {
    unlink(name);
    GTEST_SKIP() << "the file system of " << Dir() << " has no unnamed files";
  }
  const Bytes data(256 * 1024, 0x5A);
  for (int round = 0; round < 40; ++round) {
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      close(ready[0]);
      alarm(30);
      bool told = false;
      for (;;) {
        for (TempKind kind : {TempKind::kScratch, TempKind::kLinkable}) {
          char made[kMaxPath];
          FileHandle file = env_->CreateTempFile(Dir().c_str(), "tel", kind, made, nullptr);
          if (file == nullptr || made[0] != '\0') _exit(3);
          uint32_t count = 0;
          env_->Write(file, data.data(), static_cast<uint32_t>(data.size()), &count);
          env_->Sync(file);
          if (!told) {
            told = write(ready[1], "y", 1) == 1;
          }
          env_->Close(file);
        }
      }
    }
    close(ready[1]);
    char c = 0;
    ASSERT_EQ(read(ready[0], &c, 1), 1);
    close(ready[0]);
    usleep(static_cast<useconds_t>((round * 7919) % 20000));
    kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the child gave up: " << WEXITSTATUS(status);
    ASSERT_EQ(dir_.List(), std::vector<std::string>{}) << "round " << round;
  }
}

TEST_F(PosixFileSafetyTest, SymbolicLinksLeadToTheirTargets) {
  ASSERT_EQ(mkdir(dir_.File("sub").c_str(), 0755), 0);
  WriteFile(dir_.File("sub/book.tel"), Bytes{1});
  ASSERT_EQ(symlink("book.tel", dir_.File("sub/relative.tel").c_str()), 0);
  ASSERT_EQ(symlink("sub/relative.tel", dir_.File("chain.tel").c_str()), 0);
  ASSERT_EQ(symlink(dir_.File("sub/book.tel").c_str(), dir_.File("absolute.tel").c_str()), 0);
  ASSERT_EQ(symlink("gone.tel", dir_.File("dangling.tel").c_str()), 0);
  ASSERT_EQ(symlink("loop2.tel", dir_.File("loop1.tel").c_str()), 0);
  ASSERT_EQ(symlink("loop1.tel", dir_.File("loop2.tel").c_str()), 0);
  struct Case {
    std::string path;
    std::string resolved;  // empty: fails with error
    FileError error;
  };
  const Case cases[] = {
      {dir_.File("sub/book.tel"), dir_.File("sub/book.tel"), FileError::kNone},
      {dir_.File("sub/relative.tel"), dir_.File("sub/book.tel"), FileError::kNone},
      {dir_.File("chain.tel"), dir_.File("sub/book.tel"), FileError::kNone},
      {dir_.File("absolute.tel"), dir_.File("sub/book.tel"), FileError::kNone},
      {dir_.File("dangling.tel"), dir_.File("gone.tel"), FileError::kNone},
      {dir_.File("missing.tel"), dir_.File("missing.tel"), FileError::kNone},
      {dir_.File("loop1.tel"), "", FileError::kLinkLoop},
      {std::string(kMaxPath, 'x'), "", FileError::kTooLong},
  };
  for (const Case& c : cases) {
    char out[kMaxPath];
    FileError error = FileError::kOther;
    bool ok = env_->ResolveLink(c.path.c_str(), out, &error);
    EXPECT_EQ(error, c.error) << c.path;
    EXPECT_EQ(ok, !c.resolved.empty()) << c.path;
    if (ok) {
      EXPECT_EQ(std::string(out), c.resolved) << c.path;
    }
  }

  FileInfo info;
  ASSERT_TRUE(env_->Inspect(dir_.File("chain.tel").c_str(), &info, nullptr));
  EXPECT_TRUE(info.symlink);
  EXPECT_EQ(info.kind, FileKind::kRegular);
  FileInfo target;
  ASSERT_TRUE(env_->Inspect(dir_.File("sub/book.tel").c_str(), &target, nullptr));
  EXPECT_TRUE(SameFile(info.identity, target.identity));
  ASSERT_TRUE(env_->Inspect(dir_.File("dangling.tel").c_str(), &info, nullptr));
  EXPECT_TRUE(info.symlink);
  EXPECT_EQ(info.kind, FileKind::kMissing);
  FileError error = FileError::kNone;
  EXPECT_FALSE(env_->Inspect(dir_.File("loop1.tel").c_str(), &info, &error));
  EXPECT_EQ(error, FileError::kLinkLoop);
  EXPECT_FALSE(env_->Inspect(dir_.File("sub/book.tel/x").c_str(), &info, &error));
  EXPECT_EQ(error, FileError::kNotADirectory);
  bool held = false;
  EXPECT_FALSE(env_->IsHeld(dir_.File("absolute.tel").c_str(), &held, &error));
  EXPECT_EQ(error, FileError::kUnsupported) << "a link at a temporary name is never followed";
}

TEST_F(PosixFileSafetyTest, SpecialFilesAreToldApart) {
  ASSERT_EQ(mkfifo(dir_.File("fifo").c_str(), 0600), 0);
  int listener = socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_GE(listener, 0);
  struct sockaddr_un address = {};
  address.sun_family = AF_UNIX;
  const std::string socket_path = dir_.File("socket");
  ASSERT_LT(socket_path.size(), sizeof address.sun_path);
  strcpy(address.sun_path, socket_path.c_str());
  ASSERT_EQ(bind(listener, reinterpret_cast<struct sockaddr*>(&address), sizeof address), 0);
  struct Case {
    std::string path;
    FileKind kind;
  };
  for (const Case& c :
       {Case{dir_.File("fifo"), FileKind::kFifo}, Case{"/dev/null", FileKind::kCharDevice},
        Case{socket_path, FileKind::kSocket}}) {
    FileInfo info;
    ASSERT_TRUE(env_->Inspect(c.path.c_str(), &info, nullptr)) << c.path;
    EXPECT_EQ(info.kind, c.kind) << c.path;
  }
  close(listener);
}

// A FIFO gets the bytes, in order, as its reader reads them; a reader that goes away early fails
// the write instead of ending the process.
TEST_F(PosixFileSafetyTest, FifoIsWrittenIntoNeverReplaced) {
  const std::string fifo = dir_.File("fifo");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const Bytes data(300000, 0x41);  // more than a pipe holds at once
  FileHandle from = Holding(data);
  ASSERT_NE(from, nullptr);

  for (bool read_all : {true, false}) {
    SCOPED_TRACE(read_all ? "reader reads all" : "reader leaves early");
    pid_t reader = fork();
    ASSERT_GE(reader, 0);
    if (reader == 0) {
      alarm(30);
      int fd = open(fifo.c_str(), O_RDONLY);
      if (fd < 0) _exit(2);
      size_t total = 0;
      char chunk[4096];
      if (read_all) {
        for (;;) {
          ssize_t n = read(fd, chunk, sizeof chunk);
          if (n <= 0) break;
          for (ssize_t i = 0; i < n; ++i) {
            if (chunk[i] != 0x41) _exit(3);
          }
          total += static_cast<size_t>(n);
        }
      }
      _exit(total == (read_all ? data.size() : 0) ? 0 : 4);
    }
    FileError error = FileError::kNone;
    FileHandle to = env_->OpenToWriteInto(fifo.c_str(), &error);
    ASSERT_NE(to, nullptr);
    bool copied = env_->CopyContents(from, to, &error);
    EXPECT_TRUE(env_->Sync(to)) << "nothing to flush in a FIFO";
    env_->Close(to);
    int status = 0;
    ASSERT_EQ(waitpid(reader, &status, 0), reader);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    if (read_all) {
      EXPECT_TRUE(copied);
    } else {
      EXPECT_FALSE(copied);
      EXPECT_EQ(error, FileError::kOther);
    }
    struct stat st;
    ASSERT_EQ(lstat(fifo.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
  }
  env_->Close(from);
}

TEST_F(PosixFileSafetyTest, SocketAndDeviceAreWrittenInto) {
  const Bytes data = {'h', 'e', 'l', 'l', 'o'};
  FileHandle from = Holding(data);
  ASSERT_NE(from, nullptr);

  int listener = socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_GE(listener, 0);
  struct sockaddr_un address = {};
  address.sun_family = AF_UNIX;
  const std::string path = dir_.File("socket");
  strcpy(address.sun_path, path.c_str());
  ASSERT_EQ(bind(listener, reinterpret_cast<struct sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(listen(listener, 1), 0);
  FileHandle to = env_->OpenToWriteInto(path.c_str(), nullptr);
  ASSERT_NE(to, nullptr);
  EXPECT_TRUE(env_->CopyContents(from, to, nullptr));
  env_->Close(to);
  int peer = accept(listener, nullptr, nullptr);
  ASSERT_GE(peer, 0);
  char got[16] = {};
  EXPECT_EQ(read(peer, got, sizeof got), 5);
  EXPECT_EQ(std::string(got), "hello");
  close(peer);
  close(listener);

  to = env_->OpenToWriteInto("/dev/null", nullptr);
  ASSERT_NE(to, nullptr);
  EXPECT_TRUE(env_->CopyContents(from, to, nullptr));
  EXPECT_TRUE(env_->Sync(to));
  env_->Close(to);
  struct stat st;
  ASSERT_EQ(stat("/dev/null", &st), 0);
  EXPECT_TRUE(S_ISCHR(st.st_mode));
  env_->Close(from);
}

mode_t ModeOf(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0;
}

// The new file of a save takes the permissions, owner and group of the file it replaces.
TEST_F(PosixFileSafetyTest, ReplacementKeepsPermissionsOwnerAndGroup) {
  const std::string book = dir_.File("book.tel");
  WriteFile(book, Bytes{1});
  ASSERT_EQ(chmod(book.c_str(), 02640), 0);
  const bool root = geteuid() == 0;
  // The superuser can give the book away, which the replacement must then keep.
  const uid_t owner = root ? 65534 : geteuid();
  const gid_t group = root ? 65534 : getegid();
  ASSERT_EQ(chown(book.c_str(), owner, group), 0);
  ASSERT_EQ(chmod(book.c_str(), 02640), 0);

  char name[kMaxPath];
  FileHandle file = env_->CreateTempFile(Dir().c_str(), "tel", TempKind::kLinkable, name, nullptr);
  ASSERT_NE(file, nullptr);
  FileError error = FileError::kOther;
  ASSERT_TRUE(env_->KeepAttributes(file, book.c_str(), &error));
  EXPECT_EQ(error, FileError::kNone);
  ASSERT_TRUE(env_->LinkIntoPlace(file, name, book.c_str(), nullptr));
  env_->Close(file);
  struct stat st;
  ASSERT_EQ(stat(book.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 02640u);
  EXPECT_EQ(st.st_uid, owner);
  EXPECT_EQ(st.st_gid, group);

  // With nothing to keep, a new file gets what any file of the user gets.
  mode_t mask = umask(027);
  const std::string fresh = dir_.File("fresh.txt");
  file = env_->CreateTempFile(Dir().c_str(), "tel", TempKind::kLinkable, name, nullptr);
  ASSERT_NE(file, nullptr);
  ASSERT_TRUE(env_->KeepAttributes(file, fresh.c_str(), nullptr));
  ASSERT_TRUE(env_->LinkIntoPlace(file, name, fresh.c_str(), nullptr));
  env_->Close(file);
  umask(mask);
  EXPECT_EQ(ModeOf(fresh), 0640u);
}

// Runs check() as an ordinary user: in a child that gives up the superuser's rights when the
// tests run as root. Skips when no such user can reach the test's directory.
template <typename Check>
void AsOrdinaryUser(const std::string& dir, Check check) {
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (geteuid() == 0) {
      struct passwd* nobody = getpwnam("nobody");
      if (nobody == nullptr || setgroups(0, nullptr) != 0 || setgid(nobody->pw_gid) != 0 ||
          setuid(nobody->pw_uid) != 0) {
        _exit(77);
      }
    }
    if (access(dir.c_str(), R_OK | W_OK | X_OK) != 0) _exit(77);
    _exit(check() ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  if (WEXITSTATUS(status) == 77) GTEST_SKIP() << "no ordinary user can reach " << dir;
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

// A book the user may not write, and a directory in which no file may be made, are told apart
// from a missing one, for the ordinary user and, for the book, for the superuser too.
TEST_F(PosixFileSafetyTest, ReadOnlyBooksAndDirectoriesAreNamedAsSuch) {
  const std::string book = dir_.File("book.tel");
  WriteFile(book, Bytes{1});
  ASSERT_EQ(chmod(book.c_str(), 0444), 0);
  FileInfo info;
  ASSERT_TRUE(env_->Inspect(book.c_str(), &info, nullptr));
  EXPECT_FALSE(info.writable) << "no write bit is read-only even to the superuser";

  const std::string shelf = dir_.File("shelf");
  ASSERT_EQ(mkdir(shelf.c_str(), 0777), 0);
  ASSERT_EQ(chmod(shelf.c_str(), 0777), 0);
  ASSERT_EQ(chmod(dir_.path().c_str(), 0777), 0);
  const std::string locked = dir_.File("locked");
  ASSERT_EQ(mkdir(locked.c_str(), 0555), 0);
  AsOrdinaryUser(shelf, [&] {
    Env* env = Env::Default();
    FileInfo seen;
    if (!env->Inspect(locked.c_str(), &seen, nullptr) || seen.writable) return false;
    if (!env->Inspect(shelf.c_str(), &seen, nullptr) || !seen.writable) return false;
    for (TempKind kind : {TempKind::kNamed, TempKind::kLinkable, TempKind::kScratch}) {
      char name[kMaxPath];
      FileError error = FileError::kNone;
      FileHandle file = env->CreateTempFile((locked + "/").c_str(), "tel", kind, name, &error);
      if (file != nullptr || error != FileError::kAccessDenied) return false;
    }
    // The book opens for reading and not for writing.
    OpenError open_error = OpenError::kNone;
    FileHandle reader = env->OpenFile(book.c_str(), OpenMode::kRead, &open_error);
    if (reader == nullptr) return false;
    env->Close(reader);
    FileError error = FileError::kNone;
    return env->OpenToWriteInto(book.c_str(), &error) == nullptr &&
           error == FileError::kAccessDenied;
  });
  chmod(dir_.path().c_str(), 0700);
}

}  // namespace
}  // namespace test
}  // namespace telbook
