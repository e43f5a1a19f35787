// The compaction of a saving close: a complete version-2 phone book written from the in-memory
// fixed part and every live record of the working copy, packed in slot order and re-encoded.
#ifndef TELBOOK_STORE_COMPACTION_H_
#define TELBOOK_STORE_COMPACTION_H_

#include <cstdint>

#include "platform/memory_block.h"
#include "store/append_buffer.h"
#include "store/file_accessor.h"
#include "store/record_index.h"
#include "store/slot_window.h"
#include "store/store_client.h"

namespace telbook {

class FileStore;
class RecordConverter;

class Compaction {
 public:
  explicit Compaction(FileStore* store)
      : store_(store),
        client_(store),
        accessor_(store),
        lookup_(store),
        records_(store),
        window_(store) {}
  Compaction(const Compaction&) = delete;
  Compaction& operator=(const Compaction&) = delete;
  virtual ~Compaction() = default;

  void Wire(RecordConverter* converter) { converter_ = converter; }

  // Writes the compacted phone book to path (replacing the empty file there), flushes it to the
  // device and closes it: 0. The in-memory header, favourites and index tables and the working
  // copy are only read, so every record reads as before whatever happens here. On failure: -1
  // with (40, 4) no memory, (40, 5) no first slot, (15, 17) the file could not be created, or
  // (40, 30) a record or a write failed; the file at path is deleted.
  // The records go out through an append buffer and the slots in windows of the index, so the
  // file is written in large pieces; its bytes are those of the layout whatever the pieces.
  short Run(const char* path);

 private:
  // Steps that leave the output open; each records its pair and returns false on failure.
  // Copies every used slot of one table (personal, or group slots 1 to 5000), counting them,
  // and writes the table's slots.
  bool CopyTable(FileHandle out, bool personal, MemoryBlock* buffer, uint16_t* count);
  // Writes group slots 5001 to 9999 as free.
  bool FreeUnusedGroupSlots(FileHandle out);
  // The header and the favourites block, which lie back to back at the start of the file.
  bool WriteHeaderAndFavourites(FileHandle out, const uint8_t* header);
  bool Fail(uint16_t detail);

  FileStore* store_;
  StoreClient client_;
  FileAccessor accessor_;
  IndexLookup lookup_;
  AppendBuffer records_;
  SlotWindow window_;
  RecordConverter* converter_ = nullptr;
};

}  // namespace telbook

#endif  // TELBOOK_STORE_COMPACTION_H_
