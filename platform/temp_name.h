// Names of temporary files: a prefix, eight hex digits from the system's random source and
// ".tmp". Tries a name at a time; the caller creates each exclusively and asks again on a clash.
#ifndef TELBOOK_PLATFORM_TEMP_NAME_H_
#define TELBOOK_PLATFORM_TEMP_NAME_H_

#include <cstddef>
#include <cstdint>

namespace telbook {
namespace temp_name {

// How many names a creation tries before it gives up: a clash of random names is rare, so
// running out means something plants files at the names as fast as they are tried.
constexpr int kAttempts = 100;

// Writes dir, a separator unless dir ends in one, prefix, unique as eight upper-case hex digits
// and ".tmp" into out[kMaxPath]. False, with out undefined, when that does not fit.
bool Format(const char* dir, const char* prefix, uint32_t unique, char* out);

// The unique part of the next name to try: random, or once the number a test set. False when
// the system's random source fails.
bool Next(uint32_t* unique);

// For tests: the next name tried, in any process-wide creation, uses unique.
void SetNext(uint32_t unique);

// Fills buffer from the system's random source; each platform's Env defines it.
bool RandomBytes(void* buffer, size_t length);

}  // namespace temp_name
}  // namespace telbook

#endif  // TELBOOK_PLATFORM_TEMP_NAME_H_
