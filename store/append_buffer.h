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

class AppendBuffer final {
 public:
  static constexpr size_t kBlockSize = 32 * 1024;
  // A full block goes out up to the last multiple of this in the file that its bytes reach, the
  // rest staying held, so that each write after the first covers whole pages: file systems write
  // and flush page-aligned runs markedly faster than runs that share a page with the next write.
  static constexpr uint32_t kWriteAlignment = 4096;

  explicit AppendBuffer(FileStore* store) : store_(store), accessor_(store) {}
  AppendBuffer(const AppendBuffer&) = delete;
  AppendBuffer& operator=(const AppendBuffer&) = delete;

  // Obtains the block through the store's Env; false, recording nothing, when there is no memory.
  // Without a block every append is written at once.
  bool Obtain(size_t capacity);
  // Drops what is held, unwritten, and gives the block back.
  void Release();
  bool ready() const { return !block_.empty(); }

  // Starts appending at position of file, dropping anything held.
  void Start(FileHandle file, uint32_t position);
  // Takes length bytes that will lie at *position, writing the block when they do not fit in
  // what is left of it (up to its last alignment boundary when that leaves room; bytes longer
  // than the block are written at once). 0, or -1 with the file layer's pair. A failure takes
  // none of the new bytes and keeps every byte held before that is not in the file, to go out at
  // the next Append or Flush; bytes it may have written past start() count for nothing.
  short Append(const uint8_t* data, uint32_t length, uint32_t* position);
  // Writes what is held. 0, or -1 with the file layer's pair, the bytes staying held.
  short Flush();
  // Where the next byte will lie.
  uint32_t position() const { return start_ + held_; }

  // The file appended to, null before Start(). Its first start() bytes are in the file; the
  // held() bytes behind them are only here.
  FileHandle file() const { return file_; }
  uint32_t start() const { return start_; }
  uint32_t held() const { return held_; }
  // Copies the held bytes at file offsets offset to offset + length, which must lie within
  // start() and position().
  void CopyHeld(uint32_t offset, uint32_t length, uint8_t* out) const;

 private:
  short WriteAt(const uint8_t* data, uint32_t length, uint32_t position);
  // Writes the held bytes up to the last alignment boundary among them, keeping the rest.
  short FlushAligned();

  FileStore* store_;
  FileAccessor accessor_;
  MemoryBlock block_;
  FileHandle file_ = nullptr;
  uint32_t start_ = 0;  // file offset of the first byte held
  uint32_t held_ = 0;
};

}  // namespace telbook

#endif  // TELBOOK_STORE_APPEND_BUFFER_H_
