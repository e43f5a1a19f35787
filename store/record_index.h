// The record index: record numbers to slots of the in-memory index tables and back, the free
// slot search, and the slot fields. No file access and no allocation.
#ifndef TELBOOK_STORE_RECORD_INDEX_H_
#define TELBOOK_STORE_RECORD_INDEX_H_

#include <cstdint>

#include "store/coding.h"
#include "store/format.h"

namespace telbook {

class FileStore;

// Field access on one 8-byte slot in an index buffer.
struct Slot {
  static uint8_t kind(const uint8_t* s) { return s[format::kSlotKindOffset]; }
  static uint8_t tab(const uint8_t* s) { return s[format::kSlotTabOffset]; }
  static uint16_t length(const uint8_t* s) { return DecodeU16(s + format::kSlotLengthOffset); }
  static uint32_t offset(const uint8_t* s) { return DecodeU32(s + format::kSlotRecordOffset); }
  static void Fill(uint8_t* s, uint8_t kind, uint8_t tab, uint16_t length, uint32_t offset) {
    s[format::kSlotKindOffset] = kind;
    s[format::kSlotTabOffset] = tab;
    EncodeU16(s + format::kSlotLengthOffset, length);
    EncodeU32(s + format::kSlotRecordOffset, offset);
  }
};

class IndexLookup final {
 public:
  explicit IndexLookup(FileStore* store) : store_(store) {}

  // The slot of a record number: 0, or -1 with (kRecordToSlot, kBadRecordNumber) for 0, 10000 to
  // 16384 and above 26383.
  short Lookup(uint16_t record_number, uint8_t** slot);
  // The record number of a slot, or -1 with (kSlotToRecord, kSlotOutside) when it is not the start
  // of a slot.
  int SlotNumber(const uint8_t* slot);
  // The first free record number of the personal table (base 0) or the group table (base
  // 16384) among all 9999 slots; 65535 when there is none. The search starts at the store's
  // remembered lowest slot that may be free, so a fill costs one pass over the table.
  uint16_t FreeSlot(uint16_t base);
  // True when the number names a slot whose kind is 0; false for 0 and refused numbers.
  bool IsFree(uint16_t record_number);

 private:
  FileStore* store_;
};

}  // namespace telbook

#endif  // TELBOOK_STORE_RECORD_INDEX_H_
