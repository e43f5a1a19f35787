// The pieces the compaction and the subset write and read through: the append buffer, the slot
// window and the read-ahead block, each on a real file behind the fault-injecting Env.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "platform/fault_env.h"
#include "store/append_buffer.h"
#include "store/file_store.h"
#include "store/format.h"
#include "store/read_ahead.h"
#include "store/slot_window.h"
#include "test_util.h"

namespace telbook {
namespace test {
namespace {

Bytes Pattern(size_t length, uint8_t seed) {
  Bytes b(length);
  for (size_t i = 0; i < length; ++i) b[i] = static_cast<uint8_t>(seed + i * 7);
  return b;
}

class BlockIoTest : public ::testing::Test {
 protected:
  FileHandle Open(const std::string& name, OpenMode mode) {
    OpenError error;
    FileHandle file = env_.OpenFile(dir_.File(name).c_str(), mode, &error);
    EXPECT_NE(file, nullptr);
    return file;
  }
  ErrorPair Error() const { return store_.error(); }
  // A file "in" of content, open for update.
  FileHandle In(const Bytes& content) {
    WriteFile(dir_.File("in"), content);
    return Open("in", OpenMode::kUpdate);
  }
  // Writes bytes at offset of file, past any block's back.
  void Overwrite(FileHandle file, uint32_t offset, const Bytes& bytes) {
    uint32_t where = 0;
    uint32_t count = 0;
    ASSERT_TRUE(env_.Seek(file, offset, SeekMode::kBegin, &where));
    ASSERT_TRUE(env_.Write(file, bytes.data(), static_cast<uint32_t>(bytes.size()), &count));
  }

  ScratchDir dir_;
  FaultEnv env_{Env::Default()};
  FileStore store_{&env_};
};

TEST_F(BlockIoTest, AppendedBytesLieWhereAppendSaidAndFullBlocksAreOneWriteEach) {
  AppendBuffer buffer(&store_);
  ASSERT_TRUE(buffer.Obtain(100));
  FileHandle out = Open("out", OpenMode::kCreate);
  buffer.Start(out, 10);
  Bytes expected(10, 0);
  const size_t lengths[] = {40, 40, 40, 0, 250, 100, 1};
  uint8_t seed = 1;
  for (size_t length : lengths) {
    Bytes piece = Pattern(length, seed++);
    uint32_t position = 0;
    ASSERT_EQ(buffer.Append(piece.data(), static_cast<uint32_t>(length), &position), 0);
    EXPECT_EQ(position, expected.size());
    expected.insert(expected.end(), piece.begin(), piece.end());
  }
  EXPECT_EQ(buffer.position(), expected.size());
  // The 80 held go when the third piece comes; the 40 held go before the 250, which goes at
  // once; the 100 fill the block, which goes when the 1 comes.
  EXPECT_EQ(env_.Count(FaultKind::kWrite), 4);
  ASSERT_EQ(buffer.Flush(), 0);
  EXPECT_EQ(env_.Count(FaultKind::kWrite), 5);
  ASSERT_EQ(buffer.Flush(), 0);
  EXPECT_EQ(env_.Count(FaultKind::kWrite), 5) << "nothing held, nothing written";
  env_.Close(out);
  Bytes written = ReadFileOrDie(dir_.File("out"));
  ASSERT_EQ(written.size(), expected.size());
  EXPECT_TRUE(Bytes(written.begin() + 10, written.end()) ==
              Bytes(expected.begin() + 10, expected.end()));
}

// Records the file offset and length of each write, the offset being the last seek's.
class WriteLog final : public ForwardingEnv {
 public:
  using ForwardingEnv::ForwardingEnv;
  bool Seek(FileHandle file, uint32_t offset, SeekMode mode, uint32_t* new_position) override {
    at_ = offset;
    return ForwardingEnv::Seek(file, offset, mode, new_position);
  }
  bool Write(FileHandle file, const void* buffer, uint32_t length, uint32_t* count) override {
    writes.push_back({at_, length});
    at_ += length;
    return ForwardingEnv::Write(file, buffer, length, count);
  }
  std::vector<std::pair<uint32_t, uint32_t>> writes;

 private:
  uint32_t at_ = 0;
};

// A block larger than a page goes out up to the last page boundary its bytes reach, the rest
// held for the next write; the bytes land where Append said, whatever their lengths.
TEST_F(BlockIoTest, FullBlocksGoOutInWholePagesAfterTheFirstWrite) {
  WriteLog log(&env_);
  FileStore store(&log);
  AppendBuffer buffer(&store);
  ASSERT_TRUE(buffer.Obtain(3 * AppendBuffer::kWriteAlignment));
  FileHandle out = Open("out", OpenMode::kCreate);
  const uint32_t first = 1000;
  buffer.Start(out, first);
  Bytes expected(first, 0);
  for (size_t i = 0; i < 120; ++i) {
    // Mostly small records, now and then one longer than the block.
    size_t length = i % 37 == 5 ? 14000 : 100 + (i * 397) % 2900;
    Bytes piece = Pattern(length, static_cast<uint8_t>(i));
    uint32_t position = 0;
    ASSERT_EQ(buffer.Append(piece.data(), static_cast<uint32_t>(length), &position), 0);
    ASSERT_EQ(position, expected.size());
    expected.insert(expected.end(), piece.begin(), piece.end());
  }
  ASSERT_EQ(buffer.Flush(), 0);
  env_.Close(out);
  ASSERT_GT(log.writes.size(), 20u);
  uint32_t next = first;
  size_t unaligned = 0;
  for (size_t i = 0; i < log.writes.size(); ++i) {
    EXPECT_EQ(log.writes[i].first, next) << "write " << i << " follows the last one";
    next += log.writes[i].second;
    if (next % AppendBuffer::kWriteAlignment != 0) ++unaligned;
  }
  EXPECT_EQ(next, expected.size());
  // Only the long records, the bytes held before them and the final flush end elsewhere.
  EXPECT_LE(unaligned, 2 * 4 + 1u);
  Bytes written = ReadFileOrDie(dir_.File("out"));
  ASSERT_EQ(written.size(), expected.size());
  EXPECT_TRUE(Bytes(written.begin() + first, written.end()) ==
              Bytes(expected.begin() + first, expected.end()));
}

TEST_F(BlockIoTest, AFailedFlushReportsTheWritePair) {
  AppendBuffer buffer(&store_);
  ASSERT_TRUE(buffer.Obtain(64));
  FileHandle out = Open("out", OpenMode::kCreate);
  buffer.Start(out, 0);
  Bytes piece = Pattern(50, 3);
  uint32_t position = 0;
  ASSERT_EQ(buffer.Append(piece.data(), 50, &position), 0);
  env_.FailAt(FaultKind::kWrite, 1);
  EXPECT_EQ(buffer.Append(piece.data(), 50, &position), -1) << "the full block fails to go out";
  EXPECT_EQ(Error().category, 13);
  EXPECT_EQ(Error().detail, 14);
  env_.FailAt(FaultKind::kMove, 1);
  EXPECT_EQ(buffer.Flush(), -1);
  EXPECT_EQ(Error().category, 17);
  EXPECT_EQ(Error().detail, 19);
  env_.Close(out);
  EXPECT_TRUE(ReadFileOrDie(dir_.File("out")).empty());
}

TEST_F(BlockIoTest, WithoutMemoryTheBlocksAreRefused) {
  AppendBuffer buffer(&store_);
  SlotWindow window(&store_);
  ReadAhead ahead(&store_);
  env_.SetSticky(true);
  env_.FailAt(FaultKind::kAlloc, 1);
  EXPECT_FALSE(buffer.Obtain(AppendBuffer::kBlockSize));
  EXPECT_FALSE(window.Obtain());
  EXPECT_FALSE(ahead.Obtain(ReadAhead::kBlockSize));
  EXPECT_FALSE(ahead.ready());
  EXPECT_EQ(Error().category, 0) << "the caller records the pair";
}

// Windows never cross from a table's low part (slots 1 to 1024) to its high part, and each goes
// to its slots' place in the file.
TEST_F(BlockIoTest, SlotWindowsCoverEachPartOfATableAndGoToTheirPlace) {
  SlotWindow window(&store_);
  ASSERT_TRUE(window.Obtain());
  Bytes slots(format::kSlotSize * format::kSlotsPerTable);
  for (size_t i = 0; i < slots.size(); ++i) slots[i] = static_cast<uint8_t>(i % 251 + 1);

  std::vector<std::pair<uint32_t, uint32_t>> seen;
  for (uint32_t first = 1; first <= format::kSlotsPerTable; first = window.last() + 1) {
    window.Begin(true, first, format::kSlotsPerTable, slots.data() + 8 * (first - 1));
    seen.push_back({window.first(), window.last()});
  }
  ASSERT_EQ(seen.size(), 10u);
  EXPECT_EQ(seen[0], std::make_pair(1u, 1024u));
  EXPECT_EQ(seen[1], std::make_pair(1025u, 2048u));
  EXPECT_EQ(seen[9], std::make_pair(9217u, 9999u));
  window.Begin(false, 1000, 5000, nullptr);
  EXPECT_EQ(window.last(), 1024u) << "the low part ends at 1024";
  window.Begin(false, 4097, 5000, nullptr);
  EXPECT_EQ(window.last(), 5000u);

  // Personal slots 1020 to 1024 and group slots 1025 to 1027 at their offsets.
  FileHandle out = Open("fixed", OpenMode::kCreate);
  window.Begin(true, 1020, 1024, slots.data() + 8 * 1019);
  window.slot(1022)[0] = 0xEE;
  ASSERT_EQ(window.Write(out), 0);
  window.Begin(false, 1025, 1027, nullptr);
  window.slot(1026)[1] = 0xDD;
  ASSERT_EQ(window.Write(out), 0);
  env_.FailAt(FaultKind::kWrite, 1);
  EXPECT_EQ(window.Write(out), -1);
  EXPECT_EQ(Error().category, 13);
  env_.Close(out);
  Bytes file = ReadFileOrDie(dir_.File("fixed"));
  ASSERT_EQ(file.size(), format::GroupSlotOffset(1027) + 8);
  EXPECT_EQ(file[format::PersonalSlotOffset(1020)], slots[8 * 1019]);
  EXPECT_EQ(file[format::PersonalSlotOffset(1022)], 0xEE);
  EXPECT_EQ(file[format::PersonalSlotOffset(1024) + 7], slots[8 * 1023 + 7]);
  EXPECT_EQ(file[format::GroupSlotOffset(1025)], 0);
  EXPECT_EQ(file[format::GroupSlotOffset(1026) + 1], 0xDD);
}

TEST_F(BlockIoTest, ReadAheadServesBytesFromItsBlockUntilForgotten) {
  Bytes content = Pattern(1000, 9);
  FileHandle in = In(content);
  ReadAhead ahead(&store_);
  ASSERT_TRUE(ahead.Obtain(256));
  uint8_t out[300];
  ASSERT_EQ(ahead.Read(in, 100, 50, out), 0);
  EXPECT_TRUE(Bytes(out, out + 50) == Bytes(content.begin() + 100, content.begin() + 150));
  EXPECT_EQ(env_.Count(FaultKind::kRead), 1);
  ASSERT_EQ(ahead.Read(in, 150, 200, out), 0) << "the block holds 100 to 356";
  EXPECT_TRUE(Bytes(out, out + 200) == Bytes(content.begin() + 150, content.begin() + 350));
  EXPECT_EQ(env_.Count(FaultKind::kRead), 1);
  ASSERT_EQ(ahead.Read(in, 300, 100, out), 0) << "past the block: read anew from 300";
  EXPECT_EQ(env_.Count(FaultKind::kRead), 2);
  EXPECT_TRUE(Bytes(out, out + 100) == Bytes(content.begin() + 300, content.begin() + 400));

  // Bytes written behind the block's back are seen once it is forgotten.
  Overwrite(in, 310, {0xAA, 0xBB});
  ahead.Forget();
  ASSERT_EQ(ahead.Read(in, 310, 2, out), 0);
  EXPECT_EQ(out[0], 0xAA);
  EXPECT_EQ(out[1], 0xBB);

  // Longer than the block: straight into the caller's buffer.
  ASSERT_EQ(ahead.Read(in, 0, 300, out), 0);
  EXPECT_EQ(out[299], content[299]);
  env_.Close(in);
}

// Views point into the block, and a held area serves every read inside it without the file,
// until it is forgotten; refused, it changes nothing.
TEST_F(BlockIoTest, ViewsAndHeldAreasAreTheFilesBytes) {
  Bytes content = Pattern(1000, 3);
  FileHandle in = In(content);
  ReadAhead ahead(&store_);
  ASSERT_TRUE(ahead.Obtain(256));
  const uint8_t* bytes = nullptr;
  ASSERT_EQ(ahead.View(in, 100, 50, &bytes), 0);
  ASSERT_NE(bytes, nullptr);
  EXPECT_TRUE(Bytes(bytes, bytes + 50) == Bytes(content.begin() + 100, content.begin() + 150));
  ASSERT_EQ(ahead.View(in, 120, 50, &bytes), 0);
  EXPECT_EQ(bytes[0], content[120]);
  EXPECT_EQ(env_.Count(FaultKind::kRead), 1);
  ASSERT_EQ(ahead.View(in, 0, 300, &bytes), 0);
  EXPECT_EQ(bytes, nullptr) << "longer than the block: the caller reads it";
  EXPECT_EQ(env_.Count(FaultKind::kRead), 1);

  EXPECT_FALSE(ahead.Hold(in, 200, 799)) << "800 bytes from 200 to the end";
  env_.SetSticky(true);
  env_.FailAt(FaultKind::kAlloc, 1);
  EXPECT_FALSE(ahead.Hold(in, 200, 800));
  env_.SetSticky(false);
  env_.FailAt(FaultKind::kAlloc, 0);
  uint8_t out[300];
  ASSERT_EQ(ahead.Read(in, 130, 20, out), 0) << "the block is as it was";
  EXPECT_EQ(env_.Count(FaultKind::kRead), 1);

  ASSERT_TRUE(ahead.Hold(in, 200, 800));
  const int reads = env_.Count(FaultKind::kRead);
  ASSERT_TRUE(ahead.Hold(in, 200, 800)) << "already held";
  for (uint32_t offset : {200u, 555u, 700u, 990u}) {
    ASSERT_EQ(ahead.Read(in, offset, 10, out), 0);
    EXPECT_TRUE(Bytes(out, out + 10) ==
                Bytes(content.begin() + offset, content.begin() + offset + 10));
  }
  ASSERT_EQ(ahead.View(in, 300, 700, &bytes), 0);
  ASSERT_NE(bytes, nullptr) << "the block grew to the area";
  EXPECT_EQ(bytes[699], content[999]);
  EXPECT_EQ(env_.Count(FaultKind::kRead), reads);

  // Bytes changed in the file are seen once the area is forgotten.
  Overwrite(in, 600, {0xAB});
  ahead.Forget();
  ASSERT_TRUE(ahead.Hold(in, 200, 800));
  ASSERT_EQ(ahead.Read(in, 600, 1, out), 0);
  EXPECT_EQ(out[0], 0xAB);
  EXPECT_EQ(env_.Count(FaultKind::kRead), reads + 1);
  env_.Close(in);
}

TEST_F(BlockIoTest, ReadAheadAtTheEndOfTheFileNeedsOnlyTheBytesAsked) {
  Bytes content = Pattern(1000, 5);
  WriteFile(dir_.File("in"), content);
  FileHandle in = Open("in", OpenMode::kRead);
  ReadAhead ahead(&store_);
  ASSERT_TRUE(ahead.Obtain(512));
  uint8_t out[64];
  ASSERT_EQ(ahead.Read(in, 960, 40, out), 0) << "a short block at the end is fine";
  EXPECT_EQ(out[39], content[999]);
  EXPECT_EQ(ahead.Read(in, 990, 20, out), -1) << "ten bytes past the end";
  EXPECT_EQ(Error().category, 14);
  EXPECT_EQ(Error().detail, 15);
  EXPECT_EQ(ahead.Read(in, 5000, 1, out), -1);
  env_.FailAt(FaultKind::kMove, 1);
  EXPECT_EQ(ahead.Read(in, 0, 10, out), -1);
  EXPECT_EQ(Error().category, 17);
  env_.FailAt(FaultKind::kRead, 1);
  EXPECT_EQ(ahead.Read(in, 0, 10, out), -1);
  EXPECT_EQ(Error().category, 14);
  ASSERT_EQ(ahead.Read(in, 0, 10, out), 0) << "a failed fill leaves nothing behind";
  EXPECT_EQ(out[9], content[9]);

  // Without a block every read goes to the file.
  ahead.Release();
  EXPECT_FALSE(ahead.ready());
  int reads = env_.Count(FaultKind::kRead);
  ASSERT_EQ(ahead.Read(in, 0, 10, out), 0);
  ASSERT_EQ(ahead.Read(in, 0, 10, out), 0);
  EXPECT_EQ(env_.Count(FaultKind::kRead), reads + 2);
  env_.Close(in);
}

// The store's write-behind block and the file are one file to every read: bytes before the
// block's start come from the file, the rest from the block, and nothing lies past its end.
TEST_F(BlockIoTest, ReadsTakeHeldBytesFromTheWriteBehindBlock) {
  Bytes content = Pattern(1000, 4);
  WriteFile(dir_.File("in"), content);
  FileHandle in = Open("in", OpenMode::kUpdate);
  AppendBuffer& held = store_.write_behind();
  ASSERT_TRUE(held.Obtain(256));
  held.Start(in, 1000);
  Bytes appended = Pattern(200, 77);
  uint32_t position = 0;
  ASSERT_EQ(held.Append(appended.data(), 200, &position), 0);
  ASSERT_EQ(position, 1000u);
  Bytes logical = content;
  logical.insert(logical.end(), appended.begin(), appended.end());

  ReadAhead ahead(&store_);
  ASSERT_TRUE(ahead.Obtain(512));
  uint8_t out[300];
  const int reads = env_.Count(FaultKind::kRead);
  ASSERT_EQ(ahead.Read(in, 1050, 100, out), 0);
  EXPECT_TRUE(Bytes(out, out + 100) == Bytes(logical.begin() + 1050, logical.begin() + 1150));
  ASSERT_EQ(ahead.ReadOnce(in, 1000, 200, out), 0);
  EXPECT_TRUE(Bytes(out, out + 200) == appended);
  EXPECT_EQ(env_.Count(FaultKind::kRead), reads) << "held bytes need no read";

  ASSERT_EQ(ahead.Read(in, 900, 250, out), 0) << "across the file's end";
  EXPECT_TRUE(Bytes(out, out + 250) == Bytes(logical.begin() + 900, logical.begin() + 1150));
  ASSERT_EQ(ahead.ReadOnce(in, 990, 20, out), 0);
  EXPECT_TRUE(Bytes(out, out + 20) == Bytes(logical.begin() + 990, logical.begin() + 1010));

  EXPECT_EQ(ahead.Read(in, 1150, 51, out), -1) << "one byte past the last held";
  EXPECT_EQ(Error().category, 14);
  EXPECT_EQ(Error().detail, 15);
  store_.RecordError(0, 0);
  EXPECT_EQ(ahead.ReadOnce(in, 1300, 1, out), -1);
  EXPECT_EQ(Error().category, 14);

  // A failed write of the block keeps its bytes: they are read, and go out at the next try.
  Bytes more = Pattern(100, 5);
  env_.FailAt(FaultKind::kWrite, 1);
  EXPECT_EQ(held.Append(more.data(), 100, &position), -1);
  EXPECT_EQ(held.position(), 1200u) << "the new bytes were not taken";
  ASSERT_EQ(ahead.Read(in, 1100, 100, out), 0);
  EXPECT_TRUE(Bytes(out, out + 100) == Bytes(logical.begin() + 1100, logical.end()));
  ASSERT_EQ(held.Append(more.data(), 100, &position), 0);
  EXPECT_EQ(position, 1200u);
  EXPECT_EQ(held.start(), 1200u);
  logical.insert(logical.end(), more.begin(), more.end());
  ASSERT_EQ(held.Flush(), 0);
  ahead.Forget();
  ASSERT_EQ(ahead.Read(in, 1150, 150, out), 0);
  EXPECT_TRUE(Bytes(out, out + 150) == Bytes(logical.begin() + 1150, logical.end()));

  // Another file is never read through the block.
  WriteFile(dir_.File("other"), content);
  FileHandle other = Open("other", OpenMode::kRead);
  EXPECT_EQ(ahead.ReadOnce(other, 1250, 10, out), -1);
  env_.Close(other);
  store_.ReleaseBuffers();
  EXPECT_EQ(held.file(), nullptr) << "the buffers' release drops the block";
  env_.Close(in);
  EXPECT_TRUE(ReadFileOrDie(dir_.File("in")) == logical);
}

}  // namespace
}  // namespace test
}  // namespace telbook
