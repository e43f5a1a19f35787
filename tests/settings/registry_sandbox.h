// A registry of the tests' own for the scope of one test: on POSIX a fresh store directory named
// by TELBOOK_REGISTRY_DIR; on Windows the settings' root key deleted before and after.
#ifndef TELBOOK_TESTS_SETTINGS_REGISTRY_SANDBOX_H_
#define TELBOOK_TESTS_SETTINGS_REGISTRY_SANDBOX_H_

#include <cstdint>
#include <string>

#include "platform/env.h"
#include "test_util.h"

namespace telbook {
namespace test {

// Sets or unsets an environment variable for its scope and restores it afterwards.
class ScopedEnvVar {
 public:
  ScopedEnvVar(const char* name, const char* value);
  ~ScopedEnvVar();
  ScopedEnvVar(const ScopedEnvVar&) = delete;
  ScopedEnvVar& operator=(const ScopedEnvVar&) = delete;

 private:
  std::string name_;
  std::string saved_;
  bool had_ = false;
};

class RegistrySandbox {
 public:
  RegistrySandbox();
  ~RegistrySandbox();
  RegistrySandbox(const RegistrySandbox&) = delete;
  RegistrySandbox& operator=(const RegistrySandbox&) = delete;

  // Stores data as the value's exact bytes, creating the key; through the platform's registry.
  void Seed(const char* key_path, const char* name, const std::string& data);
  // The value's bytes; false when it cannot be read (missing, or above 4096 bytes).
  bool Value(const char* key_path, const char* name, std::string* data);
  bool KeyExists(const char* key_path);
  // The POSIX store's root; empty on Windows.
  const std::string& root() const { return root_; }

 private:
  void Clean();
  ScratchDir dir_;
  std::string root_;
  ScopedEnvVar* var_ = nullptr;
};

}  // namespace test
}  // namespace telbook

#endif  // TELBOOK_TESTS_SETTINGS_REGISTRY_SANDBOX_H_
