// The tool's look into an open session: slots and records by number, and the salvage, each
// refused with (category, kOpenFailed) when no phone book is open.
#include "interface/inspection.h"

#include <cstring>

#include "interface/session.h"
#include "records/record_reader.h"
#include "store/book_file_writer.h"
#include "store/book_header.h"
#include "store/errors.h"
#include "store/output_file.h"
#include "store/record_index.h"

namespace telbook {
namespace inspection {

namespace {

// The session's store when a phone book is open; else records (category, kOpenFailed).
FileStore* OpenStore(TL_FaxUtl* session, uint16_t category) {
  FileStore* store = &FromHandle(session)->store;
  if (store->is_open()) return store;
  store->RecordError(category, detail::kOpenFailed);
  return nullptr;
}

}  // namespace

const uint8_t* SlotOf(TL_FaxUtl* session, uint16_t record_number) {
  FileStore* store = &FromHandle(session)->store;
  if (!store->is_open()) return nullptr;
  if (record_number == 0 ||
      (record_number > format::kLastPersonal &&
       (record_number <= format::kGroupBase || record_number > format::kLastGroup))) {
    return nullptr;
  }
  uint8_t* slot = nullptr;
  return IndexLookup(store).Lookup(record_number, &slot) == kOk ? slot : nullptr;
}

short ReadListItem(TL_FaxUtl* session, uint16_t record_number, TL_ListItem* item) {
  FileStore* store = OpenStore(session, category::kListItem);
  if (store == nullptr) return kFailed;
  return RecordReader(store).ReadListItem(record_number, item);
}

short LoadRecord(TL_FaxUtl* session, uint16_t record_number, MemoryBlock* block) {
  block->Release();
  FileStore* store = OpenStore(session, category::kListItem);
  if (store == nullptr) return kFailed;
  return RecordReader(store).Load(record_number, category::kListItem, block);
}

short WriteSalvage(TL_FaxUtl* session, const char* path, SalvageConversion* keep) {
  FileStore* store = OpenStore(session, category::kClose);
  if (store == nullptr) return kFailed;
  // A saved book's header: always the version-2 text and magic, its reserved bytes kept.
  uint8_t header[format::kHeaderSize];
  memcpy(header, store->header(), format::kHeaderSize);
  book_header::EncodeSaved(header, 0, 0);
  BookFileWriter::Plan plan;
  plan.read_kept_only = true;
  plan.error_category = category::kClose;
  // Made whole and flushed before it takes its name, as an export is.
  OutputFile out(store);
  if (!out.BeginExport(path, category::kClose)) return kFailed;
  BookFileWriter writer(store);
  if (!writer.Write(out.file(), plan, keep, header, store->favourites())) return kFailed;
  return out.Commit(nullptr) ? kOk : kFailed;
}

}  // namespace inspection
}  // namespace telbook
