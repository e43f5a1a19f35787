// Writing the phone book subset: the fixed part of the open phone book with free slots and default
// favourites, then the chosen records, converted, in ascending record number.
#include "export/subset_writer.h"

#include <cstring>

#include "records/group_codec.h"
#include "records/record_converter.h"
#include "store/book_header.h"
#include "store/errors.h"
#include "store/file_store.h"

namespace telbook {

void SubsetWriter::Choose(BookFileWriter::Table table, const uint16_t* numbers, uint16_t count) {
  const uint32_t base = table == BookFileWriter::kPersonal ? 0 : format::kGroupBase;
  uint8_t* chosen = chosen_[table];
  memset(chosen, 0, sizeof(chosen_[table]));
  for (uint16_t i = 0; i < count; ++i) {
    uint32_t n = numbers[i];
    if (n <= base || n - base > format::kSlotsPerTable) continue;
    n -= base;
    chosen[n / 8] = static_cast<uint8_t>(chosen[n / 8] | (1u << (n % 8)));
  }
}

uint32_t SubsetWriter::Convert(BookFileWriter::Table table, uint8_t* record, size_t capacity,
                               uint32_t length, uint8_t* tab) {
  *tab = format::TabClass(*tab);
  if (table == BookFileWriter::kPersonal) {
    return converter_->ConvertKojin(record, capacity, length, /*repair=*/false);
  }
  GroupView view(record, length);
  uint16_t places = static_cast<uint16_t>(view.member_count() + view.extra_places());
  if ((places == 0 || view.place(0) == group::kEmptyPlace) && empty_group_ != nullptr) {
    *empty_group_ = 1;
  }
  return converter_->ConvertGroup(record, capacity, length, /*repair=*/false);
}

short SubsetWriter::Export(const uint16_t* personal, uint16_t personal_count,
                           const uint16_t* groups, uint16_t group_count, FileHandle out,
                           int16_t* empty_group) {
  using namespace format;
  if (converter_ == nullptr) return kFailed;
  // The header is the open file's as it lies there, its counts set to the records written.
  uint8_t header[kHeaderSize] = {};
  uint8_t favourites[kFavouritesSize] = {};
  if (ops_.PositionedRead(store_->handle, header, kHeaderOffset, SeekMode::kBegin, kHeaderSize) !=
          kOk ||
      ops_.PositionedRead(store_->handle, favourites, kFavouritesOffset, SeekMode::kBegin,
                          kFavouritesSize) != kOk) {
    return kFailed;
  }
  if (!book_header::MagicFits(header, store_->format_version)) return kFailed;
  // The subset has the version-2 layout: a version-1 text would hide the slots above 1024. Its
  // magic is the version-2 one already, as the check above found.
  if (store_->format_version < kVersion2) book_header::EncodeSavedVersion(header);
  for (uint32_t k = 0; k < kFavouriteCount; ++k) {
    uint8_t* name = favourites + kFavouriteNamesOffset + kFavouriteNameSize * k;
    memcpy(name, kDefaultFavouriteName, kDefaultFavouriteNameSize);
    name[kDefaultFavouriteDigitOffset] =
        static_cast<uint8_t>(name[kDefaultFavouriteDigitOffset] + k);
    name[kDefaultFavouriteNameSize] = 0;
  }

  Choose(BookFileWriter::kPersonal, personal, personal_count);
  Choose(BookFileWriter::kGroup, groups, group_count);
  empty_group_ = empty_group;
  // Every used slot is read and its kind checked, chosen or not; group slots above 5000 too.
  BookFileWriter::Plan plan;
  plan.whole_records = true;
  // Larger blocks where no write-behind block of changes made in the session is held beside
  // them, so that the peak stays where the save's is.
  if (!store_->write_behind().ready()) plan.block_size = BookFileWriter::kLargeBlockSize;
  bool written = writer_.Write(out, plan, this, header, favourites);
  empty_group_ = nullptr;
  return written ? kOk : kFailed;
}

}  // namespace telbook
