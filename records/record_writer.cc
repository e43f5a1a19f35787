// The record writer: the switch to the working copy.
// The phone book's read handle is kept until the working copy is ready, so a failed switch
// leaves the session exactly as it was.
#include "records/record_writer.h"

#include <cstring>

#include "browse/tab_browser.h"
#include "store/file_store.h"

namespace telbook {

short RecordWriter::SwitchToWorkingCopy() {
  FileStore* fs = store_;
  FileHandle original = fs->handle;

  char name[kMaxPath];
  if (!client_.MakeTempFile(name)) {
    fs->RecordError(category::kDataBase, detail::kOpenFailed);
    return kFailed;
  }
  strcpy(fs->work_path, name);
  client_.Delete(fs->work_path);
  if (!client_.Copy(fs->path, fs->work_path, 1)) {
    fs->RecordError(category::kDataBase, detail::kOpenFailed);
    return kFailed;
  }
  FileHandle copy = accessor_.Open(fs->work_path, OpenMode::kUpdate);
  if (copy == nullptr) {
    fs->RecordError(category::kDataBase, detail::kOpenFailed);
    client_.Delete(fs->work_path);
    return kFailed;
  }
  short status = client_.ReadHeader(copy);
  if (status != kOk) {
    accessor_.Close(copy);
    client_.Delete(fs->work_path);
    // The buffers may hold part of the copy's fixed part: read them again from the phone book,
    // which the open read once already.
    ErrorPair error = fs->error();
    client_.ReadHeader(original);
    tab_browser_->RebuildOtherClass();
    fs->RecordError(error.category, error.detail);
    return status;
  }
  tab_browser_->RebuildOtherClass();
  accessor_.Close(original);
  fs->handle = copy;
  modified_ = 1;
  return kOk;
}

}  // namespace telbook
