// A block of a file read ahead of the record being read, so that records lying back to back
// cost one read per block rather than one each. Whoever writes the file must Forget() first.
#ifndef TELBOOK_STORE_READ_AHEAD_H_
#define TELBOOK_STORE_READ_AHEAD_H_

#include <cstddef>
#include <cstdint>

#include "platform/env.h"
#include "platform/memory_block.h"
#include "store/file_accessor.h"
#include "store/format.h"

namespace telbook {

class FileStore;

class ReadAhead final {
 public:
  // Some 150 to 200 personal entries, or the largest group record.
  static constexpr size_t kBlockSize = 32 * 1024;
  static_assert(kBlockSize >= format::kMaxGroupRecordSize, "a block holds any record");

  explicit ReadAhead(FileStore* store) : store_(store), accessor_(store) {}
  ReadAhead(const ReadAhead&) = delete;
  ReadAhead& operator=(const ReadAhead&) = delete;

  // Obtains an empty block of capacity bytes through the store's Env; false, recording nothing,
  // when there is no memory.
  bool Obtain(size_t capacity);
  // Forgets the bytes held and gives the block back.
  void Release();
  bool ready() const { return !block_.empty(); }
  size_t capacity() const { return block_.size(); }
  // Holds every byte of file from `from` to its end in the block, grown to hold them, when they
  // are at most limit bytes: reads anywhere among them are then copies until the next Forget().
  // A hint: false, recording nothing and with reads unchanged, when the bytes are more than limit
  // or cannot be had.
  bool Hold(FileHandle file, uint32_t from, uint32_t limit);
  // Drops the bytes held, so that the next read goes to the file.
  void Forget() {
    file_ = nullptr;
    length_ = 0;
  }

  // Copies the length bytes at offset of file into out: from the block when they lie wholly in
  // it; otherwise the block is filled anew from offset with as much of the file as it holds
  // (without a block, or for bytes longer than it, they are read straight into out). Bytes
  // appended to the file but still held by the store's write-behind block come from there. 0,
  // or -1 with (kFileMove, kMoveFailed) or (kFileRead, kReadFailed) when the file cannot be read or
  // holds fewer bytes; the block is then empty.
  short Read(FileHandle file, uint32_t offset, uint32_t length, uint8_t* out);
  // The same bytes left in the block: 0 with *bytes pointing at them there, valid until the next
  // call on this read-ahead; 0 with *bytes null, nothing read, when they cannot lie in the block
  // (no block, bytes longer than it, bytes held by the write-behind block), for the caller to
  // Read them into a buffer of its own; -1 as Read fails.
  short View(FileHandle file, uint32_t offset, uint32_t length, const uint8_t** bytes);
  // The same without the block: for single records, where reading a block ahead buys nothing.
  short ReadOnce(FileHandle file, uint32_t offset, uint32_t length, uint8_t* out);

 private:
  // Whether some of the bytes asked for lie at or behind the start of the write-behind block.
  bool ReachesHeldBytes(FileHandle file, uint32_t offset, uint32_t length) const;
  // Reads the bytes before the write-behind block from the file and copies the rest from it;
  // (kFileRead, kReadFailed) for bytes past the last one held.
  short ReadAcrossHeldBytes(FileHandle file, uint32_t offset, uint32_t length, uint8_t* out);

  FileStore* store_;
  FileAccessor accessor_;
  MemoryBlock block_;
  FileHandle file_ = nullptr;
  uint32_t start_ = 0;   // file offset of the first byte held
  uint32_t length_ = 0;  // bytes held
};

}  // namespace telbook

#endif  // TELBOOK_STORE_READ_AHEAD_H_
