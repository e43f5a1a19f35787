// Compaction: each table's records appended in slot order behind the fixed part, its slots written
// a window at a time pointing at them, then the header and favourites; flushed before it is
// reported done.
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

  bool ok = true;
  ReadAhead& ahead = store_->read_ahead();
  if ((!ahead.ready() && !ahead.Obtain(ReadAhead::kBlockSize)) ||
      !records_.Obtain(AppendBuffer::kBlockSize) || !window_.Obtain()) {
    ok = Fail(detail::kNoMemory);
  }
  // The records lie behind the fixed part, which is written in pieces around them.
  records_.Start(out, kFixedPartSize);
  uint16_t personal = 0;
  uint16_t groups = 0;
  ok = ok && CopyTable(out, true, &buffer, &personal);
  if (ok && !buffer.Obtain(store_->env(), RecordConverter::kGroupBufferSize)) {
    ok = Fail(detail::kNoMemory);
  }
  ok = ok && CopyTable(out, false, &buffer, &groups) && FreeUnusedGroupSlots(out);
  if (ok && records_.Flush() != kOk) ok = Fail(detail::kRecordFailed);
  if (ok) {
    uint8_t header[kHeaderSize];
    SavedHeader(store_->header(), personal, groups, header);
    ok = WriteHeaderAndFavourites(out, header);
  }
  // Nothing may take the phone book's place before its every byte is on the device.
  if (ok && !store_->env()->Sync(out)) ok = Fail(detail::kRecordFailed);
  buffer.Release();
  records_.Release();
  window_.Release();
  bool closed = accessor_.Close(out) == kOk;
  if (ok && !closed) ok = Fail(detail::kRecordFailed);
  if (!ok) {
    client_.Delete(path);
    return kFailed;
  }
  return kOk;
}

bool Compaction::WriteHeaderAndFavourites(FileHandle out, const uint8_t* header) {
  static_assert(kFavouritesOffset == kHeaderOffset + kHeaderSize, "favourites follow the header");
  uint8_t start[kHeaderSize + kFavouritesSize];
  memcpy(start, header, kHeaderSize);
  memcpy(start + kHeaderSize, store_->favourites(), kFavouritesSize);
  if (client_.PositionedWrite(out, start, kHeaderOffset, sizeof(start), kPositionBegin, nullptr) !=
      kOk) {
    return Fail(detail::kRecordFailed);
  }
  return true;
}

bool Compaction::CopyTable(FileHandle out, bool personal, MemoryBlock* buffer, uint16_t* count) {
  uint8_t* table = nullptr;
  if (lookup_.Lookup(personal ? kFirstPersonal : kFirstGroup, &table) != kOk) {
    return Fail(detail::kBadRecordNumber);
  }
  const uint32_t slots = personal ? kSlotsPerTable : kUsedGroupSlots;
  const uint8_t kind = personal ? kKindPersonal : kKindGroup;
  uint8_t* data = buffer->data();
  const uint32_t capacity = static_cast<uint32_t>(buffer->size());
  ReadAhead& ahead = store_->read_ahead();
  for (uint32_t first = 1; first <= slots; first = window_.last() + 1) {
    // Free slots go out as they stand in memory; every used one is pointed at its new place.
    window_.Begin(personal, first, slots, table + kSlotSize * (first - 1));
    for (uint32_t n = first; n <= window_.last(); ++n) {
      const uint8_t* slot = table + kSlotSize * (n - 1);
      if (Slot::kind(slot) == kKindFree) continue;
      ++*count;
      // A record longer than its kind can be is read as far as the buffer holds; the conversion
      // keeps what a reader can decode from that.
      uint32_t length = Slot::length(slot);
      if (length > capacity) length = capacity;
      if (length == 0) return Fail(detail::kRecordFailed);
      if (ahead.Read(store_->handle, Slot::offset(slot), length, data) != kOk || data[0] != kind) {
        return Fail(detail::kRecordFailed);
      }
      uint32_t converted = personal ? converter_->ConvertKojin(data, capacity, length, true)
                                    : converter_->ConvertGroup(data, capacity, length, true);
      uint32_t position = 0;
      if (converted == 0 || records_.Append(data, converted, &position) != kOk) {
        return Fail(detail::kRecordFailed);
      }
      // The new slot goes to the file only; the in-memory index keeps pointing into the working
      // copy until the saved file has taken the phone book's place.
      Slot::Fill(window_.slot(n), Slot::kind(slot), Slot::tab(slot),
                 static_cast<uint16_t>(converted), position);
    }
    if (window_.Write(out) != kOk) return Fail(detail::kRecordFailed);
  }
  return true;
}

bool Compaction::FreeUnusedGroupSlots(FileHandle out) {
  const uint8_t* table = store_->group_index();
  for (uint32_t first = kUsedGroupSlots + 1; first <= kSlotsPerTable; first = window_.last() + 1) {
    window_.Begin(false, first, kSlotsPerTable, table + kSlotSize * (first - 1));
    for (uint32_t n = first; n <= window_.last(); ++n) {
      window_.slot(n)[kSlotKindOffset] = kKindFree;
    }
    if (window_.Write(out) != kOk) return Fail(detail::kRecordFailed);
  }
  return true;
}

}  // namespace telbook
