// The record writer: encoding an entry or a group, appending it to the working copy (through the
// store's write-behind block) and pointing its slot at it.
#include "records/record_writer.h"

#include <cstring>

#include "platform/memory_block.h"
#include "records/group_codec.h"
#include "records/kojin_codec.h"
#include "records/reading_class.h"
#include "store/file_store.h"
#include "store/format.h"
#include "store/working_copy.h"

namespace telbook {

short RecordWriter::AppendRecord(const uint8_t* record, uint32_t length, uint16_t category,
                                 uint32_t* offset) {
  FileStore* fs = store_;
  // Reads must see every byte written, whatever the write's outcome.
  fs->read_ahead().Forget();
  AppendBuffer& appends = fs->write_behind();
  if (appends.file() != fs->handle) {
    uint32_t end = 0;
    if (accessor_.Position(fs->handle, 0, SeekMode::kEnd, &end) != kOk) {
      fs->RecordError(category, detail::kRecordFailed);
      return kFailed;
    }
    // Without the block each record is written as it comes.
    if (!appends.ready()) appends.Obtain(AppendBuffer::kBlockSize);
    appends.Start(fs->handle, end);
  }
  if (appends.Append(record, length, offset) != kOk) {
    fs->RecordError(category, detail::kRecordFailed);
    return kFailed;
  }
  return kOk;
}

short RecordWriter::Append(const uint8_t* record, uint32_t length, uint8_t* slot, uint8_t kind,
                           uint8_t tab, bool added, uint16_t category) {
  FileStore* fs = store_;
  uint32_t offset = 0;
  short status = AppendRecord(record, length, category, &offset);
  if (status != kOk) return status;
  Slot::Fill(slot, kind, tab, static_cast<uint16_t>(length), offset);
  if (added) {
    if (kind == format::kKindGroup) {
      fs->set_group_count(static_cast<uint16_t>(fs->group_count() + 1));
    } else {
      fs->set_personal_count(static_cast<uint16_t>(fs->personal_count() + 1));
    }
  }
  return kOk;
}

short RecordWriter::WriteKojin(const TL_Kojin* entry, uint16_t* record_number) {
  FileStore* fs = store_;
  if (!fs->is_open()) {
    fs->RecordError(category::kWriteKojin, detail::kOpenFailed);
    return kFailed;
  }
  if (entry == nullptr || record_number == nullptr) {
    fs->RecordError(category::kWriteKojin, detail::kNoCountPlace);
    return kFailed;
  }
  uint16_t number = *record_number;
  bool was_free = number != 0 && number <= format::kLastPersonal && lookup_.IsFree(number);
  short status = working_copy_->Ensure();
  if (status != kOk) return status;

  if (number == 0) {
    number = lookup_.FreeSlot(0);
    if (number == format::kNoFreeSlot) {
      fs->RecordError(category::kWriteKojin, detail::kNoFreeSlot);
      return kNoFreeSlotStatus;
    }
  } else if (number > format::kLastPersonal) {
    fs->RecordError(category::kWriteKojin, detail::kRecordFailed);
    return kFailed;
  }
  uint8_t* slot = nullptr;
  lookup_.Lookup(number, &slot);

  MemoryBlock buffer;
  if (!buffer.Obtain(fs->env(), kojin::kEncodeCapacity)) {
    fs->RecordError(category::kWriteKojin, detail::kNoMemory);
    return kFailed;
  }
  uint32_t length = EncodeKojin(*entry, buffer.data(), buffer.size());
  uint8_t tab =
      format::TabCode(ClassifyField(entry->Furigana, sizeof(entry->Furigana)), entry->Favourite);
  status = Append(buffer.data(), length, slot, format::kKindPersonal, tab,
                  *record_number == 0 || was_free, category::kWriteKojin);
  *record_number = number;
  return status;
}

short RecordWriter::WriteGroup(const TL_Group* entry, uint16_t* record_number, uint16_t count,
                               const uint16_t* members) {
  FileStore* fs = store_;
  // The compaction moves group records through a buffer sized for 9999 members.
  if (count > format::kMaxGroupMembers) {
    fs->RecordError(category::kWriteGroup, detail::kRecordFailed);
    return kFailed;
  }
  if (!fs->is_open()) {
    fs->RecordError(category::kWriteGroup, detail::kOpenFailed);
    return kFailed;
  }
  if (entry == nullptr || record_number == nullptr || (members == nullptr && count != 0)) {
    fs->RecordError(category::kWriteGroup, detail::kNoCountPlace);
    return kFailed;
  }
  uint16_t number = *record_number;
  bool was_free =
      number >= format::kFirstGroup && number <= format::kLastNewGroup && lookup_.IsFree(number);
  short status = working_copy_->Ensure();
  if (status != kOk) return status;

  if (number == 0) {
    number = lookup_.FreeSlot(format::kGroupBase);
    if (number == format::kNoFreeSlot || number > format::kLastNewGroup) {
      fs->RecordError(category::kWriteGroup, detail::kNoFreeSlot);
      return kNoFreeSlotStatus;
    }
  } else if (number < format::kFirstGroup || number > format::kLastNewGroup) {
    fs->RecordError(category::kWriteGroup, detail::kBadRecordNumber);
    return kFailed;
  }
  uint8_t* slot = nullptr;
  lookup_.Lookup(number, &slot);

  MemoryBlock buffer;
  if (!buffer.Obtain(fs->env(), group::EncodeCapacity(count))) {
    fs->RecordError(category::kWriteGroup, detail::kNoMemory);
    return kFailed;
  }
  uint32_t length = EncodeGroup(*entry, members, count, buffer.data(), buffer.size());
  uint8_t tab =
      format::TabCode(ClassifyField(entry->Furigana, sizeof(entry->Furigana)), entry->Favourite);
  status = Append(buffer.data(), length, slot, format::kKindGroup, tab,
                  *record_number == 0 || was_free, category::kWriteGroup);
  *record_number = number;
  return status;
}

}  // namespace telbook
