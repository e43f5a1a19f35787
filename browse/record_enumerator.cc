// The record enumerator's walk over both slot tables.
// Its own refusals record no error pair; only a failed record read does.
#include "browse/record_enumerator.h"

#include "store/errors.h"
#include "store/file_store.h"

namespace telbook {

short RecordEnumerator::Begin(uint16_t* count) {
  if (begun_ || !store_->is_open() || count == nullptr) return kFailed;
  begun_ = true;
  delivered_ = 0;
  count_ = static_cast<uint16_t>(store_->personal_count() + store_->group_count());
  resume_ = SlotRef();
  *count = count_;
  return kOk;
}

short RecordEnumerator::Read(TL_ListItem* item) {
  if (!begun_ || count_ == 0 || delivered_ == count_) return kFailed;
  if (!store_->is_open() || item == nullptr || scanner_ == nullptr) return kFailed;
  SlotRef position = resume_;
  if (!scanner_->FindNext(0, 0, /*any=*/true, &position)) return kFailed;
  short status = reader_.ReadListItem(position.record_number(), item);
  ++delivered_;
  position.Advance();
  resume_ = position;
  return status;
}

}  // namespace telbook
