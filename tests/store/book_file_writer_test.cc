// The book-file writer on its own, driven by a hook of the test's: which slots it keeps, the tab
// codes the hook gives, the slots it leaves free or as they stood, and a failing conversion.
#include "store/book_file_writer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "interface/session.h"
#include "interface/telbook.h"
#include "store/book_header.h"
#include "store/format.h"
#include "store/record_index.h"
#include "test_util.h"

namespace telbook {
namespace test {
namespace {

using format::kFixedPartSize;

// Keeps the slots of a set, gives them a tab code of its own and the record as it stands.
class TestHook final : public BookFileWriter::RecordHook {
 public:
  std::vector<uint32_t> kept[2];
  uint8_t tab = 0x05;
  bool fail = false;
  std::vector<uint32_t> asked[2];

  bool Keeps(BookFileWriter::Table table, uint32_t n) override {
    asked[table].push_back(n);
    for (uint32_t k : kept[table]) {
      if (k == n) return true;
    }
    return false;
  }
  uint32_t Convert(BookFileWriter::Table, uint8_t*, size_t, uint32_t length,
                   uint8_t* out_tab) override {
    *out_tab = tab;
    return fail ? 0 : length;
  }
};

class BookFileWriterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(TL_createDataBase(s_, path_.c_str()), 0);
    for (const char* name : {"one", "two", "three"}) {
      TL_Kojin k = Kojin(name, "\x82\xa9", "0123");
      unsigned short number = 0;
      ASSERT_EQ(TL_writeKojin(s_, &k, &number, 0), 0);
    }
    TL_Group g{};
    strcpy(g.Name, "g");
    unsigned short members[] = {1, 3};
    for (int i = 0; i < 2; ++i) {
      unsigned short number = 0;
      ASSERT_EQ(TL_writeGroup(s_, &g, &number, 2, members), 0);
    }
    ASSERT_EQ(TL_closeDataBase(s_, 0), 0);
    ASSERT_EQ(TL_openDataBase(s_, path_.c_str()), 0);
    original_ = ReadFileOrDie(path_);
  }

  FileStore* store() { return &FromHandle(s_)->store; }
  bool Write(const BookFileWriter::Plan& plan, TestHook* hook) {
    BookFileWriter writer(store());
    uint8_t header[format::kHeaderSize];
    memcpy(header, store()->header(), sizeof(header));
    Env* env = store()->env();
    OpenError error = OpenError::kNone;
    FileHandle out = env->OpenFile(out_.c_str(), OpenMode::kCreate, &error);
    EXPECT_NE(out, nullptr);
    if (out == nullptr) return false;
    bool written = writer.Write(out, plan, hook, header, store()->favourites());
    EXPECT_TRUE(env->Close(out));
    return written;
  }
  const uint8_t* SlotOf(const Bytes& file, bool group, uint32_t n) {
    return &file[group ? format::GroupSlotOffset(n) : format::PersonalSlotOffset(n)];
  }
  Bytes RecordOf(const Bytes& file, bool group, uint32_t n) {
    const uint8_t* slot = SlotOf(file, group, n);
    auto at = file.begin() + Slot::offset(slot);
    return Bytes(at, at + Slot::length(slot));
  }

  ScratchDir dir_;
  std::string path_ = dir_.File("book.tel");
  std::string out_ = dir_.File("out.tel");
  SessionHolder s_;
  Bytes original_;
};

TEST_F(BookFileWriterTest, KeepsWhatTheHookChoosesWithItsTabCodes) {
  TestHook hook;
  hook.kept[BookFileWriter::kPersonal] = {1, 3};
  hook.kept[BookFileWriter::kGroup] = {2};
  ASSERT_TRUE(Write(BookFileWriter::Plan(), &hook));
  // Every used slot is offered to the hook, in slot order.
  EXPECT_EQ(hook.asked[BookFileWriter::kPersonal], (std::vector<uint32_t>{1, 2, 3}));
  EXPECT_EQ(hook.asked[BookFileWriter::kGroup], (std::vector<uint32_t>{1, 2}));

  Bytes out = ReadFileOrDie(out_);
  EXPECT_EQ(book_header::PersonalCount(&out[0]), 2);
  EXPECT_EQ(book_header::GroupCount(&out[0]), 1);
  EXPECT_EQ(memcmp(&out[format::kFavouritesOffset], store()->favourites(), format::kFavouritesSize),
            0);
  struct Case {
    bool group;
    uint32_t n;
    bool kept;
  } cases[] = {{false, 1, true}, {false, 2, false}, {false, 3, true},
               {true, 1, false}, {true, 2, true},   {false, 4, false}};
  uint32_t next = kFixedPartSize;
  for (const Case& c : cases) {
    const uint8_t* slot = SlotOf(out, c.group, c.n);
    if (!c.kept) {
      // Slots not written are all zeros.
      EXPECT_EQ(Bytes(slot, slot + format::kSlotSize), Bytes(format::kSlotSize, 0)) << c.n;
      continue;
    }
    EXPECT_EQ(Slot::kind(slot), c.group ? format::kKindGroup : format::kKindPersonal);
    EXPECT_EQ(Slot::tab(slot), 0x05);
    // Packed behind the fixed part in slot order, the bytes as the hook left them.
    EXPECT_EQ(Slot::offset(slot), next) << c.n;
    next += Slot::length(slot);
    EXPECT_EQ(RecordOf(out, c.group, c.n), RecordOf(original_, c.group, c.n)) << c.n;
  }
  EXPECT_EQ(out.size(), next);
}

TEST_F(BookFileWriterTest, KeptSlotBytesAndTheLastSlotOfATable) {
  TestHook hook;
  hook.kept[BookFileWriter::kPersonal] = {1, 2, 3};
  hook.kept[BookFileWriter::kGroup] = {1, 2};
  BookFileWriter::Plan plan;
  plan.keep_slot_bytes = true;
  plan.last_slot[BookFileWriter::kGroup] = 1;
  // A free slot with bytes of its own goes out as it stands in memory.
  uint8_t* free_slot = nullptr;
  IndexLookup lookup(store());
  ASSERT_EQ(lookup.Lookup(7, &free_slot), 0);
  Slot::Fill(free_slot, format::kKindFree, 0x0B, 12, 34);
  ASSERT_TRUE(Write(plan, &hook));
  EXPECT_EQ(hook.asked[BookFileWriter::kGroup], (std::vector<uint32_t>{1}));

  Bytes out = ReadFileOrDie(out_);
  EXPECT_EQ(book_header::GroupCount(&out[0]), 1);
  EXPECT_EQ(Bytes(SlotOf(out, false, 7), SlotOf(out, false, 7) + format::kSlotSize),
            Bytes(free_slot, free_slot + format::kSlotSize));
  // The group slot past the last one is free, its other bytes as they were.
  const uint8_t* beyond = SlotOf(out, true, 2);
  const uint8_t* before = SlotOf(original_, true, 2);
  EXPECT_EQ(Slot::kind(beyond), format::kKindFree);
  EXPECT_EQ(Slot::tab(beyond), Slot::tab(before));
  EXPECT_EQ(Slot::length(beyond), Slot::length(before));
  EXPECT_EQ(Slot::offset(beyond), Slot::offset(before));
}

TEST_F(BookFileWriterTest, AFailedConversionRecordsThePlansPair) {
  for (uint16_t category : {uint16_t{0}, category::kClose}) {
    TestHook hook;
    hook.kept[BookFileWriter::kPersonal] = {2};
    hook.fail = true;
    BookFileWriter::Plan plan;
    plan.error_category = category;
    store()->RecordError(1, 1);
    EXPECT_FALSE(Write(plan, &hook));
    ErrorPair error = store()->error();
    EXPECT_EQ(error.category, category == 0 ? 1 : category);
    EXPECT_EQ(error.detail, category == 0 ? 1 : detail::kRecordFailed);
  }
  // The open book is untouched and still reads.
  EXPECT_EQ(ReadFileOrDie(path_), original_);
  TL_Kojin k;
  EXPECT_EQ(TL_readKojin(s_, &k, 2), 0);
  EXPECT_STREQ(k.Name, "two");
}

}  // namespace
}  // namespace test
}  // namespace telbook
