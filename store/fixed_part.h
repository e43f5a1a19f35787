// The fixed part of a phone book file (header, favourites, both index tables) between the file
// and the store's buffers: laying out a new book, and reading an existing one's with the probe
// that decides its format version.
#ifndef TELBOOK_STORE_FIXED_PART_H_
#define TELBOOK_STORE_FIXED_PART_H_

#include <cstdint>

#include "platform/env.h"
#include "store/file_accessor.h"
#include "store/file_ops.h"

namespace telbook {

class FileStore;

class FixedPart final {
 public:
  explicit FixedPart(FileStore* store) : store_(store), accessor_(store), ops_(store) {}

  // Lays out an empty version-2 phone book at path, replacing any file there, using the store's
  // buffers. False, with the file layer's pair, when the file could not be written completely.
  bool LayOut(const char* path);
  // Reads the fixed part from file into the store's buffers and sets the format version,
  // probing version-2 and -3 files for the version-1 layout. 0, or -1: a read failure keeps the
  // file layer's pair; a magic that does not match the version records none.
  short Read(FileHandle file);

 private:
  FileStore* store_;
  FileAccessor accessor_;
  FileOps ops_;
};

}  // namespace telbook

#endif  // TELBOOK_STORE_FIXED_PART_H_
