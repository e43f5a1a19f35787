// Open, position, read, write and close on a file handle, recording the error pair of every
// failure in the file store. Strict: moving fewer bytes than asked is a failure.
#ifndef TELBOOK_STORE_FILE_ACCESSOR_H_
#define TELBOOK_STORE_FILE_ACCESSOR_H_

#include <cstdint>

#include "platform/env.h"
#include "store/errors.h"

namespace telbook {

class FileStore;

class FileAccessor final {
 public:
  explicit FileAccessor(FileStore* store) : store_(store) {}

  // Null on failure: (kFileOpen, kCreateFailed) for create mode; (kFileOpen, kInUse) for a sharing
  // violation, else (kFileOpen, kOpenFailed).
  FileHandle Open(const char* path, OpenMode mode);
  // Moves to offset from the start, or to the end with SeekMode::kEnd. 0, or -1 with
  // (kFileMove, kMoveFailed). Writes the new position when new_position is not null.
  short Position(FileHandle file, uint32_t offset, SeekMode mode, uint32_t* new_position);
  // 0, or -1 with (kFileRead, kNoCountPlace) when count is null, (kFileRead, kReadFailed) when the
  // read fails or comes up short.
  short Read(FileHandle file, void* buffer, uint32_t length, uint32_t* count);
  // Reads up to capacity bytes, fewer only where the file ends: 0 when at least `needed` came,
  // or -1 with (kFileRead, kReadFailed) when the read fails or brings fewer. *count is what was
  // read.
  short ReadUpTo(FileHandle file, void* buffer, uint32_t capacity, uint32_t needed,
                 uint32_t* count);
  // 0, or -1 with (kFileWrite, kNoCountPlace) when count is null, (kFileWrite, kWriteFailed) when
  // the write fails or comes up short.
  short Write(FileHandle file, const void* buffer, uint32_t length, uint32_t* count);
  // 0, or -1 with (kFileClose, kCloseFailed). The handle is gone either way.
  short Close(FileHandle file);

 private:
  FileStore* store_;
};

}  // namespace telbook

#endif  // TELBOOK_STORE_FILE_ACCESSOR_H_
