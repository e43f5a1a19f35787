// The POSIX registry store as other programs see it: the root directory, one directory per key,
// one "<name>.value" file of exact bytes per value, escaped names, atomic replacement.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "interface/telbook.h"
#include "platform/env.h"
#include "platform/posix_registry.h"
#include "settings/registry_sandbox.h"
#include "test_util.h"

namespace telbook {
namespace test {
namespace {

std::string AsText(const Bytes& b) { return std::string(b.begin(), b.end()); }

TEST(PosixRegistryTest, RootDirectoryFollowsTheEnvironment) {
  ScopedEnvVar telbook_dir("TELBOOK_REGISTRY_DIR", "/srv/reg");
  ScopedEnvVar xdg("XDG_CONFIG_HOME", "/cfg");
  ScopedEnvVar home("HOME", "/home/u");
  EXPECT_EQ(posix_registry::RootDirectory(), "/srv/reg");
  {
    ScopedEnvVar empty("TELBOOK_REGISTRY_DIR", "");
    EXPECT_EQ(posix_registry::RootDirectory(), "/cfg/telbook/registry");
    ScopedEnvVar no_xdg("XDG_CONFIG_HOME", nullptr);
    EXPECT_EQ(posix_registry::RootDirectory(), "/home/u/.config/telbook/registry");
    ScopedEnvVar no_home("HOME", nullptr);
    EXPECT_EQ(posix_registry::RootDirectory(), "");
    EXPECT_EQ(Env::Default()->OpenKey("SOFTWARE", true), nullptr);
  }
}

TEST(PosixRegistryTest, NamesAreEscapedOutsideTheKeptBytes) {
  EXPECT_EQ(posix_registry::EscapeName("KV Printer Driver Data"), "KV Printer Driver Data");
  EXPECT_EQ(posix_registry::EscapeName("a.b"), "a%2Eb");
  EXPECT_EQ(posix_registry::EscapeName("COLUMN_WIDTH1-x"), "COLUMN_WIDTH1-x");
  EXPECT_EQ(posix_registry::EscapeName("50%/.."), "50%25%2F%2E%2E");
  EXPECT_EQ(posix_registry::EscapeName("\x82\xA0\x7F"), "%82%A0%7F");
  EXPECT_EQ(posix_registry::EscapeName(""), "");
}

TEST(PosixRegistryTest, SettingsLandInKeyDirectoriesAsExactBytes) {
  RegistrySandbox box;
  SessionHolder s;
  ASSERT_EQ(TL_ReadFaxFileInfo(s, "Key.Words"), 0);
  EXPECT_FALSE(FileExists(box.root())) << "reading creates nothing";
  TL_KeyWordInfo k = {};
  k.Count = 1;
  k.KeyWord[0][0] = 'x';
  TL_IniInfoSetKeyWordInfo(s, &k);
  ASSERT_EQ(TL_WriteFaxFileInfo(s, nullptr), 1);
  ASSERT_EQ(TL_WriteKeyWordInfo(s, "Key.Words"), 1);

  const std::string root_key = box.root() + "/SOFTWARE/Kestrix/KV Printer Driver Data/Sendwell";
  EXPECT_EQ(AsText(ReadFileOrDie(root_key + "/FuriganaTab.value")), "1");
  EXPECT_EQ(AsText(ReadFileOrDie(root_key + "/PhonebookList/SORT_ITEM.value")), "2");
  EXPECT_EQ(AsText(ReadFileOrDie(root_key + "/RecipientsList/COLUMN_WIDTH4.value")), "0");
  EXPECT_EQ(AsText(ReadFileOrDie(root_key + "/Key%2EWords.value")), "1\r\nx\r\n");
  // Nothing but values and keys: no temporary file is left.
  std::vector<std::string> names;
  for (const char* n : {"FuriganaTab", "SearchCategory", "SearchOption", "Key%2EWords"}) {
    names.push_back(std::string(n) + ".value");
  }
  names.push_back("PhonebookList");
  names.push_back("RecipientsList");
  std::sort(names.begin(), names.end());
  std::vector<std::string> found;
  for (const auto& e : std::filesystem::directory_iterator(root_key)) {
    found.push_back(e.path().filename().string());
  }
  std::sort(found.begin(), found.end());
  EXPECT_EQ(found, names);
}

TEST(PosixRegistryTest, KeyPathsCannotLeaveTheStore) {
  RegistrySandbox box;
  Env* env = Env::Default();
  EXPECT_EQ(env->OpenKey("a\\\\b", true), nullptr);
  EXPECT_EQ(env->OpenKey("\\a", true), nullptr);
  EXPECT_EQ(env->OpenKey("a\\", true), nullptr);
  KeyHandle key = env->OpenKey("..\\x/y", true);
  ASSERT_NE(key, nullptr);
  ASSERT_TRUE(env->SetValue(key, "../v", "1", 1));
  env->CloseKey(key);
  EXPECT_TRUE(FileExists(box.root() + "/%2E%2E/x%2Fy/%2E%2E%2Fv.value"));
  // Without create a missing key is refused and nothing is made.
  EXPECT_EQ(env->OpenKey("missing\\key", false), nullptr);
  EXPECT_FALSE(FileExists(box.root() + "/missing"));
}

TEST(PosixRegistryTest, ReadsRespectTheCapacityAndWritesReplaceWhole) {
  RegistrySandbox box;
  Env* env = Env::Default();
  KeyHandle key = env->OpenKey("K", true);
  ASSERT_NE(key, nullptr);
  ASSERT_TRUE(env->SetValue(key, "v", "12345", 5));
  char buffer[8] = {};
  uint32_t length = 0;
  EXPECT_FALSE(env->QueryValue(key, "v", buffer, 4, &length));
  EXPECT_TRUE(env->QueryValue(key, "v", buffer, 5, &length));
  EXPECT_EQ(length, 5u);
  ASSERT_TRUE(env->SetValue(key, "v", "9", 1));
  EXPECT_EQ(AsText(ReadFileOrDie(box.root() + "/K/v.value")), "9");
  ASSERT_TRUE(env->SetValue(key, "v", "", 0));
  EXPECT_TRUE(env->QueryValue(key, "v", buffer, 0, &length));
  EXPECT_EQ(length, 0u);
  EXPECT_FALSE(env->QueryValue(key, "none", buffer, 8, &length));

  // A directory where a value should be is no value.
  ASSERT_EQ(mkdir((box.root() + "/K/d.value").c_str(), 0700), 0);
  EXPECT_FALSE(env->QueryValue(key, "d", buffer, 8, &length));

  // A write that cannot complete leaves the old value and no temporary file.
  if (geteuid() != 0) {
    ASSERT_EQ(chmod((box.root() + "/K").c_str(), 0500), 0);
    EXPECT_FALSE(env->SetValue(key, "v", "77", 2));
    ASSERT_EQ(chmod((box.root() + "/K").c_str(), 0700), 0);
    EXPECT_EQ(AsText(ReadFileOrDie(box.root() + "/K/v.value")), "");
  }
  env->CloseKey(key);
  std::vector<std::string> found;
  for (const auto& e : std::filesystem::directory_iterator(box.root() + "/K")) {
    found.push_back(e.path().filename().string());
  }
  std::sort(found.begin(), found.end());
  EXPECT_EQ(found, (std::vector<std::string>{"d.value", "v.value"}));
}

}  // namespace
}  // namespace test
}  // namespace telbook
