// The bytes far past any real data that the library locks to share files: on POSIX the whole
// sharing protocol, on Windows (which has sharing of its own) the writers' lock only.
#ifndef TELBOOK_PLATFORM_SHARE_BYTES_H_
#define TELBOOK_PLATFORM_SHARE_BYTES_H_

#include <cstdint>

namespace telbook {
namespace share_bytes {

constexpr int64_t kBase = 0x7FFFFFFF0000LL;
// A read lock on each says what an open does (POSIX).
constexpr int64_t kHasRead = kBase + 0;
constexpr int64_t kHasWrite = kBase + 1;
constexpr int64_t kDeniesRead = kBase + 2;
constexpr int64_t kDeniesWrite = kBase + 3;
// A write lock on it is the writers' lock (both platforms).
constexpr int64_t kWriters = kBase + 4;
// Every byte of the protocol: a lock on any of them means a live handle holds the file.
constexpr int64_t kCount = 5;

static_assert(kWriters - kBase + 1 == kCount, "the writers' byte ends the protocol's range");

}  // namespace share_bytes
}  // namespace telbook

#endif  // TELBOOK_PLATFORM_SHARE_BYTES_H_
