// The tests' registry sandbox; see registry_sandbox.h.
#include "settings/registry_sandbox.h"

#include <gtest/gtest.h>

#include <cstdlib>

#if defined(_WIN32)
#include <windows.h>
#endif

#include "settings/registry_value.h"

namespace telbook {
namespace test {

ScopedEnvVar::ScopedEnvVar(const char* name, const char* value) : name_(name) {
  const char* old = getenv(name);
  had_ = old != nullptr;
  if (had_) saved_ = old;
#if defined(_WIN32)
  _putenv_s(name, value != nullptr ? value : "");
#else
  if (value != nullptr) {
    setenv(name, value, 1);
  } else {
    unsetenv(name);
  }
#endif
}

ScopedEnvVar::~ScopedEnvVar() {
#if defined(_WIN32)
  _putenv_s(name_.c_str(), had_ ? saved_.c_str() : "");
#else
  if (had_) {
    setenv(name_.c_str(), saved_.c_str(), 1);
  } else {
    unsetenv(name_.c_str());
  }
#endif
}

RegistrySandbox::RegistrySandbox() {
#if !defined(_WIN32)
  root_ = dir_.File("registry");
  var_ = new ScopedEnvVar("TELBOOK_REGISTRY_DIR", root_.c_str());
#endif
  Clean();
}

RegistrySandbox::~RegistrySandbox() {
  Clean();
  delete var_;
}

#if defined(_WIN32)
namespace {
// Deletes a key with everything below it; RegDeleteKeyA takes only keys without sub-keys.
bool DeleteKeyTree(HKEY parent, const std::string& path) {
  HKEY key;
  if (RegOpenKeyExA(parent, path.c_str(), 0, KEY_READ | KEY_WRITE, &key) != ERROR_SUCCESS) {
    return false;
  }
  char name[256];
  for (;;) {
    DWORD length = sizeof(name);
    if (RegEnumKeyExA(key, 0, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
      break;
    }
    if (!DeleteKeyTree(key, name)) break;
  }
  RegCloseKey(key);
  return RegDeleteKeyA(parent, path.c_str()) == ERROR_SUCCESS;
}
}  // namespace
#endif

void RegistrySandbox::Clean() {
#if defined(_WIN32)
  DeleteKeyTree(HKEY_CURRENT_USER, registry::kRootKey);
  // The parents too, when nothing else lives below them.
  RegDeleteKeyA(HKEY_CURRENT_USER, "SOFTWARE\\Kestrix\\KV Printer Driver Data");
  RegDeleteKeyA(HKEY_CURRENT_USER, "SOFTWARE\\Kestrix");
#endif
}

void RegistrySandbox::Seed(const char* key_path, const char* name, const std::string& data) {
  Env* env = Env::Default();
  KeyHandle key = env->OpenKey(key_path, true);
  ASSERT_NE(key, nullptr) << key_path;
  bool ok = env->SetValue(key, name, data.data(), static_cast<uint32_t>(data.size()));
  env->CloseKey(key);
  ASSERT_TRUE(ok) << name;
}

bool RegistrySandbox::Value(const char* key_path, const char* name, std::string* data) {
  Env* env = Env::Default();
  KeyHandle key = env->OpenKey(key_path, false);
  if (key == nullptr) return false;
  char buffer[4096];
  uint32_t length = 0;
  bool ok = env->QueryValue(key, name, buffer, sizeof(buffer), &length);
  env->CloseKey(key);
  if (ok) data->assign(buffer, length);
  return ok;
}

bool RegistrySandbox::KeyExists(const char* key_path) {
  Env* env = Env::Default();
  KeyHandle key = env->OpenKey(key_path, false);
  if (key == nullptr) return false;
  env->CloseKey(key);
  return true;
}

}  // namespace test
}  // namespace telbook
