// The registry of the POSIX Env: HKEY_CURRENT_USER is a directory tree, a key is a directory and a
// value is a file "<name>.value" holding exactly its data bytes. Only posix_env.cc uses it.
#ifndef TELBOOK_PLATFORM_POSIX_REGISTRY_H_
#define TELBOOK_PLATFORM_POSIX_REGISTRY_H_

#include <cstdint>
#include <string>

#include "platform/env.h"

namespace telbook {

// An open key: the directory that stands for it.
struct PlatformKey {
  std::string directory;
};

namespace posix_registry {

// The store's root directory: $TELBOOK_REGISTRY_DIR, else $XDG_CONFIG_HOME/telbook/registry,
// else $HOME/.config/telbook/registry (empty variables count as unset). Empty when none is set.
std::string RootDirectory();

// A key or value name as it is written in the store: every byte outside [A-Za-z0-9 _-] becomes
// %XX with upper-case hex digits, so no name can hold '/', '.' or '%' of its own.
std::string EscapeName(const char* name);

// Opens the key at path (parts separated by '\'; an empty path is the root itself). With create,
// makes the root and every missing key on the way. Null when a part is empty, a directory cannot
// be made, or (without create) the key does not exist.
KeyHandle OpenKey(const char* path, bool create);

// Reads the value's bytes; false when it is missing, not a plain file, unreadable, or holds more
// than capacity bytes (buffer contents are then unspecified).
bool QueryValue(KeyHandle key, const char* name, void* buffer, uint32_t capacity, uint32_t* length);

// Replaces the value atomically: a temporary file in the key's directory, synced, then renamed
// over the value. On failure the old value is left as it was and no temporary file remains.
bool SetValue(KeyHandle key, const char* name, const void* data, uint32_t length);

void CloseKey(KeyHandle key);

}  // namespace posix_registry
}  // namespace telbook

#endif  // TELBOOK_PLATFORM_POSIX_REGISTRY_H_
