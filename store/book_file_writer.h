// The one writer of whole phone book files: the save's compaction and the subset export both
// write through it. Records are appended behind the fixed part in slot order, their slots written
// a window at a time, the header and favourites last.
#ifndef TELBOOK_STORE_BOOK_FILE_WRITER_H_
#define TELBOOK_STORE_BOOK_FILE_WRITER_H_

#include <cstddef>
#include <cstdint>

#include "platform/env.h"
#include "platform/memory_block.h"
#include "store/append_buffer.h"
#include "store/file_ops.h"
#include "store/format.h"
#include "store/record_index.h"
#include "store/slot_window.h"

namespace telbook {

class FileStore;

class BookFileWriter final {
 public:
  enum Table : uint8_t { kPersonal = 0, kGroup = 1 };
  // The larger blocks of a writer that may spend them.
  static constexpr size_t kLargeBlockSize = 64 * 1024;

  // Chooses the records of the new file and converts each one; implemented above the store.
  class RecordHook {
   public:
    // Whether used slot n (from 1) of the table goes into the new file; a slot left out is
    // free there.
    virtual bool Keeps(Table table, uint32_t n) = 0;
    // Converts a stored record in place: its first `length` bytes, of the table's kind, in a
    // buffer of `capacity` bytes, at least the longest record of the kind. Returns the new
    // record's length, or 0 to fail the write. *tab comes in as the stored slot's tab code and
    // goes out as the new slot's.
    virtual uint32_t Convert(Table table, uint8_t* record, size_t capacity, uint32_t length,
                             uint8_t* tab) = 0;

   protected:
    ~RecordHook() = default;
  };

  struct Plan {
    // The last slot of each table whose record may go into the file; the slots after it are
    // free there.
    uint32_t last_slot[2] = {format::kSlotsPerTable, format::kSlotsPerTable};
    // Slots not written go out as they stand in memory (those past last_slot with their kind
    // set free) rather than as zeros.
    bool keep_slot_bytes = false;
    // A record longer than the longest of its kind is read whole, in a larger buffer, rather
    // than as far as the kind's buffer holds.
    bool whole_records = false;
    // Used slots the hook does not keep are passed over unread, so that records that cannot be
    // read may be left out; otherwise every used slot is read and its kind checked, kept or not.
    bool read_kept_only = false;
    // The size of the read-ahead and append blocks of the write. A writer that holds no other
    // large block may spend more memory on fewer, larger reads and writes; a read-ahead block
    // grown for the write is given back after it, to be obtained again at its usual size.
    size_t block_size = AppendBuffer::kBlockSize;
    // Recorded with the failure's detail (kNoMemory, kBadRecordNumber when the index is not
    // there, kRecordFailed for any other step) where the writer fails; 0 records none, leaving
    // the pair of the file layer or record index, if any.
    uint16_t error_category = 0;
  };

  explicit BookFileWriter(FileStore* store)
      : store_(store), ops_(store), lookup_(store), records_(store), window_(store) {}
  BookFileWriter(const BookFileWriter&) = delete;
  BookFileWriter& operator=(const BookFileWriter&) = delete;

  // Writes a version-2 phone book into out, a new empty file open for writing, from the open
  // phone book: every used slot up to the table's last_slot (or, with read_kept_only, every one
  // the hook keeps) is read through the store's read-ahead block and its kind checked, and those
  // the hook keeps are converted and written. The header and favourites go at the start, the
  // header's counts set to the records written. True on success; out is neither flushed nor
  // closed, and after a failure holds any part of the file. The pair of a failure is
  // (error_category, detail) or as the plan says. The in-memory fixed part and the open file are
  // only read.
  bool Write(FileHandle out, const Plan& plan, RecordHook* hook, uint8_t* header,
             const uint8_t* favourites);

 private:
  bool WriteTable(FileHandle out, Table table, MemoryBlock* buffer, uint16_t* written);
  bool Fail(uint16_t detail);

  FileStore* store_;
  FileOps ops_;
  IndexLookup lookup_;
  AppendBuffer records_;
  SlotWindow window_;
  // For the write under way.
  const Plan* plan_ = nullptr;
  RecordHook* hook_ = nullptr;
};

}  // namespace telbook

#endif  // TELBOOK_STORE_BOOK_FILE_WRITER_H_
