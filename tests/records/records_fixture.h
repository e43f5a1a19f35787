// The fixture of the record tests: a session on a scratch phone book, and reads of tabs and
// group members through the exported functions.
#ifndef TELBOOK_TESTS_RECORDS_RECORDS_FIXTURE_H_
#define TELBOOK_TESTS_RECORDS_RECORDS_FIXTURE_H_

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "interface/telbook.h"
#include "test_util.h"

namespace telbook {
namespace test {

class RecordsTest : public ::testing::Test {
 protected:
  void Create() { ASSERT_EQ(TL_createDataBase(s_, path_.c_str()), 0); }
  void OpenImage(const Bytes& image) {
    WriteFile(path_, image);
    ASSERT_EQ(TL_openDataBase(s_, path_.c_str()), 0);
  }
  uint16_t Write(const TL_Kojin& k, uint16_t number = 0) {
    EXPECT_EQ(TL_writeKojin(s_, &k, &number, 0xFFFF), 0);
    return number;
  }
  uint16_t TabCount(int code) {
    unsigned short count = 0xFFFF;
    EXPECT_EQ(TL_openTag(s_, code), 0);
    EXPECT_EQ(TL_readTagWeightCount(s_, code, &count), 0);
    TL_closeTag(s_);
    return count;
  }
  std::vector<uint16_t> TabNumbers(int code) {
    std::vector<uint16_t> numbers;
    unsigned short count = 0;
    EXPECT_EQ(TL_openTag(s_, code), 0);
    TL_readTagWeightCount(s_, code, &count);
    TL_ListItem item;
    for (int i = 0; i < count; ++i) {
      EXPECT_EQ(TL_readTagData(s_, code, &item), 0);
      numbers.push_back(item.RecordNumber);
    }
    EXPECT_EQ(TL_readTagData(s_, code, &item), -1);
    TL_closeTag(s_);
    return numbers;
  }
  std::vector<uint16_t> Members() {
    std::vector<uint16_t> numbers;
    TL_ListItem item;
    while (TL_readGroupMember(s_, &item) == 0) numbers.push_back(item.RecordNumber);
    EXPECT_EQ(ErrorOf(s_), (Pair{9, 10}));
    return numbers;
  }

  ScratchDir dir_;
  std::string path_ = dir_.File("book.tel");
  SessionHolder s_;
};

}  // namespace test
}  // namespace telbook

#endif  // TELBOOK_TESTS_RECORDS_RECORDS_FIXTURE_H_
