// The position of an open file: reads and writes go on where the last one stopped, a seek moves
// only its own handle, and the end is found anew after another handle wrote.
#include <gtest/gtest.h>

#include <string>

#include "platform/env.h"
#include "test_util.h"

namespace telbook {
namespace test {
namespace {

class FilePositionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = dir_.File("position.bin");
    WriteFile(path_, Bytes{1, 2, 3, 4, 5, 6});
  }

  FileHandle Open(OpenMode mode) {
    OpenError error = OpenError::kNone;
    return env_->OpenFile(path_.c_str(), mode, &error);
  }

  ScratchDir dir_;
  std::string path_;
  Env* env_ = Env::Default();
};

TEST_F(FilePositionTest, ReadsAndWritesGoOnWhereTheLastStopped) {
  FileHandle f = Open(OpenMode::kUpdate);
  ASSERT_NE(f, nullptr);
  uint8_t got[2] = {};
  uint32_t count = 0;
  ASSERT_TRUE(env_->Read(f, got, 2, &count));
  ASSERT_TRUE(env_->Read(f, got, 2, &count));
  EXPECT_EQ(got[0], 3);
  EXPECT_EQ(got[1], 4);
  const uint8_t mark[] = {9};
  ASSERT_TRUE(env_->Write(f, mark, 1, &count));  // at 4
  ASSERT_TRUE(env_->Read(f, got, 2, &count));    // from 5: one byte left
  EXPECT_EQ(count, 1u);
  EXPECT_EQ(got[0], 6);
  // A read that met the end leaves the position at the end.
  ASSERT_TRUE(env_->Write(f, mark, 1, &count));
  EXPECT_TRUE(env_->Close(f));
  EXPECT_EQ(ReadFileOrDie(path_), (Bytes{1, 2, 3, 4, 9, 6, 9}));
}

TEST_F(FilePositionTest, EachHandleKeepsItsOwnPositionAndSeesTheOthersWrites) {
  FileHandle a = Open(OpenMode::kUpdate);
  FileHandle b = Open(OpenMode::kRead);
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr);
  uint32_t where = 0;
  ASSERT_TRUE(env_->Seek(b, 1, SeekMode::kBegin, &where));
  ASSERT_TRUE(env_->Seek(a, 0, SeekMode::kEnd, &where));
  EXPECT_EQ(where, 6u);
  const uint8_t more[] = {7, 8};
  uint32_t count = 0;
  ASSERT_TRUE(env_->Write(a, more, 2, &count));
  // b still reads from 1, and finds the bytes a appended.
  uint8_t got[7] = {};
  ASSERT_TRUE(env_->Read(b, got, 7, &count));
  EXPECT_EQ(count, 7u);
  EXPECT_EQ(got[0], 2);
  EXPECT_EQ(got[6], 8);
  ASSERT_TRUE(env_->Seek(b, 0, SeekMode::kEnd, &where));
  EXPECT_EQ(where, 8u);
  // A seek past the end reads nothing and fails nothing.
  ASSERT_TRUE(env_->Seek(b, 100, SeekMode::kBegin, &where));
  ASSERT_TRUE(env_->Read(b, got, 1, &count));
  EXPECT_EQ(count, 0u);
  EXPECT_TRUE(env_->Close(a));
  EXPECT_TRUE(env_->Close(b));
}

}  // namespace
}  // namespace test
}  // namespace telbook
