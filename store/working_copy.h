// The working copy: the copy of the phone book in the temporary directory that takes every change
// of an open, the switch to it before the first change, and the flag that says it exists.
#ifndef TELBOOK_STORE_WORKING_COPY_H_
#define TELBOOK_STORE_WORKING_COPY_H_

#include <cstdint>

#include "store/errors.h"
#include "store/file_accessor.h"
#include "store/file_ops.h"
#include "store/fixed_part.h"

namespace telbook {

class FileStore;

class WorkingCopy final {
 public:
  // Run whenever the switch has read the index tables again from a file, whether it then
  // succeeded or not; the session rebuilds what it derives from them there.
  using IndexReloaded = void (*)(void* context);

  explicit WorkingCopy(FileStore* store)
      : store_(store), accessor_(store), ops_(store), fixed_part_(store) {}
  WorkingCopy(const WorkingCopy&) = delete;
  WorkingCopy& operator=(const WorkingCopy&) = delete;

  void Wire(IndexReloaded index_reloaded, void* context) {
    index_reloaded_ = index_reloaded;
    context_ = context;
  }

  // 1 after the switch to the working copy, 0 while the session works on the phone book itself.
  uint16_t modified() const { return modified_; }

  // Copies the phone book, from the handle the open holds, to a new working copy in the
  // temporary directory and goes on with the session there. The copy has no name where the
  // system allows (store work_path is then empty) and goes away with its handle. 0, or -1 with
  // (kDataBase, kNoDirectory) or (kDataBase, kDirectoryNotWritable) for a temporary directory
  // that is missing, no directory or not writable, (kDataBase, kWriteFailed) for a full device,
  // (kDataBase, kOpenFailed) when the copy cannot be made, or the fixed part read's pair; on
  // failure the session stays open on the phone book in read mode, as before the call, and the
  // pair is that of the failure whatever the index reload recorded.
  short Switch();
  // Switches when the session is not yet modified. 0 when it works on the working copy.
  short Ensure() { return modified_ == 1 ? kOk : Switch(); }
  // Deletes the working copy, if any, and forgets it; for the close, after the handle is closed.
  void Drop();

 private:
  // Closes a copy that is not to be used and deletes it when it has a name.
  void Discard(FileHandle copy);

  void IndexWasReloaded() {
    if (index_reloaded_ != nullptr) index_reloaded_(context_);
  }

  FileStore* store_;
  FileAccessor accessor_;
  FileOps ops_;
  FixedPart fixed_part_;
  IndexReloaded index_reloaded_ = nullptr;
  void* context_ = nullptr;
  uint16_t modified_ = 0;
};

}  // namespace telbook

#endif  // TELBOOK_STORE_WORKING_COPY_H_
