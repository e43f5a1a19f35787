// Writes personal entries, groups and favourite names to the working copy, and owns the switch
// from the phone book to its working copy that comes before the first change of an open.
#ifndef TELBOOK_RECORDS_RECORD_WRITER_H_
#define TELBOOK_RECORDS_RECORD_WRITER_H_

#include <cstdint>

#include "store/errors.h"
#include "store/file_accessor.h"
#include "store/record_index.h"
#include "store/store_client.h"

namespace telbook {

class FileStore;
class TabBrowser;

class RecordWriter {
 public:
  explicit RecordWriter(FileStore* store)
      : store_(store), client_(store), lookup_(store), accessor_(store) {}
  virtual ~RecordWriter() = default;

  void Wire(TabBrowser* tab_browser) { tab_browser_ = tab_browser; }

  // 1 after the switch to the working copy, 0 while the session works on the phone book itself.
  uint16_t modified() const { return modified_; }
  void ClearModified() { modified_ = 0; }

  // Copies the phone book to a new working copy and reopens the session on it in update mode.
  // 0, or -1 with (25, 16) or the header read's pair; on failure the session stays open on the
  // phone book in read mode, as before the call.
  short SwitchToWorkingCopy();
  // Switches when the session is not yet modified. 0 when it works on the working copy.
  short EnsureWorkingCopy() { return modified_ == 1 ? kOk : SwitchToWorkingCopy(); }

 private:
  FileStore* store_;
  StoreClient client_;
  IndexLookup lookup_;
  FileAccessor accessor_;
  TabBrowser* tab_browser_ = nullptr;
  uint16_t modified_ = 0;
};

}  // namespace telbook

#endif  // TELBOOK_RECORDS_RECORD_WRITER_H_
