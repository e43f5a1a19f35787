// Base of every component that reads or writes the phone book file: positioned reads and writes,
// whole-file copy and delete, temporary names, laying out a new file and reading a header.
#ifndef TELBOOK_STORE_STORE_CLIENT_H_
#define TELBOOK_STORE_STORE_CLIENT_H_

#include <cstdint>

#include "store/file_accessor.h"

namespace telbook {

class FileStore;

class StoreClient {
 public:
  explicit StoreClient(FileStore* store) : store_(store), accessor_(store) {}
  virtual ~StoreClient() = default;

  // Moves to offset (or to the end with kPositionEnd) and reads exactly length bytes.
  // 0, or -1 with the pair of the step that failed.
  short PositionedRead(FileHandle file, void* buffer, uint32_t offset, uint16_t mode,
                       uint32_t length);
  // Moves, reports the position in *position (with kPositionEnd: where the data begins), then
  // writes exactly length bytes. 0, or -1 with the pair of the step that failed.
  short PositionedWrite(FileHandle file, const void* buffer, uint32_t offset, uint32_t length,
                        uint16_t mode, uint32_t* position);
  // Copies a file, refusing an existing destination; with clear_read_only 1 the copy loses its
  // read-only attribute. True when the copy was made. Records no pair.
  bool Copy(const char* from, const char* to, uint16_t clear_read_only);
  // Deletes a file; the outcome is not looked at. Always 0.
  short Delete(const char* path);

  // Makes a new empty file named "tel..." in the system's temporary directory, its path in
  // out[kMaxPath]. Records no pair.
  bool MakeTempFile(char* out);
  // The same in the directory of `path`, for files that will replace `path` in one step.
  bool MakeSiblingTempFile(const char* path, char* out);

  // Lays out an empty version-2 phone book at path, replacing any file there, using the store's
  // buffers. False, with the file layer's pair, when the file could not be written completely.
  bool LayOutNewFile(const char* path);
  // Reads the fixed part from file into the store's buffers and sets the format version,
  // probing version-2 and -3 files for the version-1 layout. 0, or -1: a read failure keeps the
  // file layer's pair; a magic that does not match the version records none.
  short ReadHeader(FileHandle file);

  const uint8_t* magic() const { return magic_; }

 protected:
  FileStore* store() const { return store_; }
  FileAccessor& accessor() { return accessor_; }

 private:
  FileStore* store_;
  FileAccessor accessor_;
  uint8_t magic_[4] = {};
};

}  // namespace telbook

#endif  // TELBOOK_STORE_STORE_CLIENT_H_
