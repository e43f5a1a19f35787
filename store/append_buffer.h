// Appending to a file written front to back through one block, so that many small records cost
// one write per block. The bytes reach the file only at a full block or a Flush().
#ifndef TELBOOK_STORE_APPEND_BUFFER_H_
#define TELBOOK_STORE_APPEND_BUFFER_H_

#include <cstddef>
#include <cstdint>

#include "platform/env.h"
#include "platform/memory_block.h"
#include "store/file_accessor.h"

namespace telbook {

class FileStore;

class AppendBuffer {
 public:
  static constexpr size_t kBlockSize = 32 * 1024;

  explicit AppendBuffer(FileStore* store) : store_(store), accessor_(store) {}
  AppendBuffer(const AppendBuffer&) = delete;
  AppendBuffer& operator=(const AppendBuffer&) = delete;
  virtual ~AppendBuffer() = default;

  // Obtains the block through the store's Env; false, recording nothing, when there is no memory.
  bool Obtain(size_t capacity);
  void Release();

  // Starts appending at position of file, with nothing held.
  void Start(FileHandle file, uint32_t position);
  // Takes length bytes that will lie at *position, writing the block when they do not fit in
  // what is left of it (bytes longer than the block are written at once). 0, or -1 with the file
  // layer's pair; after a failure nothing more may be appended.
  short Append(const uint8_t* data, uint32_t length, uint32_t* position);
  // Writes what is held. 0, or -1 with the file layer's pair.
  short Flush();
  // Where the next byte will lie.
  uint32_t position() const { return start_ + held_; }

 private:
  short WriteAt(const uint8_t* data, uint32_t length, uint32_t position);

  FileStore* store_;
  FileAccessor accessor_;
  MemoryBlock block_;
  FileHandle file_ = nullptr;
  uint32_t start_ = 0;  // file offset of the first byte held
  uint32_t held_ = 0;
};

}  // namespace telbook

#endif  // TELBOOK_STORE_APPEND_BUFFER_H_
