// Creating and opening a phone book: the buffers, the file held in read mode, the header read,
// and the tab browser's rebuild. Refuses while a phone book is open.
#ifndef TELBOOK_STORE_OPENER_H_
#define TELBOOK_STORE_OPENER_H_

#include "store/store_client.h"

namespace telbook {

class FileStore;
class TabBrowser;

class Opener : public StoreClient {
 public:
  explicit Opener(FileStore* store) : StoreClient(store) {}

  void Wire(TabBrowser* tab_browser, FileAccessor* session_accessor) {
    tab_browser_ = tab_browser;
    session_accessor_ = session_accessor;
  }

  // 0, or -1. A path of 260 bytes or more records (25, 16) and opens nothing.
  short Create(const char* path);
  // 0, -1, or -2 with (25, 24) when another program holds the file.
  short Open(const char* path);

 private:
  // Steps shared by create and open up to the open of the file; false ends the call.
  bool Prepare(const char* path, short* status);
  // Header read and rebuild on the open handle; on failure closes it and releases the buffers.
  short Finish();

  TabBrowser* tab_browser_ = nullptr;
  FileAccessor* session_accessor_ = nullptr;
};

}  // namespace telbook

#endif  // TELBOOK_STORE_OPENER_H_
