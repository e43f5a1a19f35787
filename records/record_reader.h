// Reading stored records from the open phone book: loading one record by its record number,
// the personal entry read of TL_readKojin, the list item read and its reading-only variant.
#ifndef TELBOOK_RECORDS_RECORD_READER_H_
#define TELBOOK_RECORDS_RECORD_READER_H_

#include <cstdint>

#include "interface/telbook.h"
#include "platform/memory_block.h"
#include "store/record_index.h"

namespace telbook {

class FileStore;

class RecordReader final {
 public:
  explicit RecordReader(FileStore* store) : store_(store), lookup_(store) {}

  // Loads the record of a record number into `block`, exactly the slot's length, read from the
  // store's handle; the slot is written to *slot when slot is not null. 0; or -1 with the record
  // index's pair for a number outside both ranges, (category, kNoMemory) when the block cannot be
  // had or the slot's length is 0, and the file layer's status and pair when the read fails. On
  // failure the block is empty.
  short Load(uint16_t record_number, uint16_t category, MemoryBlock* block,
             uint8_t** slot = nullptr);

  // A record as walks load it: its bytes where they lie in the store's read-ahead block, valid
  // until the next read of the record area, or in a block of its own.
  struct Loaded {
    const uint8_t* data = nullptr;
    size_t size = 0;
    MemoryBlock own;
  };
  // Load for walks that read record after record: the bytes come through the store's read-ahead
  // block (obtained at its first use, and passed by when it cannot be had). Fails as Load does.
  short LoadAhead(uint16_t record_number, uint16_t category, Loaded* record);

  // TL_readKojin: fills the entry from personal record 1 to 9999. -1 with (kReadKojin, kOpenFailed)
  // when no phone book is open, (kReadKojin, kNoCountPlace) for a null entry, (kReadKojin,
  // kBadRecordNumber) for another number (entry untouched), (kReadKojin, kNoMemory) when the record
  // cannot be loaded, (kTextField, kWrongKind) for a stored kind the decoder refuses. Texts are cut
  // to their fields.
  short ReadKojin(uint16_t record_number, TL_Kojin* entry);

  // Fills a list item from a personal entry or group record. -1 with the load's pair (category
  // kListItem), or (kListItem, kWrongKind) when the stored kind is not the one the number and the
  // alternate destination imply; the item is then untouched, except for its kind byte in a
  // version-3 file.
  short ReadListItem(uint16_t record_number, TL_ListItem* item);

  // The rebuild's variant: checks the kind as ReadListItem does, stores the record number and
  // the reading in the item, and sets the slot's reading class from that reading, keeping its
  // favourite bits. On failure the slot is unchanged.
  short ReadReading(uint16_t record_number, TL_ListItem* item, uint8_t* slot);

 private:
  // Loads a list item's record and checks its kind; sets the item's kind byte.
  short LoadChecked(uint16_t record_number, TL_ListItem* item, Loaded* record);

  FileStore* store_;
  IndexLookup lookup_;
};

}  // namespace telbook

#endif  // TELBOOK_RECORDS_RECORD_READER_H_
