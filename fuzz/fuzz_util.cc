// Scratch directory and file helpers shared by the fuzz targets and the seed generator.
#include "fuzz_util.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace telbook {
namespace fuzz {

namespace fs = std::filesystem;

namespace {
void RemoveScratch() {
  std::error_code ec;
  fs::remove_all(ScratchDir(), ec);
}
}  // namespace

const std::string& ScratchDir() {
  // Never destroyed: the exit handler that removes the directory still needs its name.
  static const std::string* dir = [] {
    std::string templ = (fs::temp_directory_path() / "telbook-fuzz-XXXXXX").string();
    char* made = mkdtemp(templ.data());
    if (made == nullptr) {
      perror("mkdtemp");
      abort();
    }
    setenv("TMPDIR", made, 1);
    std::atexit(RemoveScratch);
    return new std::string(made);
  }();
  return *dir;
}

bool WriteWholeFile(const std::string& path, const uint8_t* data, size_t size) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  return static_cast<bool>(out);
}

void CleanScratch() {
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(ScratchDir(), ec)) {
    fs::remove_all(entry.path(), ec);
  }
}

}  // namespace fuzz
}  // namespace telbook
