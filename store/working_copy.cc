// The switch to the working copy: an unnamed (or delete-on-close) file in the temporary
// directory. The phone book's read handle is kept until the working copy is ready, so a failed
// switch leaves the session exactly as it was.
#include "store/working_copy.h"

#include <cstring>

#include "store/file_store.h"
#include "store/output_file.h"

namespace telbook {

namespace {

constexpr char kTempPrefix[] = "tel";

}  // namespace

short WorkingCopy::Switch() {
  FileStore* fs = store_;
  Env* env = fs->env();
  FileHandle original = fs->handle;

  char dir[kMaxPath];
  if (!env->TempDirectory(dir)) {
    fs->RecordError(category::kDataBase, detail::kNoDirectory);
    return kFailed;
  }
  // Unnamed where the system allows, so that a killed process leaves nothing behind.
  char name[kMaxPath];
  FileError error = FileError::kNone;
  FileHandle copy = env->CreateTempFile(dir, kTempPrefix, TempKind::kScratch, name, &error);
  if (copy == nullptr) {
    fs->RecordError(category::kDataBase, DirectoryDetail(error));
    return kFailed;
  }
  strcpy(fs->work_path, name);
  // Copied from the handle the open read, so that the copy holds what the index describes
  // whatever happened at the phone book's path since.
  if (!env->CopyContents(original, copy, &error)) {
    Discard(copy);
    fs->RecordError(category::kDataBase,
                    error == FileError::kNoSpace ? detail::kWriteFailed : detail::kOpenFailed);
    return kFailed;
  }
  short status = fixed_part_.Read(copy);
  if (status != kOk) {
    Discard(copy);
    // The buffers may hold part of the copy's fixed part: read them again from the phone book,
    // which the open read once already.
    ErrorPair error_pair = fs->error();
    fixed_part_.Read(original);
    IndexWasReloaded();
    fs->RecordError(error_pair.category, error_pair.detail);
    return status;
  }
  fs->read_ahead().Forget();
  accessor_.Close(original);
  fs->handle = copy;
  IndexWasReloaded();
  modified_ = 1;
  return kOk;
}

void WorkingCopy::Discard(FileHandle copy) {
  accessor_.Close(copy);
  if (store_->work_path[0] != '\0') ops_.Delete(store_->work_path);
  store_->work_path[0] = '\0';
}

void WorkingCopy::Drop() {
  if (modified_ == 1 && store_->work_path[0] != '\0') ops_.Delete(store_->work_path);
  store_->work_path[0] = '\0';
  modified_ = 0;
}

}  // namespace telbook
