// The record conversion of stored personal entry and group records, with and without repair.
#include "records/record_converter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include "records/book_builder.h"
#include "records/group_codec.h"
#include "records/kojin_codec.h"
#include "test_util.h"

namespace telbook {
namespace test {
namespace {

// A stored personal entry record of the older layout: no extension block, the thirteen main
// strings back to back from offset 43.
Bytes OldKojinRecord(const std::vector<std::string>& main) {
  Bytes r(43, 0);
  r[0] = 1;
  PutU16(&r, 30, 0x1234);
  PutU16(&r, 32, 0x5678);
  r[34] = 2;
  r[35] = 3;
  r[36] = 4;
  r[37] = 5;
  r[38] = 6;
  for (int n = 0; n < 13; ++n) {
    PutU16(&r, 2 + 2 * n, static_cast<uint16_t>(r.size()));
    std::string text = n < static_cast<int>(main.size()) ? main[n] : std::string();
    r.insert(r.end(), text.begin(), text.end());
    r.push_back(0);
  }
  return r;
}

// The numbers OldKojinRecord stores, as the host structure holds them.
void SetOldRecordNumbers(TL_Kojin* entry) {
  entry->HostWord1 = 0x1234;
  entry->HostWord2 = 0x5678;
  entry->LineType = 2;
  entry->CommMode = 3;
  entry->HostByte1 = 4;
  entry->HostByte2 = 5;
  entry->RelayOutput = 6;
}

struct Converted {
  Bytes buffer;
  uint32_t length = 0;
  // The new record, without the bytes the buffer holds after it.
  Bytes record() const { return Bytes(buffer.begin(), buffer.begin() + length); }
};

Converted RunKojin(const Bytes& record, bool repair) {
  RecordConverter converter;
  Converted out;
  out.buffer.assign(RecordConverter::kKojinBufferSize, 0xEE);
  memcpy(out.buffer.data(), record.data(), record.size());
  out.length = converter.ConvertKojin(out.buffer.data(), out.buffer.size(),
                                      static_cast<uint32_t>(record.size()), repair);
  return out;
}

std::string MainText(const Converted& c, int n) {
  KojinView view(c.buffer.data(), c.length);
  std::string_view text;
  EXPECT_TRUE(view.Main(n, &text));
  return std::string(text);
}

TEST(RecordConverterTest, OldPersonalRecordComesOutInTheWritersLayout) {
  Converted c = RunKojin(OldKojinRecord({"Name\tA", "yomi", "Org", "0123"}), false);
  ASSERT_GT(c.length, 57u);
  // Exactly what the writer's encoder makes of the decoded entry.
  TL_Kojin entry = Kojin("Name A", "yomi", "0123");
  strcpy(entry.Affiliation, "Org");
  SetOldRecordNumbers(&entry);
  Bytes expected(RecordConverter::kKojinBufferSize, 0);
  uint32_t expected_length = EncodeKojin(entry, expected.data(), expected.size());
  expected.resize(expected_length);
  EXPECT_EQ(c.record(), expected);
  // No extension strings: the extension link stays 0.
  EXPECT_EQ(GetU16(c.buffer, 28), 0);
  EXPECT_EQ(MainText(c, 0), "Name A");
}

TEST(RecordConverterTest, ExtensionStringsAreCarriedOverAndAltDestDropped) {
  TL_Kojin entry;
  memset(&entry, 0, sizeof(entry));
  strcpy(entry.Name, "N");
  strcpy(entry.SpeedDial, "12");
  strcpy(entry.FCode, "fc");
  strcpy(entry.PCode, "pc");
  Bytes record(RecordConverter::kKojinBufferSize, 0);
  uint32_t length = EncodeKojin(entry, record.data(), record.size());
  record.resize(length);
  Converted c = RunKojin(record, true);
  ASSERT_EQ(c.length, length);
  KojinView view(c.buffer.data(), c.length);
  EXPECT_EQ(view.Extension(0), "12");
  EXPECT_EQ(view.Extension(1), "fc");
  EXPECT_EQ(view.Extension(2), "pc");
  EXPECT_EQ(GetU16(c.buffer, 28), 43);
}

TEST(RecordConverterTest, DamagedPersonalRecordsStayInsideTheirLength) {
  // Offsets past the end, and a last text without its zero: the bytes after the record in the
  // buffer (0xEE) must never be taken.
  Bytes r = OldKojinRecord({"abc"});
  PutU16(&r, 2 + 2 * 1, 5000);
  r.push_back('x');
  r.push_back('y');  // no terminator
  PutU16(&r, 2 + 2 * 12, static_cast<uint16_t>(r.size() - 2));
  Converted c = RunKojin(r, true);
  ASSERT_GT(c.length, 0u);
  EXPECT_EQ(MainText(c, 0), "abc");
  EXPECT_EQ(MainText(c, 1), "");
  EXPECT_EQ(MainText(c, 12), "xy");
  // A record of just its kind byte converts to an empty entry.
  Converted tiny = RunKojin(Bytes{1}, true);
  EXPECT_EQ(tiny.buffer[0], 1);
  EXPECT_EQ(MainText(tiny, 0), "");
  // Too small a buffer: refused, nothing touched.
  Bytes small(100, 0x11);
  EXPECT_EQ(RecordConverter().ConvertKojin(small.data(), small.size(), 50, false), 0u);
  EXPECT_EQ(small, Bytes(100, 0x11));
}

TEST(RecordConverterTest, RepairDropsDanglingLeadBytesOfChosenTexts) {
  const std::string lone = "AB\x82";
  const std::string whole = "A\x82\xA0";
  // Name, Furigana, Affiliation, FaxNumber, Phone, EMail, Memo.
  Bytes r = OldKojinRecord({lone, lone, lone, lone, lone, lone, lone, lone});
  Converted repaired = RunKojin(r, true);
  for (int n : {0, 1, 2, 4, 5, 6}) EXPECT_EQ(MainText(repaired, n), "AB") << n;
  EXPECT_EQ(MainText(repaired, 3), lone);  // FaxNumber is not repaired
  EXPECT_EQ(MainText(repaired, 7), lone);  // nor BoxNumber
  Converted kept = RunKojin(r, false);
  for (int n = 0; n < 8; ++n) EXPECT_EQ(MainText(kept, n), lone) << n;
  // A complete double-byte character stays; so does a lead byte followed by a non-trail byte
  // and then a trail byte.
  EXPECT_EQ(MainText(RunKojin(OldKojinRecord({whole}), true), 0), whole);
  EXPECT_EQ(MainText(RunKojin(OldKojinRecord({"\x82\x20\x40"}), true), 0), "\x82\x20\x40");
  EXPECT_EQ(MainText(RunKojin(OldKojinRecord({"\x82\x20"}), true), 0), "\x82");
}

// The repair decides from the bytes at the end of a text where its last character starts; it
// must agree with a scan of the whole text from its first byte, on every text of up to four
// bytes drawn from each class of byte (neither lead nor trail, trail only, lead and trail).
TEST(RecordConverterTest, DanglingLeadAgreesWithAScanFromTheStart) {
  auto lead = [](uint8_t c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xEF); };
  auto trail = [](uint8_t c) { return (c >= 0x40 && c <= 0x7E) || (c >= 0x80 && c <= 0xFC); };
  const uint8_t bytes[] = {0x20, 0x31, 0x3F, 0x40, 0x61, 0x7E, 0x7F, 0x80, 0x81,
                           0x9F, 0xA0, 0xDF, 0xE0, 0xEF, 0xF0, 0xFC, 0xFD};
  const size_t n = sizeof(bytes);
  int dropped = 0;
  for (size_t length = 1; length <= 4; ++length) {
    size_t combinations = 1;
    for (size_t i = 0; i < length; ++i) combinations *= n;
    for (size_t k = 0; k < combinations; ++k) {
      char text[8] = {};
      for (size_t i = 0, rest = k; i < length; ++i, rest /= n) {
        text[i] = static_cast<char>(bytes[rest % n]);
      }
      bool after_lead = false;
      for (size_t i = 0; i < length; ++i) {
        uint8_t c = static_cast<uint8_t>(text[i]);
        after_lead = after_lead ? !trail(c) : lead(c);
      }
      char repaired[8];
      memcpy(repaired, text, sizeof(text));
      RecordConverter::DropDanglingLead(repaired, sizeof(repaired));
      std::string expected(text, length - (after_lead ? 1 : 0));
      ASSERT_EQ(std::string(repaired), expected) << "length " << length << ", case " << k;
      dropped += after_lead ? 1 : 0;
    }
  }
  EXPECT_GT(dropped, 1000);
}

TEST(RecordConverterTest, RepairCutsAnEightyByteAffiliation) {
  std::string eighty(80, 'a');
  eighty[39] = '\x82';
  eighty[40] = '\xA0';
  Converted c = RunKojin(OldKojinRecord({"n", "f", eighty}), true);
  EXPECT_EQ(MainText(c, 2), eighty.substr(0, 79));
  std::string both = eighty;
  both[78] = '\x82';
  both[79] = '\xA0';
  c = RunKojin(OldKojinRecord({"n", "f", both}), true);
  EXPECT_EQ(MainText(c, 2), both.substr(0, 78));
  std::string seventy_nine = eighty.substr(0, 79);
  c = RunKojin(OldKojinRecord({"n", "f", seventy_nine}), true);
  EXPECT_EQ(MainText(c, 2), seventy_nine);
  c = RunKojin(OldKojinRecord({"n", "f", both}), false);
  EXPECT_EQ(MainText(c, 2), both);
}

// Every byte value, at every place of a machine word, comes out as the writer's encoder makes
// it: only tabs change, whatever the bytes beside them. The bytes run in both orders, so that a
// tab has each of its neighbouring values before and after it; the texts end at their zero, at
// their field's capacity and at the record's end.
TEST(RecordConverterTest, EveryByteValueAtEveryPlaceOfAWordAsTheWriterEncodesIt) {
  std::string up;
  std::string down;
  for (int c = 1; c < 256; ++c) {
    up.push_back(static_cast<char>(c));
    down.push_back(static_cast<char>(256 - c));
  }
  auto put = [](char* field, size_t capacity, const std::string& text) {
    size_t n = std::min(text.size(), capacity - 1);
    memcpy(field, text.data(), n);
    field[n] = '\0';
  };
  for (const std::string& bytes : {up, down}) {
    for (size_t shift = 0; shift < 16; ++shift) {
      // Name moves the texts behind it across the words; EMail holds every value, Memo and
      // Furigana are cut to their fields, and HostText2 runs into the record's end.
      std::vector<std::string> main = {std::string(shift, 'n'),
                                       bytes.substr(shift),
                                       bytes.substr(0, 3),
                                       "",
                                       bytes.substr(100, shift),
                                       bytes,
                                       bytes.substr(shift),
                                       "",
                                       "",
                                       "",
                                       "",
                                       "",
                                       bytes.substr(shift, 10)};
      Bytes r = OldKojinRecord(main);
      r.pop_back();
      TL_Kojin entry;
      memset(&entry, 0, sizeof(entry));
      for (int n = 0; n < 13; ++n) {
        size_t capacity = 0;
        char* field = kojin::MainField(&entry, n, &capacity);
        put(field, capacity, main[n]);
      }
      SetOldRecordNumbers(&entry);
      for (bool repair : {false, true}) {
        TL_Kojin expected_entry = entry;
        if (repair) RecordConverter::RepairKojin(&expected_entry);
        Bytes expected(RecordConverter::kKojinBufferSize, 0);
        uint32_t expected_length = EncodeKojin(expected_entry, expected.data(), expected.size());
        Converted c = RunKojin(r, repair);
        expected.resize(expected_length);
        ASSERT_EQ(c.record(), expected) << "shift " << shift << ", repair " << repair;
      }
    }
  }
}

// A group record with the reserved bytes at 10 set, which the conversion carries over.
Bytes GroupRecord(std::initializer_list<uint16_t> places, uint16_t n, const std::string& name,
                  const std::string& furigana) {
  Bytes r = GroupImage(name, furigana, places, n, 0xAAAA, 0xBBBB);
  PutU16(&r, 10, 0x0C0D);
  return r;
}

Converted RunGroup(const Bytes& record, bool repair, size_t length = SIZE_MAX) {
  Converted out;
  out.buffer.assign(RecordConverter::kGroupBufferSize, 0xEE);
  memcpy(out.buffer.data(), record.data(), record.size());
  if (length == SIZE_MAX) length = record.size();
  out.length = RecordConverter().ConvertGroup(out.buffer.data(), out.buffer.size(),
                                              static_cast<uint32_t>(length), repair);
  return out;
}

TEST(RecordConverterTest, GroupDropsExtraPlacesAndMovesTexts) {
  Converted c = RunGroup(GroupRecord({1, 2, 3, 77, 88}, 3, "Grp\tX", "gg"), false);
  // 16 + 2*3 + "Grp X" + "gg" + 2 terminators.
  ASSERT_EQ(c.length, 16u + 6 + 5 + 2 + 2);
  EXPECT_EQ(c.buffer[0], 2);
  EXPECT_EQ(GetU16(c.buffer, 2), 0xAAAA);
  EXPECT_EQ(GetU16(c.buffer, 4), 0xBBBB);
  EXPECT_EQ(GetU16(c.buffer, 10), 0x0C0D);
  EXPECT_EQ(GetU16(c.buffer, 12), 3);
  EXPECT_EQ(GetU16(c.buffer, 14), 0);
  EXPECT_EQ(GetU16(c.buffer, 16), 1);
  EXPECT_EQ(GetU16(c.buffer, 20), 3);
  EXPECT_EQ(GetU16(c.buffer, 6), 22);
  EXPECT_EQ(GetU16(c.buffer, 8), 28);
  EXPECT_EQ(0, memcmp(c.buffer.data() + 22, "Grp X\0gg\0", 9));
  EXPECT_EQ(c.buffer[c.buffer.size() - 1], 0xEE);  // nothing written after the new record
}

TEST(RecordConverterTest, GroupRepairAndMemberCountBeyondTheRecord) {
  Converted c = RunGroup(GroupRecord({5}, 1, "G\x82", "\x9F"), true);
  GroupView view(c.buffer.data(), c.length);
  std::string_view text;
  ASSERT_TRUE(view.Text(0, &text));
  EXPECT_EQ(text, "G");
  ASSERT_TRUE(view.Text(1, &text));
  EXPECT_EQ(text, "");
  c = RunGroup(GroupRecord({5}, 1, "G\x82", "\x9F"), false);
  view = GroupView(c.buffer.data(), c.length);
  ASSERT_TRUE(view.Text(0, &text));
  EXPECT_EQ(text, "G\x82");

  // N says 60000 but the record holds two places: only those two are members.
  Bytes r = GroupRecord({7, 8}, 2, "", "");
  PutU16(&r, 12, 60000);
  PutU16(&r, 14, 0);
  r.resize(20);  // the texts are cut off
  c = RunGroup(r, true);
  EXPECT_EQ(GetU16(c.buffer, 12), 2);
  EXPECT_EQ(GetU16(c.buffer, 16), 7);
  EXPECT_EQ(GetU16(c.buffer, 18), 8);
  EXPECT_EQ(c.length, 16u + 4 + 2);
}

// The fixed bytes a short record lacks come out as zeros, whatever the buffer held there; the
// conversion writes nothing after the new record, even in a buffer larger than a group needs.
TEST(RecordConverterTest, GroupShortRecordGetsZeroFixedBytesAndNothingIsWrittenAfterIt) {
  Bytes r = GroupRecord({}, 0, "", "");
  r.resize(11);  // the reserved word at 10 is cut in half
  Bytes buffer(RecordConverter::kGroupBufferSize + 64, 0xEE);
  memcpy(buffer.data(), r.data(), r.size());
  uint32_t length = RecordConverter().ConvertGroup(buffer.data(), buffer.size(),
                                                   static_cast<uint32_t>(r.size()), false);
  ASSERT_EQ(length, 16u + 2);
  EXPECT_EQ(buffer[10], 0x0D);
  EXPECT_EQ(buffer[11], 0);
  EXPECT_EQ(GetU16(buffer, 6), 16);
  EXPECT_EQ(GetU16(buffer, 8), 17);
  for (size_t i = length; i < buffer.size(); ++i) ASSERT_EQ(buffer[i], 0xEE) << i;
}

}  // namespace
}  // namespace test
}  // namespace telbook
