// Writes personal entries and groups to the working copy, switching to it before the first
// change of an open.
#ifndef TELBOOK_RECORDS_RECORD_WRITER_H_
#define TELBOOK_RECORDS_RECORD_WRITER_H_

#include <cstdint>

#include "interface/telbook.h"
#include "store/errors.h"
#include "store/file_accessor.h"
#include "store/record_index.h"

namespace telbook {

class FileStore;
class WorkingCopy;

class RecordWriter final {
 public:
  explicit RecordWriter(FileStore* store) : store_(store), lookup_(store), accessor_(store) {}

  void Wire(WorkingCopy* working_copy) { working_copy_ = working_copy; }

  // TL_writeKojin: stores the entry under *record_number (0: the lowest free personal number),
  // appended to the working copy, and points its slot at it. The record may stay in the store's
  // write-behind block until the block is full; a failure to write that block out fails the
  // append that needed the room, and the records held before it stay held. 0; 5 with (kWriteKojin,
  // kNoFreeSlot) when all 9999 personal slots are used (*record_number stays 0); -1 with
  // (kWriteKojin, kOpenFailed) when no phone book is open, (kWriteKojin, kNoCountPlace) for a null
  // argument, the switch's pair, (kWriteKojin, kRecordFailed) for a number outside 1 to 9999,
  // (kWriteKojin, kNoMemory) when the encoding buffer cannot be had, or (kWriteKojin,
  // kRecordFailed) after the file layer's pair when the append fails (slot and counts unchanged).
  // The number used is written back once chosen, also after a failed append.
  short WriteKojin(const TL_Kojin* entry, uint16_t* record_number);
  // TL_writeGroup: as WriteKojin for groups 16385 to 21384, with `count` members. -1 with
  // (kWriteGroup, kRecordFailed) for a count above 9999 (checked before anything else is done),
  // (kWriteGroup, kOpenFailed) when no phone book is open, (kWriteGroup, kNoCountPlace) for a null
  // argument, (kWriteGroup, kBadRecordNumber) for a number outside 16385 to 21384, (kWriteGroup,
  // kNoMemory), or (kWriteGroup, kRecordFailed) when the append fails; 5 with (kWriteGroup,
  // kNoFreeSlot) when no group number is free.
  short WriteGroup(const TL_Group* entry, uint16_t* record_number, uint16_t count,
                   const uint16_t* members);

  // Appends an encoded record at the end of the working copy, through the write-behind block, and
  // writes the offset it lies at to *offset; no slot is touched. The session must be on its
  // working copy. 0, or -1 with (category, kRecordFailed) after the file layer's pair; bytes of a
  // failed append are dead space.
  short AppendRecord(const uint8_t* record, uint32_t length, uint16_t category, uint32_t* offset);

 private:
  FileStore* store_;
  IndexLookup lookup_;
  FileAccessor accessor_;
  // Appends an encoded record and fills its slot; raises the count when `added`.
  short Append(const uint8_t* record, uint32_t length, uint8_t* slot, uint8_t kind, uint8_t tab,
               bool added, uint16_t category);

  WorkingCopy* working_copy_ = nullptr;
};

}  // namespace telbook

#endif  // TELBOOK_RECORDS_RECORD_WRITER_H_
