// Index tabs: the records of one reading class or favourite category, handed out one by one,
// and the other-class rebuild run after create, open and the switch to the working copy.
#ifndef TELBOOK_BROWSE_TAB_BROWSER_H_
#define TELBOOK_BROWSE_TAB_BROWSER_H_

#include <cstdint>

#include "browse/tab_lists.h"
#include "interface/telbook.h"
#include "records/record_reader.h"
#include "store/errors.h"

namespace telbook {

class FileStore;

// The match rule of a tab code: a used slot matches when (tab code & mask) == value. False when
// the code selects no tab (a favourite above 5, a class above 11, or 0).
bool DecodeTabCode(uint8_t code, uint8_t* mask, uint8_t* value);

// One slot of the personal table (index 0 to 9998) or of the used part of the group table
// (index 0 to 4999), or none. Scans run through the personal table, then the group table.
struct SlotRef {
  enum Table : uint8_t { kPersonal, kGroup, kNone };
  Table table = kPersonal;
  uint16_t index = 0;

  bool none() const { return table == kNone; }
  // The record number of the slot (slot index + 1, or + 16385 for groups); 0 for none.
  uint16_t record_number() const;
  // Moves one slot on: past the last personal slot to group slot 0, past the last group slot
  // to none.
  void Advance();
};

class TabBrowser final {
 public:
  explicit TabBrowser(FileStore* store) : store_(store), reader_(store), lists_(store) {}

  // TL_openTag: counts the tab's records. -1 with (kOpenTag, kOpenFailed) when no phone book is
  // open, (kOpenTag, kTabAlreadyOpen) while a tab is open (which stays open), (kTabCode,
  // kBadTabCode) for a code that selects no tab.
  short OpenTag(uint8_t code);
  // TL_closeTag: always 0.
  short CloseTag() {
    CloseTab();
    return kOk;
  }
  // TL_readTagWeightCount: the count of the open tab. -1 with (kReadTagWeightCount, kOpenFailed)
  // with no phone book, (kReadTagWeightCount, kNoTabOpen) with no tab open, (kReadTagWeightCount,
  // kOtherTab) for another code; the count is then written as 0.
  short ReadTagWeightCount(uint8_t code, uint16_t* count);
  // TL_readTagData: the next record of the open tab into the list item. -1 with (kReadTagData,
  // kOpenFailed) with no phone book, (kReadTagData, kNoTabOpen) with no tab open, (kReadTagData,
  // kOtherTab) for another code, (kReadTagData, kNoMoreRecords) when the tab is exhausted, or the
  // list item read's pair. A record that cannot be read is passed over: it counts as handed out and
  // the next call moves on to the following record. 0 without touching the item when the scan runs
  // out early (records left the tab after it opened).
  short ReadTagData(uint8_t code, TL_ListItem* item);
  // TL_readKojin.
  short ReadKojin(uint16_t record_number, TL_Kojin* entry) {
    return reader_.ReadKojin(record_number, entry);
  }

  // Forgets the open tab, if any.
  void CloseTab() { tab_open_ = false; }
  // Re-derives the reading class of every record filed under the other class from its stored
  // reading. A record whose kind does not fit its number keeps its tab code, and leaves (kListItem,
  // kWrongKind) recorded. Leaves no tab open.
  void RebuildOtherClass();

  // The first used slot at or after *ref whose tab code matches (code & mask) == value; with
  // `any` every used slot matches. On none, *ref becomes none and false is returned.
  bool FindNext(uint8_t mask, uint8_t value, bool any, SlotRef* ref) const;
  // The slot a reference designates, null for none or no phone book open.
  uint8_t* SlotAt(const SlotRef& ref) const;

 private:
  // Counts the used slots that match, over all personal slots then the used group slots.
  uint16_t Count(uint8_t mask, uint8_t value) const;
  // FindNext under the open tab's rule, through the tab lists when they can be had.
  bool FindNextInTab(SlotRef* ref);

  FileStore* store_;
  RecordReader reader_;
  TabLists lists_;
  bool tab_open_ = false;
  uint8_t code_ = 0;
  uint8_t mask_ = 0;
  uint8_t value_ = 0;
  uint16_t count_ = 0;
  uint16_t delivered_ = 0;
  SlotRef resume_;
  // Where resume_ lies in the open tab's list, while the lists are those of cursor_generation_.
  bool cursor_set_ = false;
  uint32_t cursor_ = 0;
  uint32_t cursor_generation_ = 0;
};

}  // namespace telbook

#endif  // TELBOOK_BROWSE_TAB_BROWSER_H_
