// The book-file writer's passes: each table's records appended behind the fixed part, its slots
// a window at a time, then the header and favourites, which lie back to back at the start.
#include "store/book_file_writer.h"

#include <cstring>

#include "store/book_header.h"
#include "store/errors.h"
#include "store/file_store.h"

namespace telbook {

namespace {

using namespace format;

// A buffer that holds the longest record of the table's kind.
constexpr uint32_t kBufferSize[2] = {kMaxPersonalRecordSize, kMaxGroupRecordSize};
constexpr uint8_t kTableKind[2] = {kKindPersonal, kKindGroup};
constexpr uint16_t kFirstNumber[2] = {kFirstPersonal, kFirstGroup};

}  // namespace

bool BookFileWriter::Fail(uint16_t detail) {
  if (plan_->error_category != 0) store_->RecordError(plan_->error_category, detail);
  return false;
}

bool BookFileWriter::Write(FileHandle out, const Plan& plan, RecordHook* hook, uint8_t* header,
                           const uint8_t* favourites) {
  plan_ = &plan;
  hook_ = hook;
  MemoryBlock buffer;
  if (!buffer.Obtain(store_->env(), kBufferSize[kPersonal])) {
    Fail(detail::kNoMemory);
    plan_ = nullptr;
    hook_ = nullptr;
    return false;
  }

  bool ok = true;
  ReadAhead& ahead = store_->read_ahead();
  const size_t block_size = plan.block_size;
  const bool grow = ahead.capacity() < block_size;
  if ((grow && !ahead.Obtain(block_size)) || !records_.Obtain(block_size) || !window_.Obtain()) {
    ok = Fail(detail::kNoMemory);
  }
  // The records lie behind the fixed part, which is written in pieces around them.
  records_.Start(out, kFixedPartSize);
  uint16_t written[2] = {0, 0};
  ok = ok && WriteTable(out, kPersonal, &buffer, &written[kPersonal]);
  if (ok && !buffer.Obtain(store_->env(), kBufferSize[kGroup])) ok = Fail(detail::kNoMemory);
  ok = ok && WriteTable(out, kGroup, &buffer, &written[kGroup]);
  if (ok && records_.Flush() != kOk) ok = Fail(detail::kRecordFailed);
  if (ok) {
    static_assert(kFavouritesOffset == kHeaderOffset + kHeaderSize, "favourites follow the header");
    uint8_t start[kHeaderSize + kFavouritesSize];
    book_header::EncodeCounts(header, written[kPersonal], written[kGroup]);
    memcpy(start, header, kHeaderSize);
    memcpy(start + kHeaderSize, favourites, kFavouritesSize);
    if (ops_.PositionedWrite(out, start, kHeaderOffset, sizeof(start), SeekMode::kBegin, nullptr) !=
        kOk) {
      ok = Fail(detail::kRecordFailed);
    }
  }
  buffer.Release();
  records_.Release();
  window_.Release();
  if (grow && block_size > ReadAhead::kBlockSize) ahead.Release();
  plan_ = nullptr;
  hook_ = nullptr;
  return ok;
}

bool BookFileWriter::WriteTable(FileHandle out, Table table, MemoryBlock* buffer,
                                uint16_t* written) {
  uint8_t* slots = nullptr;
  if (lookup_.Lookup(kFirstNumber[table], &slots) != kOk) return Fail(detail::kBadRecordNumber);
  const bool personal = table == kPersonal;
  const uint32_t last = plan_->last_slot[table];
  ReadAhead& ahead = store_->read_ahead();
  for (uint32_t first = 1; first <= kSlotsPerTable; first = window_.last() + 1) {
    window_.Begin(personal, first, kSlotsPerTable,
                  plan_->keep_slot_bytes ? slots + kSlotSize * (first - 1) : nullptr);
    for (uint32_t n = first; n <= window_.last(); ++n) {
      const uint8_t* slot = slots + kSlotSize * (n - 1);
      if (n > last) {
        window_.slot(n)[kSlotKindOffset] = kKindFree;
        continue;
      }
      if (Slot::kind(slot) == kKindFree) continue;
      // Every used record is read and its kind checked, kept or not, unless the plan says
      // otherwise.
      const bool keep = hook_->Keeps(table, n);
      if (!keep && plan_->read_kept_only) continue;
      uint32_t length = Slot::length(slot);
      if (length > buffer->size()) {
        if (!plan_->whole_records) {
          length = static_cast<uint32_t>(buffer->size());
        } else if (!buffer->Obtain(store_->env(), length)) {
          return Fail(detail::kNoMemory);
        }
      }
      if (length == 0 ||
          ahead.Read(store_->handle, Slot::offset(slot), length, buffer->data()) != kOk ||
          buffer->data()[0] != kTableKind[table]) {
        return Fail(detail::kRecordFailed);
      }
      if (!keep) continue;
      uint8_t tab = Slot::tab(slot);
      uint32_t converted = hook_->Convert(table, buffer->data(), buffer->size(), length, &tab);
      uint32_t position = 0;
      if (converted == 0 || records_.Append(buffer->data(), converted, &position) != kOk) {
        return Fail(detail::kRecordFailed);
      }
      // The new slot goes to the file only; the in-memory index keeps pointing into the open
      // file.
      Slot::Fill(window_.slot(n), Slot::kind(slot), tab, static_cast<uint16_t>(converted),
                 position);
      ++*written;
    }
    if (window_.Write(out) != kOk) return Fail(detail::kRecordFailed);
  }
  return true;
}

}  // namespace telbook
