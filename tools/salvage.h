// What of a damaged phone book can be read, and a copy of it holding only that, written through
// the library's salvage; the temporary files the copies live in.
#ifndef TELBOOK_TOOLS_SALVAGE_H_
#define TELBOOK_TOOLS_SALVAGE_H_

#include <cstdint>
#include <string>
#include <vector>

#include "platform/env.h"

namespace telbook {
namespace tool {

class Book;

// A new, empty temporary file of the tool, named as the library names its own ("tel", random
// characters, ".tmp") so that leftovers are found alike, and held open while it lives so that no
// sweep of leftovers takes it; deleted when this goes out of scope unless kept. In dir, or in the
// temporary directory when dir is empty. Throws ToolError(kExitFile) naming the directory when no
// file can be made there.
class TempFile {
 public:
  explicit TempFile(const std::string& dir = "");
  ~TempFile();
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;
  const std::string& path() const { return path_; }
  // Holds whatever file is at the path now, after a step that put a new one there (a save or an
  // export replaces the file it writes): a held file is no leftover to another program's sweep.
  // The hold takes nothing from others: they may read, write, rename and delete the file.
  void Hold();
  // The file is someone else's now: it is not deleted.
  void Keep() { path_.clear(); }

 private:
  std::string path_;
  FileHandle held_ = nullptr;
};

// Every used slot of the open book, personal slots 1 to 9999 then group slots 1 to 9999, sorted
// by whether the library reads its record (the list item read of its walks).
struct Survey {
  std::vector<uint16_t> readable;
  std::vector<uint16_t> unreadable;
};
Survey SurveyRecords(const Book& book);

// Writes a phone book at path (replaced) holding the records of `keep`, under their own numbers,
// converted as a save converts them (repair: with the repair of their texts) or as the subset
// does; throws ToolError(kExitBook) with the library's reason when it cannot.
void WriteSalvage(const Book& book, const std::string& path, const std::vector<uint16_t>& keep,
                  bool repair);

}  // namespace tool
}  // namespace telbook

#endif  // TELBOOK_TOOLS_SALVAGE_H_
