// The search walk over a phone book built byte by byte: every record once, personal entries in
// slot order, then groups; the enumerator's refusals, which record no error pair.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "interface/session.h"
#include "interface/telbook.h"
#include "platform/fault_env.h"
#include "records/group_codec.h"
#include "records/kojin_codec.h"
#include "store/format.h"
#include "test_util.h"

namespace telbook {
namespace test {
namespace {

// Appends records to a phone book image and files them in their slots and the header counts.
class BookBuilder {
 public:
  BookBuilder() : book_(EmptyBook()) {}

  void AddEntry(int slot_index, const char* name) {
    TL_Kojin entry = {};
    strcpy(entry.Name, name);
    strcpy(entry.FaxNumber, "03-1234");
    uint8_t record[kojin::kEncodeCapacity];
    uint32_t length = EncodeKojin(entry, record, sizeof(record));
    ASSERT_GT(length, 0u);
    SetPersonalSlot(&book_, slot_index + 1, format::kKindPersonal, 0x0B,
                    static_cast<uint16_t>(length), Append(record, length));
    PutU16(&book_, format::kPersonalCountOffset,
           static_cast<uint16_t>(GetU16(book_, format::kPersonalCountOffset) + 1));
  }

  void AddGroup(int slot_index, const char* name) {
    TL_Group group = {};
    strcpy(group.Name, name);
    const uint16_t members[] = {2};
    uint8_t record[group::EncodeCapacity(1)];
    uint32_t length = EncodeGroup(group, members, 1, record, sizeof(record));
    ASSERT_GT(length, 0u);
    SetGroupSlot(&book_, slot_index + 1, format::kKindGroup, 0x0B, static_cast<uint16_t>(length),
                 Append(record, length));
    PutU16(&book_, format::kGroupCountOffset,
           static_cast<uint16_t>(GetU16(book_, format::kGroupCountOffset) + 1));
  }

  Bytes& book() { return book_; }

 private:
  uint32_t Append(const uint8_t* record, uint32_t length) {
    uint32_t offset = static_cast<uint32_t>(book_.size());
    book_.insert(book_.end(), record, record + length);
    return offset;
  }

  Bytes book_;
};

class RecordEnumeratorTest : public ::testing::Test {
 protected:
  void Open(const Bytes& book) {
    path_ = dir_.File("book.tel");
    WriteFile(path_, book);
    ASSERT_EQ(TL_openDataBase(s_, path_.c_str()), 0);
  }

  // Reads until the walk refuses; the record numbers and names handed out.
  std::vector<std::pair<int, std::string>> Walk(int limit = 100) {
    std::vector<std::pair<int, std::string>> seen;
    for (int i = 0; i < limit; ++i) {
      TL_ListItem item;
      memset(&item, 0, sizeof(item));
      if (TL_readSrchData(s_, &item) != 0) break;
      seen.emplace_back(item.RecordNumber, item.Name);
    }
    return seen;
  }

  ScratchDir dir_;
  std::string path_;
  SessionHolder s_;
};

TEST_F(RecordEnumeratorTest, ScatteredRecordsComeOnceEntriesFirstInSlotOrder) {
  BookBuilder b;
  b.AddEntry(5, "five");
  b.AddGroup(1200, "g1200");
  b.AddEntry(1, "one");
  b.AddGroup(3, "g3");
  b.AddEntry(1500, "fifteen hundred");  // in the upper half of the personal table
  b.AddEntry(9, "nine");
  b.AddGroup(0, "g0");
  Open(b.book());

  unsigned short count = 0;
  ASSERT_EQ(TL_beginSRCH(s_, &count), 0);
  EXPECT_EQ(count, 7);
  std::vector<std::pair<int, std::string>> expected = {
      {2, "one"},    {6, "five"},   {10, "nine"},    {1501, "fifteen hundred"},
      {16385, "g0"}, {16388, "g3"}, {17585, "g1200"}};
  EXPECT_EQ(Walk(), expected);

  // Spent: further reads refuse until a new walk begins.
  TL_ListItem item;
  memset(&item, 0x5A, sizeof(item));
  EXPECT_EQ(TL_readSrchData(s_, &item), -1);
  EXPECT_EQ(item.RecordNumber, 0x5A5A);
  EXPECT_EQ(ErrorOf(s_), (Pair{0, 0}));
  EXPECT_EQ(TL_endSRCH(s_), 0);
  ASSERT_EQ(TL_beginSRCH(s_, &count), 0);
  EXPECT_EQ(Walk(), expected);
  EXPECT_EQ(TL_endSRCH(s_), 0);
  EXPECT_EQ(TL_endSRCH(s_), 0);
}

TEST_F(RecordEnumeratorTest, ListItemsCarryKindAndTexts) {
  BookBuilder b;
  b.AddEntry(0, "entry");
  b.AddGroup(0, "group");
  Open(b.book());
  unsigned short count = 0;
  ASSERT_EQ(TL_beginSRCH(s_, &count), 0);
  TL_ListItem item;
  memset(&item, 0x5A, sizeof(item));
  ASSERT_EQ(TL_readSrchData(s_, &item), 0);
  EXPECT_EQ(item.Kind, 0);
  EXPECT_STREQ(item.FaxNumber, "03-1234");
  memset(&item, 0x5A, sizeof(item));
  ASSERT_EQ(TL_readSrchData(s_, &item), 0);
  EXPECT_EQ(item.RecordNumber, 16385);
  EXPECT_EQ(item.Kind, 2);
  EXPECT_STREQ(item.Name, "group");
  EXPECT_EQ(static_cast<uint8_t>(item.Affiliation[0]), 0x5A) << "groups fill name and reading only";
}

TEST_F(RecordEnumeratorTest, EmptyBookAnnouncesNothing) {
  Open(EmptyBook());
  unsigned short count = 9;
  ASSERT_EQ(TL_beginSRCH(s_, &count), 0);
  EXPECT_EQ(count, 0);
  TL_ListItem item;
  EXPECT_EQ(TL_readSrchData(s_, &item), -1);
  EXPECT_EQ(ErrorOf(s_), (Pair{0, 0}));
}

TEST_F(RecordEnumeratorTest, SecondBeginIsRefusedAndTheWalkGoesOn) {
  BookBuilder b;
  b.AddEntry(3, "a");
  b.AddEntry(4, "b");
  Open(b.book());
  unsigned short count = 0;
  ASSERT_EQ(TL_beginSRCH(s_, &count), 0);
  EXPECT_EQ(Walk(1).size(), 1u);
  unsigned short again = 77;
  EXPECT_EQ(TL_beginSRCH(s_, &again), -1);
  EXPECT_EQ(again, 77);
  EXPECT_EQ(Walk(), (std::vector<std::pair<int, std::string>>{{5, "b"}}));
  EXPECT_EQ(ErrorOf(s_), (Pair{0, 0}));
}

TEST_F(RecordEnumeratorTest, ReadBeforeBeginIsRefused) {
  BookBuilder b;
  b.AddEntry(0, "a");
  Open(b.book());
  TL_ListItem item;
  EXPECT_EQ(TL_readSrchData(s_, &item), -1);
  EXPECT_EQ(ErrorOf(s_), (Pair{0, 0}));
}

TEST_F(RecordEnumeratorTest, NoPhoneBookOpenRefusesWithoutAPair) {
  unsigned short count = 5;
  EXPECT_EQ(TL_beginSRCH(s_, &count), -1);
  EXPECT_EQ(count, 5);
  TL_ListItem item;
  EXPECT_EQ(TL_readSrchData(s_, &item), -1);

  // A walk begun on a phone book that was closed since touches none of its released buffers.
  BookBuilder b;
  b.AddEntry(0, "a");
  b.AddEntry(1, "b");
  Open(b.book());
  ASSERT_EQ(TL_beginSRCH(s_, &count), 0);
  ASSERT_EQ(TL_closeDataBase(s_, 1), 0);
  EXPECT_EQ(TL_readSrchData(s_, &item), -1);
  EXPECT_EQ(ErrorOf(s_), (Pair{0, 0}));
  EXPECT_EQ(TL_endSRCH(s_), 0);
  EXPECT_EQ(TL_beginSRCH(s_, nullptr), -1);
}

// The header's counts, written by another program, are not trusted: the walk announces and hands
// out the used slots, and TL_readDataCount reports them, whatever the header says.
TEST_F(RecordEnumeratorTest, CountsComeFromTheSlotsNotTheHeader) {
  const struct {
    uint16_t personal;
    uint16_t groups;
  } headers[] = {{0, 0}, {1, 1}, {200, 209}, {9999, 6000}};
  for (const auto& header : headers) {
    SCOPED_TRACE(std::to_string(header.personal) + "/" + std::to_string(header.groups));
    BookBuilder b;
    b.AddEntry(7, "seven");
    b.AddEntry(2000, "two thousand");
    b.AddEntry(9998, "last");
    b.AddGroup(4, "g4");
    b.AddGroup(6000, "beyond 5000");  // no walk reaches a group slot above 5000
    PutU16(&b.book(), format::kPersonalCountOffset, header.personal);
    PutU16(&b.book(), format::kGroupCountOffset, header.groups);
    Open(b.book());
    unsigned short personal = 0, groups = 0;
    EXPECT_EQ(TL_readDataCount(s_, &personal, &groups), 0);
    EXPECT_EQ(personal, 3);
    EXPECT_EQ(groups, 1);
    unsigned short count = 0;
    ASSERT_EQ(TL_beginSRCH(s_, &count), 0);
    EXPECT_EQ(count, 4);
    EXPECT_EQ(Walk(), (std::vector<std::pair<int, std::string>>{
                          {8, "seven"}, {2001, "two thousand"}, {9999, "last"}, {16389, "g4"}}));
    EXPECT_EQ(ErrorOf(s_), (Pair{0, 0}));
    EXPECT_EQ(TL_endSRCH(s_), 0);
    ASSERT_EQ(TL_closeDataBase(s_, 1), 0);
  }
}

TEST_F(RecordEnumeratorTest, AnUnreadableRecordIsReportedAndPassedOver) {
  BookBuilder b;
  b.AddEntry(0, "first");
  b.AddEntry(2, "third");
  SetPersonalSlot(&b.book(), 2, format::kKindPersonal, 0x0B, 0, 0);  // used, but no record
  PutU16(&b.book(), format::kPersonalCountOffset, 3);
  Open(b.book());
  unsigned short count = 0;
  ASSERT_EQ(TL_beginSRCH(s_, &count), 0);
  ASSERT_EQ(count, 3);
  TL_ListItem item;
  ASSERT_EQ(TL_readSrchData(s_, &item), 0);
  EXPECT_EQ(TL_readSrchData(s_, &item), -1);
  EXPECT_EQ(ErrorOf(s_), (Pair{4, 4}));
  ASSERT_EQ(TL_readSrchData(s_, &item), 0);
  EXPECT_EQ(item.RecordNumber, 3);
  EXPECT_EQ(TL_readSrchData(s_, &item), -1);
}

// Records are read ahead in blocks during a walk; what the session writes in the middle of the
// walk, before and after the switch to the working copy, is what the walk hands out.
TEST(RecordEnumeratorReadAheadTest, AWalkSeesEveryWriteMadeDuringIt) {
  ScratchDir dir;
  BookBuilder b;
  for (int i = 0; i < 4; ++i) b.AddEntry(i, std::string(1, static_cast<char>('a' + i)).c_str());
  std::string path = dir.File("book.tel");
  WriteFile(path, b.book());
  SessionHolder s;
  ASSERT_EQ(TL_openDataBase(s, path.c_str()), 0);
  unsigned short count = 0;
  ASSERT_EQ(TL_beginSRCH(s, &count), 0);
  ASSERT_EQ(count, 4);
  TL_ListItem item;
  ASSERT_EQ(TL_readSrchData(s, &item), 0);
  EXPECT_STREQ(item.Name, "a");
  for (uint16_t n : {2, 3, 4}) {
    TL_Kojin changed = {};
    snprintf(changed.Name, sizeof(changed.Name), "changed %d", n);
    unsigned short number = n;
    ASSERT_EQ(TL_writeKojin(s, &changed, &number, 0), 0);
    ASSERT_EQ(TL_readSrchData(s, &item), 0);
    EXPECT_EQ(item.RecordNumber, n);
    EXPECT_EQ(std::string(item.Name), "changed " + std::to_string(n));
  }
  EXPECT_EQ(TL_closeDataBase(s, 1), 0);
}

TEST(RecordEnumeratorFaultTest, AFailedRecordReadKeepsItsPairAndTheWalkMovesOn) {
  ScratchDir dir;
  BookBuilder b;
  b.AddEntry(0, "a");
  b.AddEntry(1, "b");
  std::string path = dir.File("book.tel");
  WriteFile(path, b.book());
  FaultEnv faults(Env::Default());
  ScopedSessionEnv scope(&faults);
  SessionHolder s;
  ASSERT_EQ(TL_openDataBase(s, path.c_str()), 0);
  // The open's rebuild of the other class read both records ahead: the faults below must meet
  // the read-ahead block's allocation, the record's own block and a read of the file.
  FromHandle(s)->store.read_ahead().Release();
  unsigned short count = 0;
  ASSERT_EQ(TL_beginSRCH(s, &count), 0);
  TL_ListItem item;
  faults.Reset();
  faults.SetSticky(true);
  faults.FailAt(FaultKind::kAlloc, 1);
  EXPECT_EQ(TL_readSrchData(s, &item), -1);
  EXPECT_EQ(ErrorOf(s), (Pair{4, 4}));
  faults.SetSticky(false);
  faults.Reset();
  faults.FailAt(FaultKind::kRead, 1);
  EXPECT_EQ(TL_readSrchData(s, &item), -1);
  EXPECT_EQ(ErrorOf(s), (Pair{14, 15}));
  faults.Reset();
  EXPECT_EQ(TL_readSrchData(s, &item), -1) << "both records were handed out";
  EXPECT_EQ(TL_closeDataBase(s, 1), 0);
}

}  // namespace
}  // namespace test
}  // namespace telbook
