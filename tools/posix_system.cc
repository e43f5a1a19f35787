// The tool's operating system calls on POSIX: arguments and streams as they come, mkdir, and
// mkdtemp below $TMPDIR.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "tools/system.h"
#include "tools/tool_error.h"

namespace telbook {
namespace tool {

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

}  // namespace tool
}  // namespace telbook
