// TL_readOkonomi and TL_writeOkonomi on the favourites block held in memory.
// A stored count above five is read as five: the block has room for five names only.
#include "records/favourites.h"

#include "store/coding.h"
#include "store/errors.h"
#include "store/file_store.h"
#include "store/format.h"
#include "store/working_copy.h"

namespace telbook {

namespace {

constexpr uint32_t kNameSize = format::kFavouriteNameSize;

uint8_t* NamePlace(uint8_t* block, uint16_t category) {
  return block + format::kFavouriteNamesOffset + kNameSize * (category - 1u);
}

void CopyNameOut(const uint8_t* place, char* out) {
  for (uint32_t i = 0; i < kNameSize; ++i) {
    out[i] = static_cast<char>(place[i]);
    if (place[i] == 0) return;
  }
}

// Space, control characters and 0x7F end a name; double-byte characters pass whole since their
// lead bytes are 0x81 up and their trail bytes 0x40 up.
bool IsNameByte(uint8_t c) { return (c >= 0x21 && c <= 0x7E) || c >= 0x80; }

void StoreName(const char* in, uint8_t* place) {
  uint32_t i = 0;
  for (; i < kNameSize; ++i) {
    uint8_t c = static_cast<uint8_t>(in[i]);
    if (!IsNameByte(c)) break;
    place[i] = c;
  }
  for (; i < kNameSize; ++i) place[i] = 0;
}

}  // namespace

uint16_t Favourites::UsedCount() const {
  uint16_t count = DecodeU16(store_->favourites() + format::kFavouriteCountOffset);
  return count > format::kFavouriteCount ? format::kFavouriteCount : count;
}

bool Favourites::IndexFits(uint16_t index) const { return index == 0 || index <= UsedCount(); }

short Favourites::Read(uint16_t index, char* names) {
  if (!store_->is_open()) {
    store_->RecordError(category::kReadOkonomi, detail::kOpenFailed);
    return kFailed;
  }
  if (!IndexFits(index)) {
    store_->RecordError(category::kReadOkonomi, detail::kFavouriteIndex);
    return kFailed;
  }
  if (names == nullptr) {
    store_->RecordError(category::kReadOkonomi, detail::kNoCountPlace);
    return kFailed;
  }
  uint8_t* block = store_->favourites();
  if (index != 0) {
    CopyNameOut(NamePlace(block, index), names);
    return kOk;
  }
  for (uint16_t k = 1; k <= UsedCount(); ++k) {
    CopyNameOut(NamePlace(block, k), names + kNameSize * (k - 1u));
  }
  return kOk;
}

short Favourites::Write(uint16_t index, const char* names) {
  if (!store_->is_open()) {
    store_->RecordError(category::kWriteOkonomi, detail::kOpenFailed);
    return kFailed;
  }
  short status = working_copy_->Ensure();
  if (status != kOk) return kFailed;
  if (!IndexFits(index)) {
    store_->RecordError(category::kWriteOkonomi, detail::kFavouriteIndex);
    return kFailed;
  }
  if (names == nullptr) {
    store_->RecordError(category::kWriteOkonomi, detail::kNoCountPlace);
    return kFailed;
  }
  uint8_t* block = store_->favourites();
  if (index != 0) {
    StoreName(names, NamePlace(block, index));
    return kOk;
  }
  for (uint16_t k = 1; k <= UsedCount(); ++k) {
    StoreName(names + kNameSize * (k - 1u), NamePlace(block, k));
  }
  return kOk;
}

}  // namespace telbook
