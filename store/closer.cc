// TL_closeDataBase: save or drop, then release.
#include "store/closer.h"

#include "records/record_writer.h"
#include "store/file_store.h"

namespace telbook {

short Closer::Close(uint16_t discard) {
  if (!store_->is_open()) {
    store_->RecordError(category::kClose, detail::kOpenFailed);
    return kFailed;
  }
  if (writer_->modified() == 1 && discard == 0) return Save();
  Release();
  return kOk;
}

void Closer::Release() {
  accessor_.Close(store_->handle);
  if (writer_->modified() == 1) client_.Delete(store_->work_path);
  store_->handle = nullptr;
  store_->ReleaseBuffers();
  writer_->ClearModified();
}

short Closer::Save() {
  // The compaction arrives with the saving close; until then a changed phone book cannot be
  // saved and stays open on its working copy.
  store_->RecordError(category::kClose, detail::kRecordFailed);
  return kFailed;
}

}  // namespace telbook
