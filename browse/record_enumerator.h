// The record enumerator: every personal entry, then every group, handed to the host for its own
// search.
#ifndef TELBOOK_BROWSE_RECORD_ENUMERATOR_H_
#define TELBOOK_BROWSE_RECORD_ENUMERATOR_H_

namespace telbook {

class FileStore;

class RecordEnumerator {
 public:
  explicit RecordEnumerator(FileStore* store) : store_(store) {}
  virtual ~RecordEnumerator() = default;

 private:
  FileStore* store_;
};

}  // namespace telbook

#endif  // TELBOOK_BROWSE_RECORD_ENUMERATOR_H_
