// TL_writeSrchData: refused requests, the group expansion, the choice of format, and the one-step
// replace of the destination under every injected failure.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "export/export_test_util.h"
#include "export/text_export.h"
#include "interface/session.h"
#include "platform/fault_env.h"
#include "store/format.h"

namespace telbook {
namespace test {
namespace {

const Bytes kOld = {'o', 'l', 'd', '\r', '\n'};

class ExportDriverTest : public ExportTest {
 protected:
  // Entries 1 to 9 named E1 to E9.
  static BookImage Nine() {
    BookImage book;
    for (int n = 1; n <= 9; ++n) book.AddKojin(n, Entry("E" + std::to_string(n)));
    return book;
  }
  // The K lines of the given entries of Nine(), in order.
  static std::string Lines(const std::vector<int>& entries) {
    std::string text;
    int k = 0;
    for (int n : entries) text += PlainLine(++k, "E" + std::to_string(n));
    return text;
  }
  void ExpectUntouched() {
    EXPECT_EQ(OutputBytes(), kOld);
    EXPECT_TRUE(Strays().empty());
  }
};

TEST_F(ExportDriverTest, RefusedRequestsWriteNothing) {
  std::vector<uint16_t> one = {1};
  EXPECT_EQ(TL_writeSrchData(s_, one.data(), 1, nullptr, 0, 0, out_.c_str(), nullptr), -1);
  EXPECT_EQ(ErrorOf(s_), (Pair{40, 16}));
  EXPECT_FALSE(FileExists(out_));

  Open(Nine());
  WriteFile(out_, kOld);
  std::vector<uint16_t> many(10000, 1);
  EXPECT_EQ(TL_writeSrchData(s_, many.data(), 10000, nullptr, 0, 0, out_.c_str(), nullptr), -1);
  EXPECT_EQ(ErrorOf(s_), (Pair{40, 5}));
  std::vector<uint16_t> groups(10000, 16385);
  EXPECT_EQ(TL_writeSrchData(s_, nullptr, 0, groups.data(), 10000, 1, out_.c_str(), nullptr), -1);
  EXPECT_EQ(ErrorOf(s_), (Pair{40, 5}));
  EXPECT_EQ(TL_writeSrchData(s_, nullptr, 2, nullptr, 0, 0, out_.c_str(), nullptr), -1);
  EXPECT_EQ(ErrorOf(s_), (Pair{40, 18}));
  EXPECT_EQ(TL_writeSrchData(s_, one.data(), 1, nullptr, 0, 0, nullptr, nullptr), -1);
  EXPECT_EQ(ErrorOf(s_), (Pair{15, 17}));
  ExpectUntouched();

  // Only the low 16 bits of a count count.
  EXPECT_EQ(TL_writeSrchData(s_, one.data(), 0x10001, nullptr, 0x10000, 0, out_.c_str(), nullptr),
            0);
  EXPECT_EQ(Output(), Lines({1}));
}

TEST_F(ExportDriverTest, GroupListValuesThatAreNoRecordNumbersFail) {
  BookImage book = Nine();
  book.AddGroup(1, "G", "g", {2});
  Open(book);
  WriteFile(out_, kOld);
  for (uint16_t bad : {0, 10000, 16384, 26384, 65535}) {
    EXPECT_EQ(Export({1}, {16385, bad}), -1) << bad;
    EXPECT_EQ(ErrorOf(s_), (Pair{31, 5})) << bad;
  }
  ExpectUntouched();
  // A free group slot (a group deleted, or never written) is absent, as a free entry's is.
  EXPECT_EQ(Export({1}, {16386}), 0);
  EXPECT_EQ(Output(), Lines({1}));
}

TEST_F(ExportDriverTest, ChosenGroupsBringTheirMembersOnce) {
  BookImage book = Nine();
  book.AddGroup(1, "A", "a", {5, 2, 5});
  book.AddGroup(2, "B", "b", {0, 7});
  book.AddGroup(3, "C", "c", {6, 0xFFFF, 9});
  book.AddGroup(4, "D", "d", {4, 0, 8});
  Open(book);
  std::vector<uint16_t> personal = {2};
  std::vector<uint16_t> groups = {16385, 16386, 16387, 16388, 16385};
  ASSERT_EQ(Export(personal, groups), 0);
  EXPECT_EQ(personal, (std::vector<uint16_t>{2}));
  EXPECT_EQ(groups.size(), 5u);
  // 7 and 8 stand behind a 0 place: not gathered, not listed.
  EXPECT_EQ(Output(), Lines({2, 4, 5, 6, 9}) + Line({"G1", "A", "a", "3", "K3", "K1", "K3"}) +
                          Line({"G2", "B", "b", "0"}) + Line({"G3", "C", "c", "2", "K4", "K5"}) +
                          Line({"G4", "D", "d", "1", "K2"}));

  ASSERT_EQ(Export({}, {16387}, 1), 0);
  Bytes out = OutputBytes();
  for (int n = 1; n <= 9; ++n) {
    EXPECT_EQ(out[format::PersonalSlotOffset(n)], n == 6 || n == 9 ? 1 : 0) << n;
  }
}

TEST_F(ExportDriverTest, AFullPersonalListStillTakesNewMembers) {
  BookImage book = Nine();
  book.AddGroup(1, "G", "g", {2, 3});
  Open(book);
  std::vector<uint16_t> personal(9999, 1);
  ASSERT_EQ(Export(personal, {16385}), 0);
  EXPECT_EQ(Output(), Lines({1, 2, 3}) + Line({"G1", "G", "g", "2", "K2", "K3"}));
}

TEST_F(ExportDriverTest, EveryFormatValueButOneIsText) {
  Open(Nine());
  for (int format : {0, 2, -1, 0x10000, 0x20002}) {
    ASSERT_EQ(Export({1}, {}, format), 0) << format;
    EXPECT_EQ(Output(), Lines({1})) << format;
  }
  ASSERT_EQ(Export({1}, {}, 0x10001), 0);
  EXPECT_EQ(OutputBytes().size(), format::kFixedPartSize + KojinRecord(Entry("E1")).size());
  EXPECT_TRUE(Strays().empty());
}

// Fails each file operation and allocation of an export in turn: the destination is either the
// whole new export or byte for byte what it was, and no file of the export is left behind.
class ExportFaultTest : public ExportDriverTest, public ::testing::WithParamInterface<int> {};

TEST_P(ExportFaultTest, AFailedExportLeavesTheDestinationAsItWas) {
  const int format = GetParam();
  BookImage book = Nine();
  book.AddGroup(1, "G", "g", {3, 4});
  book.Save(book_);
  FaultEnv env(Env::Default());
  ScopedSessionEnv scoped(&env);
  SessionHolder s;
  ASSERT_EQ(TL_openDataBase(s, book_.c_str()), 0);
  std::vector<uint16_t> personal = {1, 2};
  std::vector<uint16_t> groups = {16385};
  auto run = [&] {
    return TL_writeSrchData(s, personal.data(), 2, groups.data(), 1, format, out_.c_str(), nullptr);
  };
  env.Reset();
  ASSERT_EQ(run(), 0);
  const Bytes expected = OutputBytes();
  ASSERT_FALSE(expected.empty());
  int counts[static_cast<int>(FaultKind::kCount)];
  for (int k = 0; k < static_cast<int>(FaultKind::kCount); ++k) {
    counts[k] = env.Count(static_cast<FaultKind>(k));
  }
  ASSERT_GT(counts[static_cast<int>(FaultKind::kSync)], 0);
  ASSERT_GT(counts[static_cast<int>(FaultKind::kReplace)], 0);

  int failures = 0;
  for (FaultKind kind :
       {FaultKind::kAlloc, FaultKind::kOpen, FaultKind::kMove, FaultKind::kRead, FaultKind::kWrite,
        FaultKind::kSync, FaultKind::kClose, FaultKind::kReplace, FaultKind::kTempName,
        FaultKind::kInspect, FaultKind::kAttributes}) {
    for (int nth = 1; nth <= counts[static_cast<int>(kind)]; ++nth) {
      WriteFile(out_, kOld);
      env.Reset();
      env.FailAt(kind, nth);
      short status = run();
      env.FailAt(kind, 0);
      SCOPED_TRACE(testing::Message() << "kind " << static_cast<int>(kind) << " nth " << nth);
      if (status == 0) {
        EXPECT_EQ(OutputBytes(), expected);
      } else {
        ++failures;
        EXPECT_EQ(OutputBytes(), kOld);
      }
      EXPECT_TRUE(Strays().empty());
    }
  }
  // The sweep reached the export's own steps, not only its start (the text export writes its
  // bytes in a few large blocks, so its points are few).
  EXPECT_GE(failures, 10);

  // A replace that fails is reported.
  WriteFile(out_, kOld);
  env.Reset();
  env.FailAt(FaultKind::kReplace, 1);
  EXPECT_EQ(run(), -1);
  EXPECT_EQ(ErrorOf(s), (Pair{40, 17}));
  EXPECT_EQ(OutputBytes(), kOld);
  EXPECT_TRUE(Strays().empty());
}

TEST_F(ExportDriverTest, TheTextExportsStatusesWhenMemoryRunsOut) {
  Nine().Save(book_);
  FaultEnv env(Env::Default());
  ScopedSessionEnv scoped(&env);
  SessionHolder s;
  ASSERT_EQ(TL_openDataBase(s, book_.c_str()), 0);
  std::vector<uint16_t> personal = {1};
  WriteFile(out_, kOld);
  env.Reset();
  env.FailAt(FaultKind::kAlloc, 2);  // the line buffer comes first, then the record buffer
  EXPECT_EQ(TL_writeSrchData(s, personal.data(), 1, nullptr, 0, 0, out_.c_str(), nullptr), -5);
  EXPECT_EQ(ErrorOf(s), (Pair{40, 4}));
  env.Reset();
  env.FailAt(FaultKind::kRead, 1);
  EXPECT_EQ(TL_writeSrchData(s, personal.data(), 1, nullptr, 0, 0, out_.c_str(), nullptr), -1);
  EXPECT_EQ(ErrorOf(s), (Pair{40, 30}));
  ExpectUntouched();
}

// A sink that keeps what it is handed, and refuses what comes after `writes` writes.
class KeptLines final : public TextSink {
 public:
  explicit KeptLines(int writes = -1) : left_(writes) {}
  bool Write(const uint8_t* bytes, uint32_t length) override {
    if (left_ == 0) return false;
    --left_;
    text.append(reinterpret_cast<const char*>(bytes), length);
    return true;
  }
  std::string text;

 private:
  int left_;
};

TEST_F(ExportDriverTest, ATextSinkGetsTheLinesOfTheFileAndNoFileIsMade) {
  BookImage book = Nine();
  book.AddGroup(1, "A", "a", {5, 2});
  Open(book);
  std::vector<uint16_t> personal = {2, 7};
  std::vector<uint16_t> groups = {16385};
  ASSERT_EQ(Export(personal, groups), 0);
  Session* session = FromHandle(s_);
  KeptLines sink;
  const std::vector<std::string> before = dir_.List();
  ASSERT_EQ(session->export_driver.WriteTextTo(personal.data(), 2, groups.data(), 1, &sink), 0);
  EXPECT_EQ(sink.text, Output());
  EXPECT_EQ(dir_.List(), before);

  // A sink that refuses what it is handed fails the export.
  KeptLines full(0);
  EXPECT_EQ(session->export_driver.WriteTextTo(personal.data(), 2, groups.data(), 1, &full), -1);
  EXPECT_EQ(ErrorOf(s_), (Pair{40, 30}));
  EXPECT_EQ(full.text, "");
  EXPECT_EQ(session->export_driver.WriteTextTo(personal.data(), 2, nullptr, 0, nullptr), -1);
}

TEST_F(ExportDriverTest, AWriteThatFailsAfterTheFirstBlockFailsTheTextExport) {
  // Some 200 kB of lines, written a block at a time: the third write fails.
  BookImage book;
  std::vector<uint16_t> personal;
  std::string expected;
  for (int n = 1; n <= 3000; ++n) {
    std::string name = ("entry " + std::to_string(n) + std::string(40, 'x')).substr(0, 40);
    book.AddKojin(n, Entry(name));
    personal.push_back(static_cast<uint16_t>(n));
    expected += PlainLine(n, name);
  }
  book.Save(book_);
  FaultEnv env(Env::Default());
  ScopedSessionEnv scoped(&env);
  SessionHolder s;
  ASSERT_EQ(TL_openDataBase(s, book_.c_str()), 0);
  auto run = [&] {
    return TL_writeSrchData(s, personal.data(), 3000, nullptr, 0, 0, out_.c_str(), nullptr);
  };
  WriteFile(out_, kOld);
  env.Reset();
  env.FailAt(FaultKind::kWrite, 3);
  EXPECT_EQ(run(), -1);
  EXPECT_TRUE(env.Fired());
  EXPECT_EQ(ErrorOf(s), (Pair{40, 30}));
  ExpectUntouched();
  // Unfailed, the same export is whole.
  env.Reset();
  ASSERT_EQ(run(), 0);
  EXPECT_GT(env.Count(FaultKind::kWrite), 3);
  EXPECT_TRUE(Output() == expected);
  // A sink takes the same bytes a block at a time; one that refuses the second block fails the
  // export with the first handed out.
  KeptLines sink(1);
  EXPECT_EQ(FromHandle(s)->export_driver.WriteTextTo(personal.data(), 3000, nullptr, 0, &sink), -1);
  EXPECT_EQ(ErrorOf(s), (Pair{40, 30}));
  EXPECT_FALSE(sink.text.empty());
  EXPECT_LT(sink.text.size(), expected.size());
  EXPECT_EQ(expected.compare(0, sink.text.size(), sink.text), 0);
}

INSTANTIATE_TEST_SUITE_P(BothFormats, ExportFaultTest, ::testing::Values(0, 1));

}  // namespace
}  // namespace test
}  // namespace telbook
