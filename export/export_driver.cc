// TL_writeSrchData: checking the request, gathering the members of the chosen groups, running
// the chosen writer into a new file, and putting that file where the destination is.
#include "export/export_driver.h"

#include <cstring>

#include "export/text_export.h"
#include "platform/memory_block.h"
#include "records/group_codec.h"
#include "store/errors.h"
#include "store/file_store.h"
#include "store/output_file.h"
#include "store/read_ahead.h"

namespace telbook {

void ExportDriver::AddMember(uint16_t n, uint16_t* length) {
  if (in_personal_[n]) return;
  if (*length == format::kSlotsPerTable) {
    // Only repeated or foreign numbers can fill the list; what it means, the set of entries
    // chosen, fits in it without them.
    uint16_t kept = 0;
    for (uint32_t m = format::kFirstPersonal; m <= format::kLastPersonal; ++m) {
      if (in_personal_[m]) personal_[kept++] = static_cast<uint16_t>(m);
    }
    *length = kept;
  }
  in_personal_[n] = true;
  personal_[(*length)++] = n;
}

short ExportDriver::ExpandGroups(uint16_t* personal_count, uint16_t group_count) {
  memset(in_personal_, 0, sizeof(in_personal_));
  memset(group_done_, 0, sizeof(group_done_));
  for (uint16_t i = 0; i < *personal_count; ++i) {
    uint16_t n = personal_[i];
    if (n >= format::kFirstPersonal && n <= format::kLastPersonal) in_personal_[n] = true;
  }
  uint16_t length = *personal_count;
  // One block for every group record, grown when a longer one comes; a slot of no bytes fails as
  // no memory.
  MemoryBlock record;
  for (uint16_t i = 0; i < group_count; ++i) {
    uint16_t g = groups_[i];
    uint8_t* slot = nullptr;
    if (lookup_.Lookup(g, &slot) != kOk) {
      store_->RecordError(category::kWriteGroup, detail::kBadRecordNumber);
      return kFailed;
    }
    // A free slot (a deleted group) is absent, as the writers take it; a group given twice adds
    // nothing the second time.
    if (Slot::kind(slot) == format::kKindFree || group_done_[g]) continue;
    group_done_[g] = true;

    uint16_t size = Slot::length(slot);
    if ((size == 0 || record.size() < size) && !record.Obtain(store_->env(), size)) {
      store_->RecordError(category::kOpenGroup, detail::kNoMemory);
      return kFailed;
    }
    // Groups lie back to back in a saved book: read them ahead, or one by one without a block.
    ReadAhead& ahead = store_->read_ahead();
    if (!ahead.ready()) ahead.Obtain(ReadAhead::kBlockSize);
    short status = ahead.Read(store_->handle, Slot::offset(slot), size, record.data());
    if (status != kOk) return status;
    GroupView view(record.data(), size);
    // N + M counts as a 16-bit value; places past the record's end are not read.
    size_t places = static_cast<uint16_t>(view.member_count() + view.extra_places());
    if (places > view.place_count()) places = view.place_count();
    for (size_t k = 0; k < places; ++k) {
      uint16_t member = view.place(k);
      if (member == group::kEmptyPlace) break;
      if (member < format::kFirstPersonal || member > format::kLastPersonal) continue;
      AddMember(member, &length);
    }
  }
  *personal_count = length;
  return kOk;
}

short ExportDriver::CheckRequest(const uint16_t* personal, uint32_t personal_count_value,
                                 const uint16_t* groups, uint32_t group_count_value) {
  if (!store_->is_open()) {
    store_->RecordError(category::kClose, detail::kOpenFailed);
    return kFailed;
  }
  uint16_t personal_count = static_cast<uint16_t>(personal_count_value);
  uint16_t group_count = static_cast<uint16_t>(group_count_value);
  if (personal_count > format::kSlotsPerTable || group_count > format::kSlotsPerTable) {
    store_->RecordError(category::kClose, detail::kBadRecordNumber);
    return kFailed;
  }
  if ((personal == nullptr && personal_count != 0) || (groups == nullptr && group_count != 0)) {
    store_->RecordError(category::kClose, detail::kNoCountPlace);
    return kFailed;
  }
  return kOk;
}

short ExportDriver::Gather(const uint16_t* personal, uint16_t* personal_count,
                           const uint16_t* groups, uint16_t group_count) {
  memset(personal_, 0, sizeof(personal_));
  memset(groups_, 0, sizeof(groups_));
  if (*personal_count != 0) memcpy(personal_, personal, sizeof(uint16_t) * *personal_count);
  if (group_count != 0) memcpy(groups_, groups, sizeof(uint16_t) * group_count);
  return group_count != 0 ? ExpandGroups(personal_count, group_count) : kOk;
}

short ExportDriver::WriteTextTo(const uint16_t* personal, uint32_t personal_count_value,
                                const uint16_t* groups, uint32_t group_count_value,
                                TextSink* sink) {
  short status = CheckRequest(personal, personal_count_value, groups, group_count_value);
  if (status != kOk) return status;
  if (text_writer_ == nullptr || sink == nullptr) return kFailed;
  uint16_t personal_count = static_cast<uint16_t>(personal_count_value);
  uint16_t group_count = static_cast<uint16_t>(group_count_value);
  status = Gather(personal, &personal_count, groups, group_count);
  if (status != kOk) return status;
  return text_writer_->ExportTo(personal_, personal_count, groups_, group_count, sink);
}

short ExportDriver::WriteSrchData(const uint16_t* personal, uint32_t personal_count_value,
                                  const uint16_t* groups, uint32_t group_count_value,
                                  uint32_t format_value, const char* destination,
                                  int16_t* empty_group) {
  short status = CheckRequest(personal, personal_count_value, groups, group_count_value);
  if (status != kOk) return status;
  if (destination == nullptr) {
    store_->RecordError(category::kFileOpen, detail::kCreateFailed);
    return kFailed;
  }
  uint16_t personal_count = static_cast<uint16_t>(personal_count_value);
  uint16_t group_count = static_cast<uint16_t>(group_count_value);
  status = Gather(personal, &personal_count, groups, group_count);
  if (status != kOk) return status;

  OutputFile out(store_);
  if (!out.BeginExport(destination, category::kClose)) return kFailed;
  if (static_cast<uint16_t>(format_value) == kExportFormatSubset) {
    status =
        subset_.Export(personal_, personal_count, groups_, group_count, out.file(), empty_group);
  } else if (text_writer_ != nullptr) {
    status = text_writer_->Export(personal_, personal_count, groups_, group_count, out.file());
  } else {
    status = kFailed;
  }
  if (status == kOk && !out.Commit(nullptr)) status = kFailed;
  return status;
}

}  // namespace telbook
