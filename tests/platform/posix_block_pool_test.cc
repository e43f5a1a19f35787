// The block pool: reused blocks come back zero-filled and only where they fit, small blocks are
// never held, and what is held stays within its bound.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/posix_block_pool.h"

namespace telbook {
namespace test {
namespace {

bool AllZero(const void* block, size_t size) {
  const uint8_t* p = static_cast<const uint8_t*>(block);
  for (size_t i = 0; i < size; ++i) {
    if (p[i] != 0) return false;
  }
  return true;
}

TEST(BlockPoolTest, FreedLargeBlocksAreHandedOutAgainZeroFilledWhereTheyFit) {
  BlockPool pool;
  const size_t kLarge = 64 * 1024;
  void* block = pool.Alloc(kLarge);
  ASSERT_NE(block, nullptr);
  EXPECT_TRUE(AllZero(block, kLarge));
  memset(block, 0xA5, kLarge);
  pool.Free(block);
  EXPECT_EQ(pool.pooled_blocks(), 1);
  EXPECT_EQ(pool.pooled_bytes(), kLarge);

  // Too small a request, or one the block would more than double, gets a block of its own.
  for (size_t size : {size_t{100}, BlockPool::kMinPooledSize, kLarge / 2 - 1, kLarge + 1}) {
    void* other = pool.Alloc(size);
    ASSERT_NE(other, nullptr);
    EXPECT_NE(other, block) << size;
    EXPECT_TRUE(AllZero(other, size)) << size;
    memset(other, 0x5A, size);
    pool.Free(other);
  }
  // Of those only the ones of at least kMinPooledSize were kept.
  EXPECT_EQ(pool.pooled_blocks(), 4);
  // The smallest pooled block that fits is the one reused, cleared over the size asked for.
  const size_t before = pool.pooled_bytes();
  void* again = pool.Alloc(kLarge / 2);
  EXPECT_EQ(again, block);
  EXPECT_TRUE(AllZero(again, kLarge / 2));
  EXPECT_EQ(pool.pooled_bytes(), before - kLarge);
  pool.Free(again);
  pool.Free(nullptr);
}

TEST(BlockPoolTest, WhatIsHeldStaysWithinTheBound) {
  BlockPool pool;
  std::vector<void*> blocks;
  for (int i = 0; i < 3 * BlockPool::kMaxPooledBlocks; ++i) {
    size_t size = i % 3 == 0 ? 80000 : 8192;
    blocks.push_back(pool.Alloc(size));
    ASSERT_NE(blocks.back(), nullptr);
  }
  for (void* block : blocks) pool.Free(block);
  EXPECT_GT(pool.pooled_blocks(), 0);
  EXPECT_LE(pool.pooled_blocks(), BlockPool::kMaxPooledBlocks);
  EXPECT_LE(pool.pooled_bytes(), BlockPool::kMaxPooledBytes);
  // A size no block can serve is still served.
  void* huge = pool.Alloc(BlockPool::kMaxPooledBytes * 2);
  ASSERT_NE(huge, nullptr);
  pool.Free(huge);
  EXPECT_LE(pool.pooled_bytes(), BlockPool::kMaxPooledBytes);
}

}  // namespace
}  // namespace test
}  // namespace telbook
