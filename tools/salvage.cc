// Surveying an open book record by record through the library's reads, and its salvage through
// the library's book-file writer; temporary files through the library's platform layer.
#include "tools/salvage.h"

#include "interface/inspection.h"
#include "platform/env.h"
#include "records/record_converter.h"
#include "store/format.h"
#include "store/record_index.h"
#include "tools/book.h"
#include "tools/tool_error.h"

namespace telbook {
namespace tool {

TempFile::TempFile(const std::string& dir) {
  Env* env = Env::Default();
  char directory[kMaxPath] = {};
  if (dir.empty()) {
    if (!env->TempDirectory(directory)) {
      throw ToolError(kExitFile, "", "cannot find the temporary directory");
    }
  } else if (dir.size() + 1 < kMaxPath) {
    std::string with_separator = dir;
    if (with_separator.back() != '/' && with_separator.back() != '\\') with_separator += '/';
    with_separator.copy(directory, with_separator.size());
  }
  char name[kMaxPath] = {};
  FileError error = FileError::kNone;
  FileHandle file = directory[0] == '\0'
                        ? nullptr
                        : env->CreateTempFile(directory, "tel", TempKind::kNamed, name, &error);
  if (file == nullptr) {
    throw ToolError(kExitFile, directory[0] == '\0' ? dir : directory,
                    "cannot make a temporary file in this directory");
  }
  // The handle that made it lets no one else write it (on Windows): a sharing one holds it.
  env->Close(file);
  path_ = name;
  Hold();
}

TempFile::~TempFile() {
  Env* env = Env::Default();
  if (held_ != nullptr) env->Close(held_);
  if (!path_.empty()) env->DeleteFile(path_.c_str());
}

void TempFile::Hold() {
  Env* env = Env::Default();
  if (held_ != nullptr) env->Close(held_);
  OpenError error = OpenError::kNone;
  held_ = path_.empty() ? nullptr : env->OpenFile(path_.c_str(), OpenMode::kRead, &error);
}

Survey SurveyRecords(const Book& book) {
  Survey survey;
  auto visit = [&](uint32_t number) {
    uint16_t n = static_cast<uint16_t>(number);
    const uint8_t* slot = inspection::SlotOf(book.session(), n);
    if (slot == nullptr || Slot::kind(slot) == format::kKindFree) return;
    TL_ListItem item{};
    bool read = inspection::ReadListItem(book.session(), n, &item) == 0;
    (read ? survey.readable : survey.unreadable).push_back(n);
  };
  for (uint32_t n = format::kFirstPersonal; n <= format::kLastPersonal; ++n) visit(n);
  for (uint32_t n = format::kFirstGroup; n <= format::kLastGroup; ++n) visit(n);
  return survey;
}

void WriteSalvage(const Book& book, const std::string& path, const std::vector<uint16_t>& keep,
                  bool repair) {
  SalvageConversion conversion(repair);
  for (uint16_t n : keep) conversion.Keep(n);
  if (inspection::WriteSalvage(book.session(), path.c_str(), &conversion) != 0) {
    book.Fail("cannot write the records that can be read to " + path);
  }
}

}  // namespace tool
}  // namespace telbook
