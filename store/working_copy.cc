// The switch to the working copy.
// The phone book's read handle is kept until the working copy is ready, so a failed switch
// leaves the session exactly as it was.
#include "store/working_copy.h"

#include <cstring>

#include "store/file_store.h"

namespace telbook {

short WorkingCopy::Switch() {
  FileStore* fs = store_;
  FileHandle original = fs->handle;

  char name[kMaxPath];
  if (!ops_.MakeTempFile(name)) {
    fs->RecordError(category::kDataBase, detail::kOpenFailed);
    return kFailed;
  }
  strcpy(fs->work_path, name);
  ops_.Delete(fs->work_path);
  if (!ops_.Copy(fs->path, fs->work_path, 1)) {
    // The name is ours: the empty file may still be there when its first delete failed.
    ops_.Delete(fs->work_path);
    fs->RecordError(category::kDataBase, detail::kOpenFailed);
    return kFailed;
  }
  FileHandle copy = accessor_.Open(fs->work_path, OpenMode::kUpdate);
  if (copy == nullptr) {
    fs->RecordError(category::kDataBase, detail::kOpenFailed);
    ops_.Delete(fs->work_path);
    return kFailed;
  }
  short status = fixed_part_.Read(copy);
  if (status != kOk) {
    accessor_.Close(copy);
    ops_.Delete(fs->work_path);
    // The buffers may hold part of the copy's fixed part: read them again from the phone book,
    // which the open read once already.
    ErrorPair error = fs->error();
    fixed_part_.Read(original);
    IndexWasReloaded();
    fs->RecordError(error.category, error.detail);
    return status;
  }
  fs->read_ahead().Forget();
  accessor_.Close(original);
  fs->handle = copy;
  IndexWasReloaded();
  modified_ = 1;
  return kOk;
}

void WorkingCopy::Drop() {
  if (modified_ == 1) ops_.Delete(store_->work_path);
  modified_ = 0;
}

}  // namespace telbook
