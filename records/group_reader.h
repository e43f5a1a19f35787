// The group reader: loading one group, its data and members; reading and writing favourite
// names.
#ifndef TELBOOK_RECORDS_GROUP_READER_H_
#define TELBOOK_RECORDS_GROUP_READER_H_

#include <cstdint>

#include "interface/telbook.h"
#include "records/favourites.h"
#include "records/record_reader.h"

namespace telbook {

class FileStore;

class GroupReader final {
 public:
  explicit GroupReader(FileStore* store) : favourites(store), store_(store), reader_(store) {}

  // TL_openGroup: loads a group into the store's group cursor, replacing any loaded one. -1 with
  // (kOpenGroup, kOpenFailed) when no phone book is open, (kOpenGroup, kNotAGroup) below 0x4000,
  // the record index's pair for 0x4000 and numbers past the group table, (kOpenGroup, kNoMemory)
  // when the record cannot be had, or the file layer's pair; the cursor is then unchanged.
  short OpenGroup(uint16_t record_number);
  // TL_readGroupData: -1 with (kReadGroupData, kNoGroupOpen) when no group is loaded, (kTextField,
  // kWrongKind) for a record kind the decoder refuses.
  short ReadGroupData(TL_Group* entry);
  // TL_readGroupMember: the next member's list item. -1 with (kReadGroupMember, kNoGroupOpen) when
  // no group is loaded, (kReadGroupMember, kNoMoreMembers) after the last member, or the list item
  // read's pair (the member still counts as handed out).
  short ReadGroupMember(TL_ListItem* item);
  // TL_closeGroup: always 0.
  short CloseGroup();

  // TL_readOkonomi and TL_writeOkonomi.
  Favourites favourites;

 private:
  FileStore* store_;
  RecordReader reader_;
};

}  // namespace telbook

#endif  // TELBOOK_RECORDS_GROUP_READER_H_
