// The tool's look into a session: slots and list items by number, raw records, and the salvage
// of a book with a record that cannot be read, which the save and the subset refuse.
#include "interface/inspection.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "store/errors.h"
#include "store/format.h"
#include "store/record_index.h"
#include "test_util.h"

namespace telbook {
namespace test {
namespace {

class InspectionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(TL_createDataBase(s_, path_.c_str()), 0);
    for (const char* name : {"one", "abc", "three"}) {
      TL_Kojin k = Kojin(name, "\x82\xa9", "0123");
      k.Favourite = 2;
      unsigned short number = 0;
      ASSERT_EQ(TL_writeKojin(s_, &k, &number, 0), 0);
    }
    TL_Group g{};
    SetText(g.Name, "g");
    unsigned short members[] = {1, 2, 3};
    unsigned short number = 0;
    ASSERT_EQ(TL_writeGroup(s_, &g, &number, 3, members), 0);
    ASSERT_EQ(TL_closeDataBase(s_, 0), 0);
    // Entry 2's name comes to end in a lead byte without its trail, which a save's repair
    // drops, and entry 3's slot gives it no bytes.
    Bytes file = ReadFileOrDie(path_);
    const std::string abc("abc", 4);
    auto at = std::search(file.begin(), file.end(), abc.begin(), abc.end());
    ASSERT_NE(at, file.end());
    at[2] = 0x82;
    PutU16(&file, format::PersonalSlotOffset(3) + format::kSlotLengthOffset, 0);
    WriteFile(path_, file);
    ASSERT_EQ(TL_openDataBase(s_, path_.c_str()), 0);
  }

  ScratchDir dir_;
  std::string path_ = dir_.File("book.tel");
  std::string out_ = dir_.File("out.tel");
  SessionHolder s_;
};

TEST_F(InspectionTest, SlotsAndReadsByNumber) {
  for (uint16_t outside : {0, 10000, 16384, 26384}) {
    EXPECT_EQ(inspection::SlotOf(s_, outside), nullptr) << outside;
  }
  const uint8_t* slot = inspection::SlotOf(s_, 1);
  ASSERT_NE(slot, nullptr);
  EXPECT_EQ(Slot::kind(slot), format::kKindPersonal);
  EXPECT_EQ(Slot::tab(slot), 0x22);
  ASSERT_NE(inspection::SlotOf(s_, 26383), nullptr);

  TL_ListItem item{};
  ASSERT_EQ(inspection::ReadListItem(s_, 16385, &item), 0);
  EXPECT_EQ(item.Kind, 2);
  EXPECT_STREQ(item.Name, "g");
  EXPECT_EQ(inspection::ReadListItem(s_, 3, &item), -1);
  EXPECT_EQ(ErrorOf(s_), (Pair{category::kListItem, detail::kNoMemory}));

  MemoryBlock record;
  ASSERT_EQ(inspection::LoadRecord(s_, 1, &record), 0);
  EXPECT_EQ(record.size(), Slot::length(slot));
  EXPECT_EQ(record.data()[0], format::kKindPersonal);
  EXPECT_EQ(inspection::LoadRecord(s_, 3, &record), -1);
  EXPECT_TRUE(record.empty());
}

TEST_F(InspectionTest, SalvageKeepsWhatCanBeReadWhereSaveAndSubsetRefuse) {
  // The library's own writers read every used record, and entry 3 cannot be read.
  unsigned short chosen[] = {1};
  short flag = 0;
  EXPECT_EQ(TL_writeSrchData(s_, chosen, 1, nullptr, 0, 1, out_.c_str(), &flag), -1);
  EXPECT_FALSE(FileExists(out_));

  for (bool repair : {true, false}) {
    SalvageConversion keep(repair);
    for (uint16_t n : {1, 2, 16385, 0, 10000, 16384}) keep.Keep(n);
    ASSERT_EQ(inspection::WriteSalvage(s_, out_.c_str(), &keep), 0) << repair;
    Bytes out = ReadFileOrDie(out_);
    EXPECT_EQ(std::string(out.begin(), out.begin() + 8), "KVTL0200");
    EXPECT_EQ(GetU16(out, format::kPersonalCountOffset), 2);
    EXPECT_EQ(GetU16(out, format::kGroupCountOffset), 1);
    EXPECT_EQ(Bytes(&out[format::PersonalSlotOffset(3)],
                    &out[format::PersonalSlotOffset(3)] + format::kSlotSize),
              Bytes(format::kSlotSize, 0));

    SessionHolder salvaged;
    ASSERT_EQ(TL_openDataBase(salvaged, out_.c_str()), 0);
    TL_Kojin k{};
    ASSERT_EQ(TL_readKojin(salvaged, &k, 1), 0);
    EXPECT_STREQ(k.Name, "one");
    EXPECT_EQ(k.Favourite, 2);  // tab codes as they stood
    ASSERT_EQ(TL_readKojin(salvaged, &k, 2), 0);
    EXPECT_STREQ(k.Name, repair ? "ab" : "ab\x82");
    EXPECT_EQ(TL_readKojin(salvaged, &k, 3), -1);
    // Every record of the salvaged book reads, so the library's save works on it.
    const char names[80] = {'a'};  // index 0 takes all five places
    EXPECT_EQ(TL_writeOkonomi(salvaged, 0, names), 0);
    EXPECT_EQ(TL_closeDataBase(salvaged, 0), 0);
  }
  // The open book was only read.
  TL_Kojin k{};
  EXPECT_EQ(TL_readKojin(s_, &k, 2), 0);
}

TEST_F(InspectionTest, RefusedWithNoBookOpen) {
  ASSERT_EQ(TL_closeDataBase(s_, 1), 0);
  TL_ListItem item{};
  MemoryBlock record;
  SalvageConversion keep(true);
  EXPECT_EQ(inspection::SlotOf(s_, 1), nullptr);
  EXPECT_EQ(inspection::ReadListItem(s_, 1, &item), -1);
  EXPECT_EQ(ErrorOf(s_), (Pair{category::kListItem, detail::kOpenFailed}));
  EXPECT_EQ(inspection::LoadRecord(s_, 1, &record), -1);
  EXPECT_EQ(inspection::WriteSalvage(s_, out_.c_str(), &keep), -1);
  EXPECT_EQ(ErrorOf(s_), (Pair{category::kClose, detail::kOpenFailed}));
  EXPECT_FALSE(FileExists(out_));
}

}  // namespace
}  // namespace test
}  // namespace telbook
