// Removing personal entries and groups: the slot freed in the working copy's index, the counts
// lowered, and an entry's number taken out of every group that lists it.
#ifndef TELBOOK_RECORDS_RECORD_DELETER_H_
#define TELBOOK_RECORDS_RECORD_DELETER_H_

#include <cstdint>

#include "platform/memory_block.h"
#include "records/record_reader.h"
#include "store/record_index.h"

namespace telbook {

class FileStore;
class RecordWriter;
class WorkingCopy;

class RecordDeleter final {
 public:
  explicit RecordDeleter(FileStore* store) : store_(store), lookup_(store), reader_(store) {}
  RecordDeleter(const RecordDeleter&) = delete;
  RecordDeleter& operator=(const RecordDeleter&) = delete;

  void Wire(WorkingCopy* working_copy, RecordWriter* writer) {
    working_copy_ = working_copy;
    writer_ = writer;
  }

  // TL_deleteKojin: frees the slot of personal entry 1 to 9999 and lowers the personal count;
  // every group of slots 1 to 5000 (those a save keeps) that lists the number is rewritten
  // without it, as a group write stores it: its places in order, empty ones and the number
  // dropped, its texts cut to the host's fields, its tab code kept. The record left behind is
  // dead space, and the number is the lowest free one again if it lies below the others. Every
  // group is read and rewritten into the working copy before any slot changes, so a failure
  // leaves the index, the counts and every group as they were (appended bytes are dead space).
  // 0; -1 with (kDeleteKojin, kOpenFailed) when no phone book is open, (kDeleteKojin,
  // kBadRecordNumber) for a number outside 1 to 9999, (kDeleteKojin, kNoRecord) when its slot is
  // free (nothing else done), the switch's pair, (kDeleteKojin, kNoMemory), (kDeleteKojin,
  // kWrongKind) for a used group slot whose record is not a group, or (kDeleteKojin,
  // kRecordFailed) when a group cannot be read or appended.
  short DeleteKojin(uint16_t record_number);
  // TL_deleteGroup: frees the slot of group 16385 to 26383 and lowers the group count when it lies
  // in slots 1 to 5000. 0; -1 with (kDeleteGroup, kOpenFailed), (kDeleteGroup, kBadRecordNumber),
  // (kDeleteGroup, kNoRecord) or the switch's pair, nothing changed then.
  short DeleteGroup(uint16_t record_number);

 private:
  // The slot of a used record of the table, after the checks common to both deletes and the
  // switch to the working copy.
  short Prepare(uint16_t record_number, uint16_t category, bool group, uint8_t** slot);
  // Appends every group of slots 1 to 5000 that lists `number` again without it, the new slots
  // going into `slots`, a copy of those group slots; the store's index is not touched.
  short RewriteGroups(uint16_t number, MemoryBlock* slots, bool* changed);
  // Rewrites one group record without `number` and fills its slot in the copy.
  short RewriteGroup(const uint8_t* record, size_t length, uint16_t number, uint8_t* slot);
  // Frees a slot and makes it the lowest free one of its table when it is.
  void Free(uint8_t* slot, int table, uint16_t index);

  FileStore* store_;
  IndexLookup lookup_;
  RecordReader reader_;
  WorkingCopy* working_copy_ = nullptr;
  RecordWriter* writer_ = nullptr;
};

}  // namespace telbook

#endif  // TELBOOK_RECORDS_RECORD_DELETER_H_
