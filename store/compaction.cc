// Compaction: the book-file writer over the working copy, keeping the slots' bytes as they stand
// in memory, every record converted with the repair of its texts.
#include "store/compaction.h"

#include <cstring>

#include "store/book_header.h"
#include "store/errors.h"
#include "store/file_store.h"
#include "store/format.h"

namespace telbook {

short Compaction::Run(FileHandle out) {
  // Always version 2, so always the version-2 magic, whatever the phone book was opened as (a
  // version-3 magic beside "0200" would fail the magic check).
  uint8_t header[format::kHeaderSize];
  memcpy(header, store_->header(), format::kHeaderSize);
  book_header::EncodeSaved(header, 0, 0);

  BookFileWriter::Plan plan;
  plan.last_slot[BookFileWriter::kGroup] = format::kUsedGroupSlots;
  plan.keep_slot_bytes = true;
  plan.error_category = category::kClose;
  return writer_.Write(out, plan, conversion_, header, store_->favourites()) ? kOk : kFailed;
}

}  // namespace telbook
