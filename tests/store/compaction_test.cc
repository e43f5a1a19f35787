// The compaction of a saving close on phone books written byte by byte: the saved layout, the
// version upgrade, the slots it frees, and the records it refuses.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "interface/session.h"
#include "interface/telbook.h"
#include "records/book_builder.h"
#include "records/record_converter.h"
#include "store/format.h"
#include "test_util.h"

namespace telbook {
namespace test {
namespace {

constexpr uint32_t kRecordArea = 160112;
constexpr uint8_t kTab = 0x0B;

// A personal entry record of the older layout: no extension block, texts from offset 43.
Bytes PersonalRecord(const std::string& name, const std::string& fax, uint8_t kind = 1) {
  Bytes r(43, 0);
  r[0] = kind;
  PutU16(&r, 30, 0x0102);
  for (int n = 0; n < 13; ++n) {
    PutU16(&r, 2 + 2 * n, static_cast<uint16_t>(r.size()));
    std::string text = n == 0 ? name : n == 3 ? fax : std::string();
    r.insert(r.end(), text.begin(), text.end());
    r.push_back(0);
  }
  return r;
}

// Appends a record to an image and returns its offset.
uint32_t Append(Bytes* book, const Bytes& record) {
  uint32_t at = static_cast<uint32_t>(book->size());
  book->insert(book->end(), record.begin(), record.end());
  return at;
}

Bytes Converted(const Bytes& record, bool group) {
  Bytes buffer(group ? RecordConverter::kGroupBufferSize : RecordConverter::kKojinBufferSize, 0);
  memcpy(buffer.data(), record.data(), record.size());
  RecordConverter converter;
  uint32_t length = group ? converter.ConvertGroup(buffer.data(), buffer.size(),
                                                   static_cast<uint32_t>(record.size()), true)
                          : converter.ConvertKojin(buffer.data(), buffer.size(),
                                                   static_cast<uint32_t>(record.size()), true);
  buffer.resize(length);
  return buffer;
}

Bytes Slice(const Bytes& b, size_t at, size_t length) {
  return Bytes(b.begin() + static_cast<long>(at), b.begin() + static_cast<long>(at + length));
}

class CompactionTest : public ::testing::Test {
 protected:
  // Opens an image and switches to its working copy, as the first change of an open would.
  void OpenChanged(const Bytes& image) {
    WriteFile(path_, image);
    ASSERT_EQ(TL_openDataBase(s_, path_.c_str()), 0);
    ASSERT_EQ(FromHandle(s_)->working_copy.Switch(), 0);
  }
  std::string Name(uint16_t record_number) {
    TL_Kojin entry;
    memset(&entry, 0, sizeof(entry));
    EXPECT_EQ(TL_readKojin(s_, &entry, record_number), 0) << record_number;
    return entry.Name;
  }

  ScratchDir dir_;
  SessionHolder s_;
  std::string path_ = dir_.File("book.tel");
};

TEST_F(CompactionTest, BookWithoutRecordsSavesTo160112Bytes) {
  Bytes image = EmptyBook();
  for (int i = 16; i < 32; ++i) image[i] = static_cast<uint8_t>(i);  // reserved, carried over
  PutU16(&image, 8, 77);  // stale counts are replaced by the counted ones
  PutU16(&image, 10, 3);
  OpenChanged(image);
  ASSERT_EQ(TL_closeDataBase(s_, 0), 0);
  Bytes saved = ReadFileOrDie(path_);
  Bytes expected = image;
  PutU16(&expected, 8, 0);
  PutU16(&expected, 10, 0);
  EXPECT_EQ(saved, expected);
  EXPECT_EQ(dir_.List(), std::vector<std::string>{"book.tel"});
}

TEST_F(CompactionTest, Version1BookIsUpgradedWithRecordsPackedInSlotOrder) {
  Bytes image = EmptyBookV1();
  // Written out of slot order, with dead space between them.
  Bytes third = PersonalRecord("Third", "333");
  Bytes first = PersonalRecord("First\t1", "111");
  Bytes group = GroupImage("Team", "", {1, 3, 0xFFFF, 0xFFFF}, 2);
  uint32_t at_third = Append(&image, third);
  Append(&image, PersonalRecord("dead", "000"));
  uint32_t at_group = Append(&image, group);
  uint32_t at_first = Append(&image, first);
  SetPersonalSlot(&image, 3, 1, kTab, static_cast<uint16_t>(third.size()), at_third);
  SetPersonalSlot(&image, 1, 1, 0x21, static_cast<uint16_t>(first.size()), at_first);
  SetGroupSlot(&image, 2, 2, kTab, static_cast<uint16_t>(group.size()), at_group);
  OpenChanged(image);
  ASSERT_EQ(TL_getFileVersion(s_), 1);
  ASSERT_EQ(TL_closeDataBase(s_, 0), 0);

  Bytes saved = ReadFileOrDie(path_);
  Bytes c1 = Converted(first, false);
  Bytes c3 = Converted(third, false);
  Bytes cg = Converted(group, true);
  ASSERT_EQ(saved.size(), kRecordArea + c1.size() + c3.size() + cg.size());
  EXPECT_EQ(std::string(saved.begin(), saved.begin() + 8), "KVTL0200");
  EXPECT_EQ(GetU16(saved, 8), 2);
  EXPECT_EQ(GetU16(saved, 10), 1);
  EXPECT_EQ(GetU16(saved, 12), 9999);
  EXPECT_EQ(GetU16(saved, 14), 5000);
  // Slots keep their kind and tab code and point at the packed records.
  EXPECT_EQ(saved[128], 1);
  EXPECT_EQ(saved[129], 0x21);
  EXPECT_EQ(GetU16(saved, 130), c1.size());
  EXPECT_EQ(GetU32(saved, 132), kRecordArea);
  EXPECT_EQ(GetU32(saved, 128 + 16 + 4), kRecordArea + c1.size());
  EXPECT_EQ(GetU32(saved, 8320 + 8 + 4), kRecordArea + c1.size() + c3.size());
  EXPECT_EQ(Slice(saved, kRecordArea, c1.size()), c1);
  EXPECT_EQ(Slice(saved, kRecordArea + c1.size(), c3.size()), c3);
  EXPECT_EQ(Slice(saved, kRecordArea + c1.size() + c3.size(), cg.size()), cg);
  EXPECT_EQ(GetU16(cg, 14), 0);  // the extra member places are gone

  ASSERT_EQ(TL_openDataBase(s_, path_.c_str()), 0);
  EXPECT_EQ(TL_getFileVersion(s_), 2);
  EXPECT_EQ(Name(1), "First 1");
  EXPECT_EQ(Name(3), "Third");
  ASSERT_EQ(TL_openGroup(s_, 16386), 0);
  TL_Group g;
  ASSERT_EQ(TL_readGroupData(s_, &g), 0);
  EXPECT_STREQ(g.Name, "Team");
  EXPECT_EQ(g.MemberCount, 2);
  EXPECT_EQ(dir_.List(), std::vector<std::string>{"book.tel"});
}

// A book whose records fill many write blocks and whose slots reach into every part of both
// tables, including free slots that carry stale bytes: the saved file is its layout, byte for
// byte.
TEST_F(CompactionTest, ALargeBookSavesToExactlyItsLayout) {
  Bytes image = EmptyBook();
  std::vector<std::pair<int, Bytes>> personal;
  for (int n = 1; n <= 9999; n += (n < 1100 ? 1 : 7)) {
    if (n == 500) continue;
    Bytes r = PersonalRecord("Entry " + std::to_string(n), std::to_string(n * 31));
    SetPersonalSlot(&image, n, 1, kTab, static_cast<uint16_t>(r.size()), Append(&image, r));
    personal.push_back({n, r});
  }
  // A free slot keeps its bytes in the saved file.
  SetPersonalSlot(&image, 500, 0, 0x22, 77, 123456);
  std::vector<std::pair<int, Bytes>> groups;
  for (int n : {1, 1024, 1025, 3000, 5000}) {
    Bytes r = GroupImage("Group " + std::to_string(n), "", {1, 2, 3}, 3);
    if (n == 3000) {
      // The largest group record there is: 9999 members.
      r.assign(16, 0);
      r[0] = 2;
      PutU16(&r, 12, 9999);
      for (int m = 0; m < 9999; ++m) {
        r.push_back(static_cast<uint8_t>(m % 200 + 1));
        r.push_back(0);
      }
      PutU16(&r, 6, static_cast<uint16_t>(r.size()));
      r.insert(r.end(), {'B', 'i', 'g', 0});
      PutU16(&r, 8, static_cast<uint16_t>(r.size()));
      r.push_back(0);
    }
    SetGroupSlot(&image, n, 2, kTab, static_cast<uint16_t>(r.size()), Append(&image, r));
    groups.push_back({n, r});
  }
  Bytes beyond = GroupImage("Beyond", "", {1}, 1);
  SetGroupSlot(&image, 7000, 2, kTab, static_cast<uint16_t>(beyond.size()), Append(&image, beyond));
  OpenChanged(image);
  ASSERT_EQ(TL_closeDataBase(s_, 0), 0);

  Bytes expected = EmptyBook();
  memcpy(expected.data() + 128, image.data() + 128, kRecordArea - 128);
  PutU16(&expected, 8, static_cast<uint16_t>(personal.size()));
  PutU16(&expected, 10, static_cast<uint16_t>(groups.size()));
  expected[120120 + 8 * (7000 - 5001)] = 0;
  for (const auto& p : personal) {
    Bytes c = Converted(p.second, false);
    SetPersonalSlot(&expected, p.first, 1, kTab, static_cast<uint16_t>(c.size()),
                    Append(&expected, c));
  }
  for (const auto& g : groups) {
    Bytes c = Converted(g.second, true);
    SetGroupSlot(&expected, g.first, 2, kTab, static_cast<uint16_t>(c.size()),
                 Append(&expected, c));
  }
  Bytes saved = ReadFileOrDie(path_);
  ASSERT_EQ(saved.size(), expected.size());
  EXPECT_TRUE(saved == expected);
  EXPECT_EQ(GetU32(saved, format::PersonalSlotOffset(500) + 4), 123456u);
}

TEST_F(CompactionTest, GroupSlotsAbove5000AreWrittenFree) {
  Bytes image = EmptyBook();
  Bytes kept = GroupImage("Kept", "", {}, 0);
  Bytes dropped = GroupImage("Dropped", "", {}, 0);
  uint32_t at_kept = Append(&image, kept);
  uint32_t at_dropped = Append(&image, dropped);
  SetGroupSlot(&image, 5000, 2, kTab, static_cast<uint16_t>(kept.size()), at_kept);
  SetGroupSlot(&image, 5001, 2, kTab, static_cast<uint16_t>(dropped.size()), at_dropped);
  SetGroupSlot(&image, 9999, 2, 0x13, 77, 99999);
  PutU16(&image, 10, 2);
  OpenChanged(image);
  ASSERT_EQ(TL_closeDataBase(s_, 0), 0);
  Bytes saved = ReadFileOrDie(path_);
  EXPECT_EQ(GetU16(saved, 10), 1);
  EXPECT_EQ(saved.size(), kRecordArea + Converted(kept, true).size());
  EXPECT_EQ(GetU32(saved, 120112 + 4), kRecordArea);
  // Kind 0; the other bytes stay as they were.
  EXPECT_EQ(saved[120120], 0);
  EXPECT_EQ(saved[120121], kTab);
  EXPECT_EQ(GetU32(saved, 120120 + 4), at_dropped);
  EXPECT_EQ(saved[160104], 0);
  EXPECT_EQ(saved[160105], 0x13);
}

TEST_F(CompactionTest, Version3BookIsSavedWithTheVersion2Magic) {
  Bytes image = EmptyBook("KVPL", "0300");
  Bytes entry = PersonalRecord("Three", "3");
  uint32_t at = Append(&image, entry);
  SetPersonalSlot(&image, 1, 1, kTab, static_cast<uint16_t>(entry.size()), at);
  OpenChanged(image);
  ASSERT_EQ(TL_getFileVersion(s_), 3);
  ASSERT_EQ(TL_closeDataBase(s_, 0), 0);
  Bytes saved = ReadFileOrDie(path_);
  EXPECT_EQ(std::string(saved.begin(), saved.begin() + 8), "KVTL0200");
  ASSERT_EQ(TL_openDataBase(s_, path_.c_str()), 0);
  EXPECT_EQ(TL_getFileVersion(s_), 2);
  EXPECT_EQ(Name(1), "Three");
}

// Records the save cannot carry make it fail cleanly: the phone book stays as it was, the session
// stays changed, and dropping the changes still works.
TEST_F(CompactionTest, UnsavableRecordsFailTheSaveAndLoseNothing) {
  struct Case {
    const char* what;
    Bytes image;
  };
  std::vector<Case> cases;
  {
    Bytes image = EmptyBook("KVPL", "0300");
    Bytes alt = PersonalRecord("Alt", "1", 3);
    uint32_t at = Append(&image, alt);
    SetPersonalSlot(&image, 1, 3, kTab, static_cast<uint16_t>(alt.size()), at);
    cases.push_back({"kind-3 record", image});
  }
  {
    Bytes image = EmptyBook();
    Bytes entry = PersonalRecord("Past", "1");
    SetPersonalSlot(&image, 4, 1, kTab, static_cast<uint16_t>(entry.size()), 500000);
    cases.push_back({"record past the end", image});
  }
  {
    Bytes image = EmptyBook();
    Bytes group = GroupImage("G", "", {}, 0);
    uint32_t at = Append(&image, group);
    SetPersonalSlot(&image, 2, 1, kTab, static_cast<uint16_t>(group.size()), at);
    cases.push_back({"group record in a personal slot", image});
  }
  {
    Bytes image = EmptyBook();
    Bytes entry = PersonalRecord("Zero", "1");
    uint32_t at = Append(&image, entry);
    SetGroupSlot(&image, 1, 2, kTab, 0, at);
    cases.push_back({"slot of length 0", image});
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    OpenChanged(c.image);
    EXPECT_EQ(TL_closeDataBase(s_, 0), -1);
    EXPECT_EQ(ErrorOf(s_), (Pair{40, 30}));
    EXPECT_EQ(ReadFileOrDie(path_), c.image);
    EXPECT_EQ(FromHandle(s_)->working_copy.modified(), 1);
    EXPECT_EQ(dir_.List(), BookAndWorkingCopy(dir_, "book.tel", s_));
    EXPECT_EQ(TL_closeDataBase(s_, 1), 0);
    EXPECT_EQ(ReadFileOrDie(path_), c.image);
    EXPECT_EQ(dir_.List(), std::vector<std::string>{"book.tel"});
  }
}

TEST_F(CompactionTest, OversizedPersonalRecordIsReadAsFarAsItsBufferHolds) {
  Bytes image = EmptyBook();
  Bytes entry = PersonalRecord("Big", "1");
  entry.resize(1200, 'z');
  uint32_t at = Append(&image, entry);
  SetPersonalSlot(&image, 1, 1, kTab, static_cast<uint16_t>(entry.size()), at);
  OpenChanged(image);
  ASSERT_EQ(TL_closeDataBase(s_, 0), 0);
  ASSERT_EQ(TL_openDataBase(s_, path_.c_str()), 0);
  EXPECT_EQ(Name(1), "Big");
}

}  // namespace
}  // namespace test
}  // namespace telbook
