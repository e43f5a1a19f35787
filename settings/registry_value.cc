// Registry reads and writes of the settings, each opening and closing its key per value.
// The registry's own failures end here as false or 0; nothing is recorded in the error pair.
#include "settings/registry_value.h"

#include <cstring>

#include "records/text_util.h"

namespace telbook {
namespace registry {

bool ReadValue(Env* env, const char* key_path, const char* name, uint8_t* buffer, uint32_t capacity,
               uint32_t* length) {
  KeyHandle key = env->OpenKey(key_path, /*create=*/false);
  if (key == nullptr) return false;
  uint32_t count = 0;
  bool ok = env->QueryValue(key, name != nullptr ? name : "", buffer, capacity, &count);
  env->CloseKey(key);
  if (!ok || count > capacity) return false;
  *length = count;
  return true;
}

int WriteValue(Env* env, const char* key_path, const char* name, const uint8_t* data,
               uint32_t length) {
  KeyHandle key = env->OpenKey(key_path, /*create=*/true);
  if (key == nullptr) return 0;
  bool ok = env->SetValue(key, name != nullptr ? name : "", data, length);
  env->CloseKey(key);
  return ok ? 1 : 0;
}

bool ReadNumber(Env* env, const char* key_path, const char* name, uint32_t capacity,
                uint32_t* number) {
  if (capacity > kMaxNumberCapacity) return false;
  char text[kMaxNumberCapacity + 1];
  uint32_t length = 0;
  if (!ReadValue(env, key_path, name, reinterpret_cast<uint8_t*>(text), capacity, &length)) {
    return false;
  }
  text[length] = '\0';
  *number = text_util::ParseDecimal(text);
  return true;
}

int WriteNumber(Env* env, const char* key_path, const char* name, int32_t value) {
  char text[text_util::kToTextBufferSize];
  if (!text_util::ToText(value, text, 10)) return 0;
  return WriteValue(env, key_path, name, reinterpret_cast<const uint8_t*>(text),
                    static_cast<uint32_t>(strlen(text)));
}

}  // namespace registry
}  // namespace telbook
