// Helpers of the fuzz targets and the seed generator: a private scratch directory and whole-file
// writes, so each target can hand its input to the library as a real file.
#ifndef TELBOOK_FUZZ_FUZZ_UTIL_H_
#define TELBOOK_FUZZ_FUZZ_UTIL_H_

#include <cstddef>
#include <cstdint>
#include <string>

namespace telbook {
namespace fuzz {

// A directory made once per process and set as its temporary directory; removed at exit.
const std::string& ScratchDir();
bool WriteWholeFile(const std::string& path, const uint8_t* data, size_t size);
// Removes every file in the scratch directory but the ones named in keep (comma-separated).
void CleanScratch();

}  // namespace fuzz
}  // namespace telbook

#endif  // TELBOOK_FUZZ_FUZZ_UTIL_H_
