// Files of the end-to-end tests, read and written whole; the same on every platform.
#include "tests/tool/tool_runner.h"

#include <fstream>
#include <sstream>

namespace telbook {
namespace tooltest {

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

void WriteAll(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace tooltest
}  // namespace telbook
