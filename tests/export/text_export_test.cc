// The text export, file by file: the field rule, the line-type words, the CommMode exchange, the
// RelayId tail, group lines with K numbers, CR LF, the empty file, and its failures.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "export/export_test_util.h"
#include "store/format.h"

namespace telbook {
namespace test {
namespace {

class TextExportTest : public ExportTest {};

TEST_F(TextExportTest, NothingChosenGivesAnEmptyFile) {
  BookImage book;
  book.AddKojin(1, Entry("A"));
  Open(book);
  ASSERT_EQ(Export({}, {}), 0);
  EXPECT_EQ(Output(), "");
  EXPECT_TRUE(Strays().empty());
}

TEST_F(TextExportTest, TheDescribedEntryGivesSixteenFields) {
  TL_Kojin e = Entry("ABC", "abc", "0123");
  strcpy(e.Affiliation, "X, Inc.");
  strcpy(e.SpeedDial, "001");
  e.CommMode = 1;
  BookImage book;
  book.AddKojin(4, e);
  e.RelayId[0] = '5';
  strcpy(e.BroadcastList, "1,2");
  book.AddKojin(6, e);
  strcpy(e.BroadcastList, "");
  book.AddKojin(8, e);
  Open(book);
  ASSERT_EQ(Export({4, 6, 8}, {}), 0);
  EXPECT_EQ(Output(),
            "K1,ABC,abc,\"X, Inc.\",[Outline]0123,001,,,,2,,,,,,0\r\n"
            "K2,ABC,abc,\"X, Inc.\",[Outline]0123,001,,,,2,,,,,5,0,1,2\r\n"
            "K3,ABC,abc,\"X, Inc.\",[Outline]0123,001,,,,2,,,,,5,0,\r\n");
}

TEST_F(TextExportTest, EveryWrittenFieldInItsPlace) {
  TL_Kojin e = FullKojin();
  e.LineType = 0;
  e.CommMode = 9;
  e.RelayOutput = 200;
  BookImage book;
  book.AddKojin(1, e, 0x31);
  Open(book);
  ASSERT_EQ(Export({1}, {}), 0);
  // The memo's tab was stored as a space; the broadcast list goes out as it stands, comma and all.
  EXPECT_EQ(Output(),
            Line({"K1", e.Name, e.Furigana, e.Affiliation, std::string("[Outline]") + e.FaxNumber,
                  e.SpeedDial, e.Phone, e.EMail, "call first", "9", e.FCode, e.PCode, e.BoxNumber,
                  e.BoxPassword, e.RelayId, "200", e.BroadcastList}));
}

TEST_F(TextExportTest, LineTypeWordsAndCommModeExchange) {
  BookImage book;
  const uint8_t line_types[] = {1, 7, 0, 2};
  const uint8_t comm_modes[] = {1, 2, 0, 3};
  for (int i = 0; i < 4; ++i) {
    TL_Kojin e = Entry("E", "e", i == 2 ? "" : "0123");
    e.LineType = line_types[i];
    e.CommMode = comm_modes[i];
    book.AddKojin(i + 1, e);
  }
  Open(book);
  ASSERT_EQ(Export({1, 2, 3, 4}, {}), 0);
  auto line = [](int k, const char* fax, const char* comm) {
    return Line({"K" + std::to_string(k), "E", "e", "", fax, "", "", "", "", comm, "", "", "", "",
                 "", "0"});
  };
  EXPECT_EQ(Output(), line(1, "[Inline]0123", "2") + line(2, "[None]0123", "1") +
                          line(3, "[Outline]", "0") + line(4, "[None]0123", "3"));
}

TEST_F(TextExportTest, FieldRuleQuotesAndDropsALoneLeadByte) {
  BookImage book;
  TL_Kojin e = Entry("say \"hi\"", "a");
  strcpy(e.Memo, "one\r\ntwo");
  book.AddKojin(1, e);
  book.AddKojin(2, Entry("A\x82", "b\n"));
  // A lone lead byte inside a quoted field goes; the closing quote stays.
  book.AddKojin(3, Entry("x,\x82", "\x82\xa0"));
  // A lead byte followed by a byte that is no trail byte keeps the scan after the lead.
  book.AddKojin(4, Entry("\x82\x20", "\x88\x9f\x82"));
  Open(book);
  ASSERT_EQ(Export({1, 2, 3, 4}, {}), 0);
  std::string expected = Line({"K1", "say \"hi\"", "a", "", "[Outline]", "", "", "",
                               "\"one\r\ntwo\"", "0", "", "", "", "", "", "0"}) +
                         PlainLine(2, "A", "\"b\n\"") + PlainLine(3, "\"x,\"", "\x82\xa0") +
                         PlainLine(4, "\x82", "\x88\x9f");
  EXPECT_EQ(Output(), expected);
}

// The field rule as it is written: a scan from the first byte, one state change at a time.
std::string FieldRule(const std::string& text) {
  bool quote = false;
  bool after_lead = false;
  for (char ch : text) {
    uint8_t c = static_cast<uint8_t>(ch);
    if (c == ',' || c == '\n' || c == '\r') quote = true;
    bool lead = (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xEF);
    bool trail = (c >= 0x40 && c <= 0x7E) || (c >= 0x80 && c <= 0xFC);
    after_lead = after_lead ? !trail : lead;
  }
  std::string out = after_lead ? text.substr(0, text.size() - 1) : text;
  return quote ? "\"" + out + "\"" : out;
}

TEST_F(TextExportTest, TheFieldRuleOnTextsOfEveryKindOfByte) {
  // Lead bytes at the ends of their ranges, trail bytes that are lead bytes too and that are
  // not, bytes that are neither, and the bytes that need quotes.
  const uint8_t alphabet[] = {0x81, 0x82, 0x9F, 0xE0, 0xEF, 0xF0, 0x40, 0x5D, 0x7E, 0x7F, 0x80,
                              0xA0, 0xDF, 0xFC, 0xFD, 0xFF, ',',  '\n', '\r', '"',  ' ',  '0'};
  uint32_t seed = 12345;
  auto next = [&seed](uint32_t n) {
    seed = seed * 1103515245u + 12345u;
    return (seed >> 16) % n;
  };
  auto text = [&](size_t longest) {
    std::string t;
    for (size_t n = next(static_cast<uint32_t>(longest + 1)); n > 0; --n) {
      t.push_back(static_cast<char>(alphabet[next(sizeof alphabet)]));
    }
    return t;
  };
  BookImage book;
  std::string expected;
  std::vector<uint16_t> numbers;
  for (int n = 1; n <= 400; ++n) {
    TL_Kojin e = Entry(text(40), text(12), text(6));
    std::string affiliation = text(20);
    std::string memo = text(30);
    strcpy(e.Affiliation, affiliation.c_str());
    strcpy(e.Memo, memo.c_str());
    book.AddKojin(n, e);
    numbers.push_back(static_cast<uint16_t>(n));
    expected += Line({"K" + std::to_string(n), FieldRule(e.Name), FieldRule(e.Furigana),
                      FieldRule(affiliation), FieldRule(std::string("[Outline]") + e.FaxNumber), "",
                      "", "", FieldRule(memo), "0", "", "", "", "", "", "0"});
  }
  Open(book);
  ASSERT_EQ(Export(numbers, {}), 0);
  EXPECT_TRUE(Output() == expected);
}

TEST_F(TextExportTest, EntriesInRecordNumberOrderWithoutGaps) {
  BookImage book;
  book.AddKojin(3, Entry("three"));
  book.AddKojin(7, Entry("seven"));
  book.AddKojin(1500, Entry("high"));
  Open(book);
  // 5 is free: no line, and the numbering does not skip.
  ASSERT_EQ(Export({1500, 7, 5, 3, 3}, {}), 0);
  EXPECT_EQ(Output(), PlainLine(1, "three") + PlainLine(2, "seven") + PlainLine(3, "high"));
}

TEST_F(TextExportTest, GroupLinesNameMembersByTheirKNumbers) {
  BookImage book;
  for (int n : {2, 5, 7, 9}) book.AddKojin(n, Entry("E" + std::to_string(n)));
  book.AddGroup(1, "Pair", "pair", {5, 9});
  book.AddGroup(2, "Empty", "empty", {});
  book.AddGroup(3, "Gaps", "gaps", {5, 0, 9, 0xFFFF, 5, 3, 16385});
  Open(book);
  ASSERT_EQ(Export({2, 7, 9}, {16387, 16386, 16385}), 0);
  // The expansion adds 5 from the first group; 3 is free and yields no field.
  EXPECT_EQ(Output(), PlainLine(1, "E2") + PlainLine(2, "E5") + PlainLine(3, "E7") +
                          PlainLine(4, "E9") + Line({"G1", "Pair", "pair", "2", "K2", "K4"}) +
                          Line({"G2", "Empty", "empty", "0"}) +
                          Line({"G3", "Gaps", "gaps", "3", "K2", "K4", "K2"}));
}

TEST_F(TextExportTest, GroupNumberingStartsAtOneWithoutEntries) {
  BookImage book;
  book.AddGroup(2, "G,x", "\x82", {});
  Open(book);
  ASSERT_EQ(Export({}, {16386}), 0);
  EXPECT_EQ(Output(), Line({"G1", "\"G,x\"", "", "0"}));
}

TEST_F(TextExportTest, AGroupOfAllEntriesMakesOneLongLine) {
  BookImage book;
  std::vector<uint16_t> members;
  std::string expected;
  for (int n = 1; n <= 9999; ++n) {
    book.AddKojin(n, Entry("e"));
    members.push_back(static_cast<uint16_t>(10000 - n));
    expected += PlainLine(n, "e");
  }
  book.AddGroup(1, "All", "all", members);
  Open(book);
  ASSERT_EQ(Export({}, {16385}), 0);
  std::vector<std::string> fields = {"G1", "All", "all", "9999"};
  for (uint16_t m : members) fields.push_back("K" + std::to_string(m));
  expected += Line(fields);
  std::string out = Output();
  EXPECT_GT(out.size() - out.rfind("G1"), 50000u);
  EXPECT_EQ(out, expected);
}

TEST_F(TextExportTest, ForeignRecordsLongerThanTheirFields) {
  // An older layout: no extension block, texts back to back from 43, longer than any field. The
  // second record's line is longer than the block the export writes through.
  const std::string names[] = {std::string(3000, 'n'), std::string(30000, 'N')};
  const std::string memos[] = {"m," + std::string(2000, 'x'), "m," + std::string(35000, 'y')};
  BookImage book;
  std::string expected;
  for (int i = 0; i < 2; ++i) {
    Bytes r(43, 0);
    r[0] = 1;
    r[34] = 1;
    for (int n = 0; n < 13; ++n) {
      PutU16(&r, 2 + 2 * n, static_cast<uint16_t>(r.size()));
      std::string text = n == 0 ? names[i] : n == 6 ? memos[i] : "";
      r.insert(r.end(), text.begin(), text.end());
      r.push_back(0);
    }
    book.AddRaw(false, i + 1, r, 1, 1);
    expected += Line({"K" + std::to_string(i + 1), names[i], "", "", "[Inline]", "", "", "",
                      "\"" + memos[i] + "\"", "0", "", "", "", "", "", "0"});
  }
  // A name without its zero, last in its record, ends at the record's end.
  Bytes r(43, 0);
  r[0] = 1;
  r[34] = 1;
  for (int n = 0; n < 13; ++n) PutU16(&r, 2 + 2 * n, 43);
  r.push_back(0);
  PutU16(&r, 2, static_cast<uint16_t>(r.size()));
  for (char c : std::string("end,")) r.push_back(static_cast<uint8_t>(c));
  book.AddRaw(false, 3, r, 1, 1);
  expected +=
      Line({"K3", "\"end,\"", "", "", "[Inline]", "", "", "", "", "0", "", "", "", "", "", "0"});
  Open(book);
  ASSERT_EQ(Export({1, 2, 3}, {}), 0);
  EXPECT_EQ(Output(), expected);
}

TEST_F(TextExportTest, AChosenRecordOfAnotherKindFails) {
  BookImage book;
  book.AddKojin(1, Entry("ok"));
  Bytes alt = KojinRecord(Entry("alt"));
  alt[0] = 3;
  book.AddRaw(false, 2, alt, 3, 1);
  book.AddRaw(true, 1, KojinRecord(Entry("not a group")), 2, 1);
  Open(book);
  WriteFile(out_, {'o', 'l', 'd'});
  EXPECT_EQ(Export({1, 2}, {}), -1);
  EXPECT_EQ(ErrorOf(s_), (Pair{40, 30}));
  EXPECT_EQ(Output(), "old");
  EXPECT_EQ(Export({1}, {16385}, 0), -1);
  EXPECT_EQ(ErrorOf(s_), (Pair{40, 30}));
  EXPECT_EQ(Output(), "old");
  EXPECT_TRUE(Strays().empty());
  // Not chosen, it is not read.
  ASSERT_EQ(Export({1}, {}), 0);
  EXPECT_EQ(Output(), PlainLine(1, "ok"));
}

}  // namespace
}  // namespace test
}  // namespace telbook
