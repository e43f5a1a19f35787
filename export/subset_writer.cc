// Writing the phone book subset: the fixed part of the open phone book with free slots and default
// favourites, then the chosen records, converted, in ascending record number.
#include "export/subset_writer.h"

#include <cstring>

#include "export/record_converter.h"
#include "records/group_codec.h"
#include "records/kojin_codec.h"
#include "store/coding.h"
#include "store/errors.h"
#include "store/file_store.h"

namespace telbook {

namespace {

constexpr uint8_t kFavouriteBitsMask = 0xF0;

}  // namespace

short SubsetWriter::Pass(FileHandle out, uint16_t base, const uint16_t* numbers, uint16_t count,
                         MemoryBlock* record, uint16_t* written, int16_t* empty_group) {
  memset(chosen_, 0, sizeof(chosen_));
  for (uint16_t i = 0; i < count; ++i) {
    uint32_t n = numbers[i];
    if (n > base && n - base <= format::kSlotsPerTable) chosen_[n - base] = true;
  }
  const bool personal = base == 0;
  uint8_t* slots = nullptr;
  if (lookup_.Lookup(static_cast<uint16_t>(base + 1), &slots) != kOk) return kFailed;
  ReadAhead& ahead = store_->read_ahead();

  for (uint32_t first = 1; first <= format::kSlotsPerTable; first = window_.last() + 1) {
    // Slots not written below stay free: all zeros.
    window_.Begin(personal, first, format::kSlotsPerTable, nullptr);
    for (uint32_t n = first; n <= window_.last(); ++n) {
      const uint8_t* slot = slots + format::kSlotSize * (n - 1);
      if (Slot::kind(slot) == format::kKindFree) continue;
      // Every record in use is read and its kind checked, chosen or not.
      uint16_t length = Slot::length(slot);
      if (length > record->size() && !record->Obtain(store_->env(), length)) return kFailed;
      if (ahead.Read(store_->handle, Slot::offset(slot), length, record->data()) != kOk) {
        return kFailed;
      }
      uint8_t kind = length == 0 ? format::kKindFree : record->data()[0];
      if (kind != (personal ? format::kKindPersonal : format::kKindGroup)) return kFailed;
      if (!chosen_[n]) continue;

      uint32_t converted = 0;
      if (personal) {
        converted = converter_->ConvertKojin(record->data(), record->size(), length, false);
      } else {
        GroupView view(record->data(), length);
        uint16_t places = static_cast<uint16_t>(view.member_count() + view.extra_places());
        if ((places == 0 || view.place(0) == group::kEmptyPlace) && empty_group != nullptr) {
          *empty_group = 1;
        }
        converted = converter_->ConvertGroup(record->data(), record->size(), length, false);
      }
      if (converted == 0) return kFailed;

      uint32_t position = 0;
      if (records_.Append(record->data(), converted, &position) != kOk) return kFailed;
      Slot::Fill(window_.slot(n), Slot::kind(slot),
                 static_cast<uint8_t>(Slot::tab(slot) & ~kFavouriteBitsMask),
                 static_cast<uint16_t>(converted), position);
      ++*written;
    }
    if (window_.Write(out) != kOk) return kFailed;
  }
  return kOk;
}

short SubsetWriter::Export(const uint16_t* personal, uint16_t personal_count,
                           const uint16_t* groups, uint16_t group_count, const char* file_name,
                           int16_t* empty_group) {
  using namespace format;
  if (converter_ == nullptr) return kFailed;
  Env* env = store_->env();
  // The header and the favourites block lie back to back at the start of the file; the slots
  // behind them are written by the passes, the records behind the fixed part.
  static_assert(kFavouritesOffset == kHeaderOffset + kHeaderSize, "favourites follow the header");
  uint8_t start[kHeaderSize + kFavouritesSize] = {};
  uint8_t* header = start + kHeaderOffset;
  uint8_t* favourites = start + kFavouritesOffset;
  if (client_.PositionedRead(store_->handle, header, kHeaderOffset, kPositionBegin, kHeaderSize) !=
          kOk ||
      client_.PositionedRead(store_->handle, favourites, kFavouritesOffset, kPositionBegin,
                             kFavouritesSize) != kOk) {
    return kFailed;
  }
  const char* magic = store_->format_version == 3 ? kMagicV3 : kMagicV2;
  if (memcmp(header + kMagicOffset, magic, kMagicSize) != 0) return kFailed;
  // The subset has the version-2 layout: a version-1 text would hide the slots above 1024.
  if (store_->format_version < 2) memcpy(header + kVersionOffset, kVersionText, kVersionSize);
  for (uint32_t k = 0; k < kFavouriteCount; ++k) {
    uint8_t* name = favourites + kFavouriteNamesOffset + kFavouriteNameSize * k;
    memcpy(name, kDefaultFavouriteName, kDefaultFavouriteNameSize);
    name[kDefaultFavouriteDigitOffset] =
        static_cast<uint8_t>(name[kDefaultFavouriteDigitOffset] + k);
    name[kDefaultFavouriteNameSize] = 0;
  }

  FileHandle out = accessor_.Open(file_name, OpenMode::kCreate);
  if (out == nullptr) return kFailed;
  short status = kOk;
  MemoryBlock personal_record;
  MemoryBlock group_record;
  ReadAhead& ahead = store_->read_ahead();
  if (!personal_record.Obtain(env, kMaxPersonalRecordSize) ||
      !group_record.Obtain(env, kMaxGroupRecordSize) ||
      (!ahead.ready() && !ahead.Obtain(ReadAhead::kBlockSize)) ||
      !records_.Obtain(AppendBuffer::kBlockSize) || !window_.Obtain()) {
    status = kFailed;
  }
  records_.Start(out, kFixedPartSize);
  uint16_t personal_written = 0;
  uint16_t groups_written = 0;
  if (status == kOk) {
    status =
        Pass(out, 0, personal, personal_count, &personal_record, &personal_written, empty_group);
  }
  if (status == kOk) {
    status =
        Pass(out, kGroupBase, groups, group_count, &group_record, &groups_written, empty_group);
  }
  if (status == kOk) status = records_.Flush();
  if (status == kOk) {
    EncodeU16(header + kPersonalCountOffset, personal_written);
    EncodeU16(header + kGroupCountOffset, groups_written);
    status =
        client_.PositionedWrite(out, start, kHeaderOffset, sizeof(start), kPositionBegin, nullptr);
  }
  records_.Release();
  window_.Release();
  // A close that fails may have lost what was written.
  if (accessor_.Close(out) != kOk) status = kFailed;
  if (status != kOk) {
    client_.Delete(file_name);
    return kFailed;
  }
  return kOk;
}

}  // namespace telbook
