// The export driver: TL_writeSrchData, its group expansion and the temporary file.
// It runs the text export writer or the phone book subset.
#ifndef TELBOOK_EXPORT_EXPORT_DRIVER_H_
#define TELBOOK_EXPORT_EXPORT_DRIVER_H_

namespace telbook {

class FileStore;

class ExportDriver {
 public:
  explicit ExportDriver(FileStore* store) : store_(store) {}
  virtual ~ExportDriver() = default;

 private:
  FileStore* store_;
};

}  // namespace telbook

#endif  // TELBOOK_EXPORT_EXPORT_DRIVER_H_
