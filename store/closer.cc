// TL_closeDataBase: save or drop, then release.
// Once the saved file has replaced the phone book, nothing that follows can undo the save.
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
  // The new file lies beside the phone book, so that it can replace it in one step: a rename
  // across file systems is not atomic.
  char compacted[kMaxPath];
  bool saved =
      client_.MakeSiblingTempFile(store_->path, compacted) && compaction_.Run(compacted) == kOk;
  if (saved && !store_->env()->ReplaceFile(compacted, store_->path)) {
    client_.Delete(compacted);
    saved = false;
  }
  if (!saved) {
    store_->RecordError(category::kClose, detail::kRecordFailed);
    return kFailed;
  }
  Release();
  return kOk;
}

}  // namespace telbook
