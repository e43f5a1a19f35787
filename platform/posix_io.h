// Small POSIX file helpers shared by the POSIX Env and its registry store: a complete write and
// the flush of a directory after a rename in it.
#ifndef TELBOOK_PLATFORM_POSIX_IO_H_
#define TELBOOK_PLATFORM_POSIX_IO_H_

#include <errno.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>

namespace telbook {
namespace posix_io {

// Writes all length bytes, going on after interrupted or partial writes; false on an error.
inline bool WriteAll(int fd, const uint8_t* data, size_t length) {
  while (length > 0) {
    ssize_t n = write(fd, data, length);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    length -= static_cast<size_t>(n);
  }
  return true;
}

// Makes a rename in dir durable; best effort, since not every file system can flush a directory.
inline void SyncDirectory(const char* dir) {
  int fd = open(dir, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  fsync(fd);
  close(fd);
}

}  // namespace posix_io
}  // namespace telbook

#endif  // TELBOOK_PLATFORM_POSIX_IO_H_
