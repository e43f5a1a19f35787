// The fixed part's layout in a new file and its read from an existing one.
// The read is where a file's format version and its version-1 layout are decided.
#include "store/fixed_part.h"

#include <cstring>

#include "store/book_header.h"
#include "store/coding.h"
#include "store/file_store.h"
#include "store/format.h"
#include "store/record_index.h"

namespace telbook {

namespace {

uint16_t CountUsed(const uint8_t* slots, uint32_t count) {
  uint16_t used = 0;
  for (uint32_t n = 0; n < count; ++n) {
    if (Slot::kind(slots + format::kSlotSize * n) != format::kKindFree) ++used;
  }
  return used;
}

}  // namespace

bool FixedPart::LayOut(const char* path) {
  using namespace format;
  uint8_t* header = store_->header();
  uint8_t* favourites = store_->favourites();
  memset(header, 0, kHeaderSize);
  book_header::EncodeSaved(header, 0, 0);
  memset(favourites, 0, kFavouritesSize);
  EncodeU16(favourites + kFavouriteCountOffset, kFavouriteCount);
  memset(store_->personal_index(), 0, kIndexBufferSize);
  memset(store_->group_index(), 0, kIndexBufferSize);
  store_->ForgetFreeSlotHints();
  store_->SlotsChanged();

  FileHandle file = accessor_.Open(path, OpenMode::kCreate);
  if (file == nullptr) return false;
  const struct {
    const uint8_t* data;
    uint32_t length;
  } parts[] = {
      {header, kHeaderSize},
      {favourites, kFavouritesSize},
      {store_->personal_index(), kLowTableSize},
      {store_->group_index(), kLowTableSize},
      {store_->personal_index() + kLowTableSize, kHighTableSize},
      {store_->group_index() + kLowTableSize, kHighTableSize},
  };
  bool written = true;
  for (const auto& part : parts) {
    uint32_t count = 0;
    if (accessor_.Write(file, part.data, part.length, &count) != kOk) {
      written = false;
      break;
    }
  }
  bool closed = accessor_.Close(file) == kOk;
  return written && closed;
}

short FixedPart::Read(FileHandle file) {
  using namespace format;
  uint8_t* personal = store_->personal_index();
  uint8_t* group = store_->group_index();
  // Whatever is read below, success or not, replaces the slots the hints were taken from.
  store_->ForgetFreeSlotHints();
  store_->SlotsChanged();
  if (ops_.PositionedRead(file, store_->header(), kHeaderOffset, SeekMode::kBegin, kHeaderSize) !=
          kOk ||
      ops_.PositionedRead(file, store_->favourites(), kFavouritesOffset, SeekMode::kBegin,
                          kFavouritesSize) != kOk ||
      ops_.PositionedRead(file, personal, kPersonalLowOffset, SeekMode::kBegin, kLowTableSize) !=
          kOk ||
      ops_.PositionedRead(file, group, kGroupLowOffset, SeekMode::kBegin, kLowTableSize) != kOk) {
    return kFailed;
  }
  uint8_t* header = store_->header();
  store_->format_version = book_header::Version(header);

  uint8_t* personal_high = personal + kLowTableSize;
  uint8_t* group_high = group + kLowTableSize;
  if (store_->format_version >= kVersion2) {
    bool short_file = ops_.PositionedRead(file, personal_high, kPersonalHighOffset,
                                          SeekMode::kBegin, kHighTableSize) != kOk;
    if (short_file || LaidOutAsVersion1(personal_high)) {
      store_->format_version = kVersion1;
      memset(personal_high, 0, kHighTableSize);
    } else {
      memset(personal_high, 0, kHighTableSize);
      if (ops_.PositionedRead(file, personal_high, kPersonalHighOffset, SeekMode::kBegin,
                              kHighTableSize) != kOk ||
          ops_.PositionedRead(file, group_high, kGroupHighOffset, SeekMode::kBegin,
                              kHighTableSize) != kOk) {
        return kFailed;
      }
    }
  }
  if (!book_header::MagicFits(header, store_->format_version)) return kFailed;
  // The counts are those of the used slots, whatever the header says: a walk then hands out
  // every record and only those, and a save writes them right.
  book_header::EncodeCounts(header, CountUsed(personal, kSlotsPerTable),
                            CountUsed(group, kUsedGroupSlots));
  return kOk;
}

}  // namespace telbook
