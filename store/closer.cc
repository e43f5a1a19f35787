// TL_closeDataBase: save or drop, then release.
// Once the saved file has replaced the phone book, nothing that follows can undo the save.
#include "store/closer.h"

#include "store/file_store.h"
#include "store/working_copy.h"

namespace telbook {

short Closer::Close(uint16_t discard) {
  if (!store_->is_open()) {
    store_->RecordError(category::kClose, detail::kOpenFailed);
    return kFailed;
  }
  if (working_copy_->modified() == 1 && discard == 0) return Save();
  Release();
  return kOk;
}

void Closer::Release() {
  accessor_.Close(store_->handle);
  working_copy_->Drop();
  store_->handle = nullptr;
  store_->ReleaseBuffers();
}

short Closer::Save() {
  // The new file lies beside the phone book, so that it can replace it in one step: a rename
  // across file systems is not atomic.
  char compacted[kMaxPath];
  bool saved =
      ops_.MakeSiblingTempFile(store_->path, compacted) && compaction_.Run(compacted) == kOk;
  if (saved && !store_->env()->ReplaceFile(compacted, store_->path)) {
    ops_.Delete(compacted);
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
