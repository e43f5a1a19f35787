// The text export: comma-separated lines of chosen entries and groups, CR LF, code page 932.
// Run by the export driver.
#ifndef TELBOOK_EXPORT_TEXT_EXPORT_H_
#define TELBOOK_EXPORT_TEXT_EXPORT_H_

namespace telbook {

class FileStore;

class TextExportWriter {
 public:
  explicit TextExportWriter(FileStore* store) : store_(store) {}
  virtual ~TextExportWriter() = default;

 private:
  FileStore* store_;
};

}  // namespace telbook

#endif  // TELBOOK_EXPORT_TEXT_EXPORT_H_
