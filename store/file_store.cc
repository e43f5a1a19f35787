// The file store's buffers and counts.
// The four buffers live from create or open to close and never move in between.
#include "store/file_store.h"

#include "store/book_header.h"

namespace telbook {

bool FileStore::ObtainBuffers() {
  if (header_.Obtain(env_, format::kHeaderSize) &&
      favourites_.Obtain(env_, format::kFavouritesSize) &&
      personal_index_.Obtain(env_, format::kIndexBufferSize) &&
      group_index_.Obtain(env_, format::kIndexBufferSize)) {
    group_cursor.Drop();
    ForgetFreeSlotHints();
    SlotsChanged();
    read_ahead_.Forget();
    write_behind_.Release();
    return true;
  }
  ReleaseBuffers();
  RecordError(category::kBuffers, detail::kNoMemory);
  return false;
}

void FileStore::ReleaseBuffers() {
  group_cursor.Drop();
  ForgetFreeSlotHints();
  SlotsChanged();
  read_ahead_.Release();
  write_behind_.Release();
  group_index_.Release();
  personal_index_.Release();
  favourites_.Release();
  header_.Release();
}

uint16_t FileStore::personal_count() const { return book_header::PersonalCount(header()); }
uint16_t FileStore::group_count() const { return book_header::GroupCount(header()); }
void FileStore::set_personal_count(uint16_t n) {
  SlotsChanged();
  book_header::EncodeCounts(header(), n, group_count());
}
void FileStore::set_group_count(uint16_t n) {
  SlotsChanged();
  book_header::EncodeCounts(header(), personal_count(), n);
}

}  // namespace telbook
