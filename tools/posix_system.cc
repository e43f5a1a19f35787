// The tool's operating system calls on POSIX: arguments and streams as they come, mkdir,
// mkdtemp below $TMPDIR, and new files written whole and flushed.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "tools/system.h"
#include "tools/tool_error.h"

namespace telbook {
namespace tool {

namespace {

// Writes every byte and flushes them to the device: 0, or the errno of the failure.
int WriteAllAndFlush(int fd, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return errno;
    if (n == 0) return EIO;
    done += static_cast<size_t>(n);
  }
  return fsync(fd) == 0 ? 0 : errno;
}

}  // namespace

const char kTemporaryDirectoryWords[] = "$TMPDIR or /tmp";

std::vector<std::string> Utf8Arguments(int argc, char** argv) {
  return std::vector<std::string>(argv, argv + argc);
}

void PrepareStandardStreams() {}

std::string ReadStandardInput() {
  std::string bytes;
  char buffer[65536];
  while (true) {
    ssize_t n = read(0, buffer, sizeof(buffer));
    if (n == 0) break;
    if (n < 0) {
      if (errno == EINTR) continue;
      throw ToolError(kExitFile, "-",
                      std::string("cannot read standard input: ") + strerror(errno));
    }
    bytes.append(buffer, static_cast<size_t>(n));
  }
  return bytes;
}

void MakeDirectory(const std::string& path) {
  if (mkdir(path.c_str(), 0777) != 0 && errno != EEXIST) {
    throw ToolError(kExitFile, path, std::string("cannot make the directory: ") + strerror(errno));
  }
}

std::string MakeUniqueDirectory(const std::string& prefix) {
  const char* tmp = getenv("TMPDIR");
  std::string base = tmp != nullptr && tmp[0] != '\0' ? tmp : "/tmp";
  std::string pattern = base + "/" + prefix + "XXXXXX";
  if (mkdtemp(&pattern[0]) == nullptr) {
    throw ToolError(kExitFile, base, std::string("cannot make a directory: ") + strerror(errno));
  }
  return pattern;
}

void UseAsTemporaryDirectory(const std::string& dir) { setenv("TMPDIR", dir.c_str(), 1); }

bool WriteNewFile(const std::string& path, const std::string& bytes, const std::string& like) {
  struct stat st;
  mode_t mode = stat(like.c_str(), &st) == 0 ? (st.st_mode & 0777) : 0666;
  int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
  if (fd < 0) {
    if (errno == EEXIST) return false;
    throw ToolError(kExitFile, path, std::string("cannot write: ") + strerror(errno));
  }
  int saved = WriteAllAndFlush(fd, bytes);
  if (close(fd) != 0 && saved == 0) saved = errno;
  if (saved != 0) {
    unlink(path.c_str());
    throw ToolError(kExitFile, path, std::string("cannot write: ") + strerror(saved));
  }
  return true;
}

}  // namespace tool
}  // namespace telbook
