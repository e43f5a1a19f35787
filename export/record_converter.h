// The record conversion: a stored record decoded and encoded again in the current format,
// with or without the repair of its texts; and the phone book subset writer.
#ifndef TELBOOK_EXPORT_RECORD_CONVERTER_H_
#define TELBOOK_EXPORT_RECORD_CONVERTER_H_

namespace telbook {

class FileStore;

class RecordConverter {
 public:
  explicit RecordConverter(FileStore* store) : store_(store) {}
  virtual ~RecordConverter() = default;

 private:
  FileStore* store_;
};

}  // namespace telbook

#endif  // TELBOOK_EXPORT_RECORD_CONVERTER_H_
