// Temporary names, the same on every platform but for the separator and the random source.
// The test hook is process-wide, like the names it predicts.
#include "platform/temp_name.h"

#include <atomic>
#include <cstdio>
#include <cstring>

#include "platform/env.h"

namespace telbook {
namespace temp_name {

namespace {

std::atomic<bool> g_forced{false};
std::atomic<uint32_t> g_forced_unique{0};

bool EndsInSeparator(const char* dir, size_t length) {
  if (length == 0) return false;
  char last = dir[length - 1];
#if defined(_WIN32)
  return last == '\\' || last == '/';
#else
  return last == '/';
#endif
}

}  // namespace

bool Format(const char* dir, const char* prefix, uint32_t unique, char* out) {
#if defined(_WIN32)
  const char* separator = "\\";
#else
  const char* separator = "/";
#endif
  size_t length = strlen(dir);
  if (EndsInSeparator(dir, length)) separator = "";
  int n = snprintf(out, kMaxPath, "%s%s%s%08X.tmp", dir, separator, prefix,
                   static_cast<unsigned>(unique));
  return n > 0 && static_cast<size_t>(n) < kMaxPath;
}

bool Next(uint32_t* unique) {
  if (g_forced.exchange(false)) {
    *unique = g_forced_unique.load();
    return true;
  }
  uint8_t bytes[4];
  if (!RandomBytes(bytes, sizeof bytes)) return false;
  *unique = static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
            static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
  return true;
}

void SetNext(uint32_t unique) {
  g_forced_unique.store(unique);
  g_forced.store(true);
}

}  // namespace temp_name
}  // namespace telbook
