// Compaction: the fixed part first, then each table's records appended in slot order with their
// slots rewritten to point at them, then the final header; flushed before it is reported done.
#include "store/compaction.h"

#include <cstring>

#include "export/record_converter.h"
#include "store/coding.h"
#include "store/errors.h"
#include "store/file_store.h"
#include "store/format.h"

namespace telbook {

namespace {

using namespace format;

// The header of a saved file: always version 2, so always the version-2 magic, whatever the
// phone book was opened as (a version-3 magic beside "0200" would fail the magic check).
void SavedHeader(const uint8_t* in_memory, uint16_t personal, uint16_t groups, uint8_t* out) {
  memcpy(out, in_memory, kHeaderSize);
  memcpy(out + kMagicOffset, kMagicV2, kMagicSize);
  memcpy(out + kVersionOffset, kVersionText, kVersionSize);
  EncodeU16(out + kPersonalCountOffset, personal);
  EncodeU16(out + kGroupCountOffset, groups);
  EncodeU16(out + kPersonalLimitOffset, kPersonalLimit);
  EncodeU16(out + kGroupLimitOffset, kGroupLimit);
}

}  // namespace

bool Compaction::Fail(uint16_t detail) {
  store_->RecordError(category::kClose, detail);
  return false;
}

short Compaction::Run(const char* path) {
  MemoryBlock buffer;
  if (!buffer.Obtain(store_->env(), RecordConverter::kKojinBufferSize)) {
    Fail(detail::kNoMemory);
    client_.Delete(path);
    return kFailed;
  }
  FileHandle out = accessor_.Open(path, OpenMode::kCreate);
  if (out == nullptr) {
    client_.Delete(path);
    return kFailed;
  }

  uint8_t header[kHeaderSize];
  uint16_t personal = 0;
  uint16_t groups = 0;
  SavedHeader(store_->header(), store_->personal_count(), store_->group_count(), header);
  bool ok = WriteFixedPart(out, header) && CopyTable(out, true, &buffer, &personal);
  if (ok && !buffer.Obtain(store_->env(), RecordConverter::kGroupBufferSize)) {
    ok = Fail(detail::kNoMemory);
  }
  ok = ok && CopyTable(out, false, &buffer, &groups) && FreeUnusedGroupSlots(out, &buffer);
  if (ok) {
    SavedHeader(store_->header(), personal, groups, header);
    ok = client_.PositionedWrite(out, header, kHeaderOffset, kHeaderSize, kPositionBegin,
                                 nullptr) == kOk ||
         Fail(detail::kRecordFailed);
  }
  // Nothing may take the phone book's place before its every byte is on the device.
  if (ok && !store_->env()->Sync(out)) ok = Fail(detail::kRecordFailed);
  buffer.Release();
  bool closed = accessor_.Close(out) == kOk;
  if (ok && !closed) ok = Fail(detail::kRecordFailed);
  if (!ok) {
    client_.Delete(path);
    return kFailed;
  }
  return kOk;
}

bool Compaction::WriteFixedPart(FileHandle out, const uint8_t* header) {
  const uint8_t* personal = store_->personal_index();
  const uint8_t* group = store_->group_index();
  const struct {
    const uint8_t* data;
    uint32_t offset;
    uint32_t length;
  } parts[] = {
      {header, kHeaderOffset, kHeaderSize},
      {store_->favourites(), kFavouritesOffset, kFavouritesSize},
      {personal, kPersonalLowOffset, kLowTableSize},
      {group, kGroupLowOffset, kLowTableSize},
      {personal + kLowTableSize, kPersonalHighOffset, kHighTableSize},
      {group + kLowTableSize, kGroupHighOffset, kHighTableSize},
  };
  for (const auto& part : parts) {
    if (client_.PositionedWrite(out, part.data, part.offset, part.length, kPositionBegin,
                                nullptr) != kOk) {
      return Fail(detail::kRecordFailed);
    }
  }
  return true;
}

bool Compaction::CopyTable(FileHandle out, bool personal, MemoryBlock* buffer, uint16_t* count) {
  uint8_t* slot = nullptr;
  if (lookup_.Lookup(personal ? kFirstPersonal : kFirstGroup, &slot) != kOk) {
    return Fail(detail::kBadRecordNumber);
  }
  const uint32_t slots = personal ? kSlotsPerTable : kUsedGroupSlots;
  const uint8_t kind = personal ? kKindPersonal : kKindGroup;
  uint8_t* data = buffer->data();
  const uint32_t capacity = static_cast<uint32_t>(buffer->size());
  for (uint32_t n = 1; n <= slots; ++n, slot += kSlotSize) {
    if (Slot::kind(slot) == kKindFree) continue;
    ++*count;
    // A record longer than its kind can be is read as far as the buffer holds; the conversion
    // keeps what a reader can decode from that.
    uint32_t length = Slot::length(slot);
    if (length > capacity) length = capacity;
    if (length == 0) return Fail(detail::kRecordFailed);
    if (client_.PositionedRead(store_->handle, data, Slot::offset(slot), kPositionBegin, length) !=
            kOk ||
        data[0] != kind) {
      return Fail(detail::kRecordFailed);
    }
    uint32_t converted = personal ? converter_->ConvertKojin(data, capacity, length, true)
                                  : converter_->ConvertGroup(data, capacity, length, true);
    uint32_t position = 0;
    if (converted == 0 ||
        client_.PositionedWrite(out, data, 0, converted, kPositionEnd, &position) != kOk) {
      return Fail(detail::kRecordFailed);
    }
    // The new slot goes to the file only; the in-memory index keeps pointing into the working
    // copy until the saved file has taken the phone book's place.
    uint8_t moved[kSlotSize];
    Slot::Fill(moved, Slot::kind(slot), Slot::tab(slot), static_cast<uint16_t>(converted),
               position);
    uint32_t at = personal ? PersonalSlotOffset(n) : GroupSlotOffset(n);
    if (client_.PositionedWrite(out, moved, at, kSlotSize, kPositionBegin, nullptr) != kOk) {
      return Fail(detail::kRecordFailed);
    }
  }
  return true;
}

bool Compaction::FreeUnusedGroupSlots(FileHandle out, MemoryBlock* buffer) {
  // Slots 5001 to 9999 lie back to back in the file's high group table.
  const uint32_t per_chunk = static_cast<uint32_t>(buffer->size()) / kSlotSize;
  const uint8_t* from = store_->group_index() + kSlotSize * kUsedGroupSlots;
  uint8_t* scratch = buffer->data();
  for (uint32_t first = kUsedGroupSlots + 1; first <= kSlotsPerTable; first += per_chunk) {
    uint32_t n = kSlotsPerTable - first + 1;
    if (n > per_chunk) n = per_chunk;
    memcpy(scratch, from, kSlotSize * n);
    for (uint32_t i = 0; i < n; ++i) scratch[kSlotSize * i + kSlotKindOffset] = kKindFree;
    if (client_.PositionedWrite(out, scratch, GroupSlotOffset(first), kSlotSize * n, kPositionBegin,
                                nullptr) != kOk) {
      return Fail(detail::kRecordFailed);
    }
    from += kSlotSize * n;
  }
  return true;
}

}  // namespace telbook
