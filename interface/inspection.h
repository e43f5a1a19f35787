// What the telbook tool may ask of an open phone book beyond the TL_ interface: its slots as the
// session holds them, the reads of one record by number, and the salvage of a damaged book.
#ifndef TELBOOK_INTERFACE_INSPECTION_H_
#define TELBOOK_INTERFACE_INSPECTION_H_

#include <cstdint>

#include "interface/telbook.h"
#include "platform/memory_block.h"
#include "records/record_converter.h"

// Internal C++ entry points: linked from the static library, never exported by the DLL or the
// shared library. Each takes the session handle of the TL_ interface.
namespace telbook {
namespace inspection {

// The 8-byte slot (store/format.h) of a record number as the open session holds it in memory:
// tab codes as the other-class rebuild left them, the slots above 1024 zero in a book read as
// version 1. Null when no phone book is open or the number lies outside both tables (0, 10000
// to 16384, above 26383).
const uint8_t* SlotOf(TL_FaxUtl* session, uint16_t record_number);

// The list item read that the tab walks, the enumeration and the member reads run, for one
// record: 0, or -1 with its pair: (kListItem, kNoMemory) for a slot of length 0,
// (kListItem, kWrongKind) for a record of another kind than its number and the file's version
// ask, the file layer's pair for a read the file cannot satisfy, the record index's for a
// number outside both tables. -1 with (kListItem, kOpenFailed) when no phone book is open.
short ReadListItem(TL_FaxUtl* session, uint16_t record_number, TL_ListItem* item);

// The stored bytes of a record, exactly its slot's length, into block: 0, or -1 with the pair
// of the load (category kListItem) and block empty.
short LoadRecord(TL_FaxUtl* session, uint16_t record_number, MemoryBlock* block);

// Writes a version-2 phone book at path, created anew, from the open one: the header, with its
// counts set to the records written, and the favourites as they are; the records `keep` keeps
// (group slots up to 9999 included), converted by it, in slot order behind the fixed part; every
// other slot free and zero. Records not kept are never read. The file is flushed before it is
// closed. 0; or -1 with the pair of the step that failed ((kClose, kNoMemory), (kClose,
// kRecordFailed) for a record that cannot be read or is not of its table's kind, the file
// layer's), the file at path deleted. -1 with (kClose, kOpenFailed) when no phone book is open.
// The open phone book is only read.
short WriteSalvage(TL_FaxUtl* session, const char* path, SalvageConversion* keep);

}  // namespace inspection
}  // namespace telbook

#endif  // TELBOOK_INTERFACE_INSPECTION_H_
