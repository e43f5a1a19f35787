// The phone book subset: a phone book file holding only chosen entries and groups, under their
// own record numbers, each record passed through the record conversion without repair.
#ifndef TELBOOK_EXPORT_SUBSET_WRITER_H_
#define TELBOOK_EXPORT_SUBSET_WRITER_H_

#include <cstdint>

#include "platform/env.h"
#include "platform/memory_block.h"
#include "store/append_buffer.h"
#include "store/file_accessor.h"
#include "store/format.h"
#include "store/record_index.h"
#include "store/slot_window.h"
#include "store/store_client.h"

namespace telbook {

class FileStore;
class RecordConverter;

// The default favourite category names of a subset, code page 932: "お好み" and the full-width
// digit of the category.
constexpr uint8_t kDefaultFavouriteName[] = {0x82, 0xA8, 0x8D, 0x44, 0x82, 0xDD, 0x82, 0x50};
constexpr uint32_t kDefaultFavouriteNameSize = sizeof(kDefaultFavouriteName);
constexpr uint32_t kDefaultFavouriteDigitOffset = kDefaultFavouriteNameSize - 1;
static_assert(kDefaultFavouriteNameSize + 1 <= format::kFavouriteNameSize,
              "a default name and its terminator fit their place");

class SubsetWriter {
 public:
  explicit SubsetWriter(FileStore* store)
      : store_(store),
        client_(store),
        accessor_(store),
        lookup_(store),
        records_(store),
        window_(store) {}
  SubsetWriter(const SubsetWriter&) = delete;
  SubsetWriter& operator=(const SubsetWriter&) = delete;
  virtual ~SubsetWriter() = default;

  void Wire(const RecordConverter* converter) { converter_ = converter; }

  // Writes a version-2 phone book at file_name (created anew) holding the chosen personal
  // entries and groups of the open phone book; numbers outside a list's range are passed over.
  // The favourite names become the defaults and no record keeps a category. A file opened as
  // version 0 or 1 gives a subset with the version text "0200". Sets *empty_group to 1 (when not
  // null) for each chosen group without members; never to 0.
  // 0, or -1: with the file layer's pair when a read, the create or a write fails, with none
  // when memory runs out, the magic does not match the version, or a used record (chosen or
  // not) is not of its table's kind. After a failure the file is gone.
  short Export(const uint16_t* personal, uint16_t personal_count, const uint16_t* groups,
               uint16_t group_count, const char* file_name, int16_t* empty_group);

 private:
  // One pass over a table, base 0 for personal entries, 16384 for groups: the chosen records
  // appended, the table's slots written a window at a time.
  short Pass(FileHandle out, uint16_t base, const uint16_t* numbers, uint16_t count,
             MemoryBlock* record, uint16_t* written, int16_t* empty_group);

  FileStore* store_;
  StoreClient client_;
  FileAccessor accessor_;
  IndexLookup lookup_;
  AppendBuffer records_;
  SlotWindow window_;
  const RecordConverter* converter_ = nullptr;
  // Chosen flags of the pass under way; index 0 is unused.
  bool chosen_[format::kSlotsPerTable + 1] = {};
};

}  // namespace telbook

#endif  // TELBOOK_EXPORT_SUBSET_WRITER_H_
