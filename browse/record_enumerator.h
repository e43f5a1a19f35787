// The record enumerator: every personal entry, then every group, handed to the host one list item
// at a time for its own search.
#ifndef TELBOOK_BROWSE_RECORD_ENUMERATOR_H_
#define TELBOOK_BROWSE_RECORD_ENUMERATOR_H_

#include <cstdint>

#include "browse/tab_browser.h"
#include "interface/telbook.h"
#include "records/record_reader.h"
#include "store/errors.h"

namespace telbook {

class FileStore;

class RecordEnumerator final {
 public:
  explicit RecordEnumerator(FileStore* store) : store_(store), reader_(store) {}
  RecordEnumerator(const RecordEnumerator&) = delete;
  RecordEnumerator& operator=(const RecordEnumerator&) = delete;

  // The slot scan is the tab browser's, under the code that matches every used slot.
  void Wire(const TabBrowser* scanner) { scanner_ = scanner; }

  // TL_beginSRCH: starts an enumeration and writes the number of records it announces (the
  // header's personal count plus its group count, as 16-bit values). -1 with no pair recorded,
  // nothing started and the count untouched, while an enumeration runs, with no phone book open,
  // or with no place for the count.
  short Begin(uint16_t* count);

  // TL_readSrchData: the next used slot's list item, personal slots in slot order first, then
  // group slots. -1 with no pair recorded before TL_beginSRCH, once the announced count was
  // handed out, with no phone book open, with no list item, or when no used slot remains (the
  // item untouched). A record that cannot be read returns the list item read's status and pair;
  // it counts as handed out, so the next call moves on to the following record.
  short Read(TL_ListItem* item);

  // TL_endSRCH: always 0.
  short End() {
    begun_ = false;
    return kOk;
  }

 private:
  FileStore* store_;
  RecordReader reader_;
  const TabBrowser* scanner_ = nullptr;
  bool begun_ = false;
  uint16_t count_ = 0;
  uint16_t delivered_ = 0;
  SlotRef resume_;
};

}  // namespace telbook

#endif  // TELBOOK_BROWSE_RECORD_ENUMERATOR_H_
