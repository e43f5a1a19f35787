// Positioned file access, copies, temporary names, the new-file layout and the header read.
// The header read is where a file's format version and its version-1 layout are decided.
#include "store/store_client.h"

#include <cstring>

#include "store/coding.h"
#include "store/file_store.h"
#include "store/format.h"

namespace telbook {

namespace {

constexpr char kTempPrefix[] = "tel";

}  // namespace

short StoreClient::PositionedRead(FileHandle file, void* buffer, uint32_t offset, uint16_t mode,
                                  uint32_t length) {
  uint32_t position = 0;
  if (accessor_.Position(file, offset, mode, &position) != kOk) return kFailed;
  uint32_t count = 0;
  return accessor_.Read(file, buffer, length, &count);
}

short StoreClient::PositionedWrite(FileHandle file, const void* buffer, uint32_t offset,
                                   uint32_t length, uint16_t mode, uint32_t* position) {
  uint32_t where = 0;
  if (accessor_.Position(file, offset, mode, &where) != kOk) return kFailed;
  if (position != nullptr) *position = where;
  uint32_t count = 0;
  return accessor_.Write(file, buffer, length, &count);
}

bool StoreClient::Copy(const char* from, const char* to, uint16_t clear_read_only) {
  Env* env = store_->env();
  if (!env->CopyFile(from, to, /*fail_if_exists=*/true)) return false;
  if (clear_read_only == 1) env->ClearReadOnly(to);
  return true;
}

short StoreClient::Delete(const char* path) {
  // One more try: a scanner or indexer may hold a file it just saw appear for a moment.
  Env* env = store_->env();
  if (!env->DeleteFile(path)) env->DeleteFile(path);
  return kOk;
}

bool StoreClient::MakeTempFile(char* out) {
  char dir[kMaxPath];
  Env* env = store_->env();
  return env->TempDirectory(dir) && env->MakeTempFile(dir, kTempPrefix, out);
}

bool StoreClient::MakeSiblingTempFile(const char* path, char* out) {
  char dir[kMaxPath];
  size_t length = strnlen(path, kMaxPath);
  if (length >= kMaxPath) return false;
  size_t cut = length;
  while (cut > 0 && path[cut - 1] != '/' && path[cut - 1] != '\\') --cut;
  if (cut == 0) {
    dir[0] = '.';
    dir[1] = '/';
    dir[2] = '\0';
  } else {
    memcpy(dir, path, cut);
    dir[cut] = '\0';
  }
  return store_->env()->MakeTempFile(dir, kTempPrefix, out);
}

bool StoreClient::LayOutNewFile(const char* path) {
  using namespace format;
  uint8_t* header = store_->header();
  uint8_t* favourites = store_->favourites();
  memset(header, 0, kHeaderSize);
  memcpy(header + kMagicOffset, kMagicV2, kMagicSize);
  memcpy(header + kVersionOffset, kVersionText, kVersionSize);
  EncodeU16(header + kPersonalLimitOffset, kPersonalLimit);
  EncodeU16(header + kGroupLimitOffset, kGroupLimit);
  memset(favourites, 0, kFavouritesSize);
  EncodeU16(favourites + kFavouriteCountOffset, kFavouriteCount);
  memset(store_->personal_index(), 0, kIndexBufferSize);
  memset(store_->group_index(), 0, kIndexBufferSize);
  store_->ForgetFreeSlotHints();

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

short StoreClient::ReadHeader(FileHandle file) {
  using namespace format;
  uint8_t* personal = store_->personal_index();
  uint8_t* group = store_->group_index();
  // Whatever is read below, success or not, replaces the slots the hints were taken from.
  store_->ForgetFreeSlotHints();
  if (PositionedRead(file, store_->header(), kHeaderOffset, kPositionBegin, kHeaderSize) != kOk ||
      PositionedRead(file, store_->favourites(), kFavouritesOffset, kPositionBegin,
                     kFavouritesSize) != kOk ||
      PositionedRead(file, personal, kPersonalLowOffset, kPositionBegin, kLowTableSize) != kOk ||
      PositionedRead(file, group, kGroupLowOffset, kPositionBegin, kLowTableSize) != kOk) {
    return kFailed;
  }
  uint8_t* header = store_->header();
  if (store_->group_count() > kGroupLimit) store_->set_group_count(kGroupLimit);
  store_->format_version = ParseVersion(header + kVersionOffset);

  uint8_t* personal_high = personal + kLowTableSize;
  uint8_t* group_high = group + kLowTableSize;
  if (store_->format_version >= 2) {
    bool short_file = PositionedRead(file, personal_high, kPersonalHighOffset, kPositionBegin,
                                     kHighTableSize) != kOk;
    // In a version-1 file these bytes are the kind and the zero of the first record; in a later
    // one the kind and tab code of personal slot 1025, never a non-zero kind with tab code 0.
    if (short_file || (personal_high[0] != 0 && personal_high[1] == 0)) {
      store_->format_version = 1;
      memset(personal_high, 0, kHighTableSize);
    } else {
      memset(personal_high, 0, kHighTableSize);
      if (PositionedRead(file, personal_high, kPersonalHighOffset, kPositionBegin,
                         kHighTableSize) != kOk ||
          PositionedRead(file, group_high, kGroupHighOffset, kPositionBegin, kHighTableSize) !=
              kOk) {
        return kFailed;
      }
    }
  }

  memcpy(magic_, header + kMagicOffset, kMagicSize);
  const char* expected = store_->format_version == 3 ? kMagicV3 : kMagicV2;
  if (memcmp(magic_, expected, kMagicSize) != 0) return kFailed;
  return kOk;
}

}  // namespace telbook
