// The Windows Env where it differs from POSIX: the read-only attribute, working copies deleted on
// close, replacing a book another program holds, devices, global memory blocks and the registry
// below HKEY_CURRENT_USER (pointed at a key of the test's own).
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#undef CopyFile
#undef DeleteFile
#undef ReplaceFile

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

class Win32FileTest : public ::testing::Test {
 protected:
  ScratchDir dir_;
  Env* env_ = Env::Default();
};

bool IsReadOnly(const std::string& path) {
  DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0;
}

TEST_F(Win32FileTest, CopyKeepsReadOnlyUntilCleared) {
  const std::string from = dir_.File("from.tel");
  const std::string to = dir_.File("to.tel");
  WriteFile(from, Bytes{1, 2});
  ASSERT_TRUE(SetFileAttributesA(from.c_str(), FILE_ATTRIBUTE_READONLY));
  ASSERT_TRUE(env_->CopyFile(from.c_str(), to.c_str(), true));
  EXPECT_TRUE(IsReadOnly(to));

  EXPECT_TRUE(env_->ClearReadOnly(to.c_str()));
  EXPECT_FALSE(IsReadOnly(to));
  OpenError error = OpenError::kNone;
  FileHandle f = env_->OpenFile(to.c_str(), OpenMode::kUpdate, &error);
  EXPECT_NE(f, nullptr);
  if (f != nullptr) env_->Close(f);
  EXPECT_TRUE(env_->ClearReadOnly(to.c_str()));  // nothing to clear is no failure
  EXPECT_FALSE(env_->ClearReadOnly(dir_.File("missing").c_str()));
  SetFileAttributesA(from.c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(Win32FileTest, ReplaceMovesOverAnExistingFile) {
  const std::string from = dir_.File("new.tel");
  const std::string to = dir_.File("book.tel");
  WriteFile(from, Bytes{1});
  WriteFile(to, Bytes{2, 2});
  EXPECT_TRUE(env_->ReplaceFile(from.c_str(), to.c_str()));
  EXPECT_FALSE(FileExists(from));
  EXPECT_EQ(ReadFileOrDie(to), Bytes{1});
}

TEST_F(Win32FileTest, DirectoryDoesNotOpenAsAFile) {
  OpenError error = OpenError::kNone;
  EXPECT_EQ(env_->OpenFile(dir_.path().c_str(), OpenMode::kRead, &error), nullptr);
  EXPECT_EQ(error, OpenError::kOther);
  EXPECT_EQ(env_->OpenFile(dir_.File("no\\such.tel").c_str(), OpenMode::kCreate, &error), nullptr);
}

// The working copy is the system's to delete: it goes when its handle closes, and a killed
// process's handles close too. While it lives, a clean-up sees it held.
TEST_F(Win32FileTest, ScratchFileIsDeletedOnClose) {
  char name[kMaxPath];
  const std::string dir = dir_.path() + "\\";
  FileHandle file = env_->CreateTempFile(dir.c_str(), "tel", TempKind::kScratch, name, nullptr);
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(name[0], '\0');
  std::vector<std::string> listed = dir_.List();
  ASSERT_EQ(listed.size(), 1u);
  EXPECT_EQ(listed[0].compare(0, 3, "tel"), 0);
  bool held = false;
  ASSERT_TRUE(env_->IsHeld(dir_.File(listed[0]).c_str(), &held, nullptr));
  EXPECT_TRUE(held);
  uint32_t count = 0;
  ASSERT_TRUE(env_->Write(file, "abc", 3, &count));
  EXPECT_TRUE(env_->Close(file));
  EXPECT_EQ(dir_.List(), std::vector<std::string>{});
}

// Another program holding the book without delete sharing keeps it from being replaced; the new
// bytes then go over the old ones through an open that shares what it holds.
TEST_F(Win32FileTest, BookHeldWithoutDeleteSharingIsWrittenInPlace) {
  const std::string book = dir_.File("book.tel");
  WriteFile(book, Bytes{1, 1, 1, 1, 1});
  HANDLE other = CreateFileA(book.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                             nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(other, INVALID_HANDLE_VALUE);

  char name[kMaxPath];
  const std::string dir = dir_.path() + "\\";
  FileHandle fresh = env_->CreateTempFile(dir.c_str(), "tel", TempKind::kLinkable, name, nullptr);
  ASSERT_NE(fresh, nullptr);
  ASSERT_NE(name[0], '\0');
  uint32_t count = 0;
  ASSERT_TRUE(env_->Write(fresh, "\x02\x02\x02", 3, &count));
  ASSERT_TRUE(env_->Sync(fresh));
  FileError error = FileError::kNone;
  EXPECT_FALSE(env_->LinkIntoPlace(fresh, name, book.c_str(), &error));
  EXPECT_TRUE(error == FileError::kSharingViolation || error == FileError::kAccessDenied);
  EXPECT_EQ(ReadFileOrDie(book), (Bytes{1, 1, 1, 1, 1}));

  FileHandle into = env_->OpenToWriteInto(book.c_str(), &error);
  ASSERT_NE(into, nullptr);
  EXPECT_TRUE(env_->CopyContents(fresh, into, &error));
  EXPECT_TRUE(env_->Sync(into));
  EXPECT_TRUE(env_->Close(into));
  env_->Close(fresh);
  EXPECT_TRUE(env_->DeleteFile(name));
  CloseHandle(other);
  EXPECT_EQ(ReadFileOrDie(book), (Bytes{2, 2, 2}));
}

TEST_F(Win32FileTest, DevicesAreWrittenIntoAndNeverReplaced) {
  FileInfo info;
  ASSERT_TRUE(env_->Inspect("NUL", &info, nullptr));
  EXPECT_EQ(info.kind, FileKind::kCharDevice);
  char name[kMaxPath];
  const std::string dir = dir_.path() + "\\";
  FileHandle from = env_->CreateTempFile(dir.c_str(), "tel", TempKind::kScratch, name, nullptr);
  ASSERT_NE(from, nullptr);
  uint32_t count = 0;
  ASSERT_TRUE(env_->Write(from, "abc", 3, &count));
  FileHandle to = env_->OpenToWriteInto("NUL", nullptr);
  ASSERT_NE(to, nullptr);
  EXPECT_TRUE(env_->CopyContents(from, to, nullptr));
  EXPECT_TRUE(env_->Sync(to));
  env_->Close(to);
  env_->Close(from);
}

TEST_F(Win32FileTest, MemoryBlocksAreLockedGlobalMemory) {
  void* block = env_->AllocBlock(80000);
  ASSERT_NE(block, nullptr);
  HGLOBAL handle = GlobalHandle(block);
  ASSERT_NE(handle, nullptr);
  EXPECT_EQ(GlobalFlags(handle) & GMEM_LOCKCOUNT, 1u);
  EXPECT_GE(GlobalSize(handle), 80000u);
  env_->FreeBlock(block);
}

// Points HKEY_CURRENT_USER of this process at a fresh key, deleted at the end.
class Win32RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char name[64];
    snprintf(name, sizeof name, "Software\\telbook-env-test-%lu",
             static_cast<unsigned long>(GetCurrentProcessId()));
    path_ = name;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, path_.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                              KEY_ALL_ACCESS, nullptr, &root_, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegOverridePredefKey(HKEY_CURRENT_USER, root_), ERROR_SUCCESS);
    overridden_ = true;
  }
  void TearDown() override {
    if (overridden_) RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
    if (root_ != nullptr) {
      RegCloseKey(root_);
      RegDeleteTreeA(HKEY_CURRENT_USER, path_.c_str());
      RegDeleteKeyA(HKEY_CURRENT_USER, path_.c_str());
    }
  }

  std::string path_;
  HKEY root_ = nullptr;
  bool overridden_ = false;
  Env* env_ = Env::Default();
};

TEST_F(Win32RegistryTest, OpenMakesMissingKeysOnlyWhenAskedTo) {
  EXPECT_EQ(env_->OpenKey("A\\B\\C", false), nullptr);
  KeyHandle key = env_->OpenKey("A\\B\\C", true);
  ASSERT_NE(key, nullptr);
  env_->CloseKey(key);
  key = env_->OpenKey("A\\B\\C", false);
  EXPECT_NE(key, nullptr);
  env_->CloseKey(key);
  env_->CloseKey(nullptr);
}

TEST_F(Win32RegistryTest, ValuesHoldExactlyTheirBytes) {
  KeyHandle key = env_->OpenKey("K", true);
  ASSERT_NE(key, nullptr);
  // A zero behind the data must not be stored with it.
  const char text[] = "1234";
  ASSERT_TRUE(env_->SetValue(key, "V", text, 4));
  char buffer[8] = {};
  uint32_t length = 0;
  ASSERT_TRUE(env_->QueryValue(key, "V", buffer, 4, &length));
  EXPECT_EQ(length, 4u);
  EXPECT_EQ(std::string(buffer, length), "1234");
  EXPECT_FALSE(env_->QueryValue(key, "V", buffer, 3, &length)) << "longer than the capacity";
  EXPECT_FALSE(env_->QueryValue(key, "Missing", buffer, 8, &length));

  const char with_zero[] = "7\0x";
  ASSERT_TRUE(env_->SetValue(key, "Z", with_zero, 3));
  ASSERT_TRUE(env_->QueryValue(key, "Z", buffer, 8, &length));
  EXPECT_EQ(length, 3u);
  EXPECT_EQ(std::string(buffer, length), std::string("7\0x", 3));

  ASSERT_TRUE(env_->SetValue(key, "E", "", 0));
  ASSERT_TRUE(env_->QueryValue(key, "E", buffer, 8, &length));
  EXPECT_EQ(length, 0u);

  DWORD type = 0;
  HKEY raw = nullptr;
  ASSERT_EQ(RegOpenKeyExA(root_, "K", 0, KEY_READ, &raw), ERROR_SUCCESS);
  EXPECT_EQ(RegQueryValueExA(raw, "V", nullptr, &type, nullptr, nullptr), ERROR_SUCCESS);
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  RegCloseKey(raw);
  env_->CloseKey(key);
}

}  // namespace
}  // namespace test
}  // namespace telbook
