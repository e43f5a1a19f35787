// The record conversion against the plain way of doing it: decode into the host structure,
// repair, encode again. Both must give the same bytes for any record, sound or damaged.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "records/group_codec.h"
#include "records/kojin_codec.h"
#include "records/record_converter.h"
#include "records/record_text.h"
#include "test_util.h"

namespace telbook {
namespace test {
namespace {

// ---- The reference: its own decoding, the host structure in between, every step on
// zero-terminated fields ----

bool Lead(uint8_t c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xEF); }
bool Trail(uint8_t c) { return (c >= 0x40 && c <= 0x7E) || (c >= 0x80 && c <= 0xFC); }

void PutU16At(uint8_t* buffer, size_t at, uint16_t value) {
  buffer[at] = static_cast<uint8_t>(value & 0xFF);
  buffer[at + 1] = static_cast<uint8_t>(value >> 8);
}

void RefDropDanglingLead(char* text, size_t capacity) {
  size_t length = strnlen(text, capacity);
  size_t start = length;
  while (start > 0) {
    uint8_t c = static_cast<uint8_t>(text[start - 1]);
    if (Trail(c) && !Lead(c)) break;
    --start;
  }
  bool after_lead = false;
  for (size_t i = start; i < length; ++i) {
    uint8_t c = static_cast<uint8_t>(text[i]);
    if (!after_lead) {
      if (Lead(c)) after_lead = true;
    } else if (Trail(c)) {
      after_lead = false;
    }
  }
  if (after_lead && length > 0) text[length - 1] = '\0';
}

void RefCutAffiliation(char* text, size_t capacity) {
  if (capacity <= 80 || strnlen(text, capacity) != 80) return;
  if (!Lead(static_cast<uint8_t>(text[39]))) return;
  text[79] = '\0';
  if (Lead(static_cast<uint8_t>(text[78]))) text[78] = '\0';
}

void RefAppend(uint8_t* buffer, uint32_t* position, const char* field, size_t capacity) {
  size_t size = 0;
  while (size + 1 < capacity && field[size] != '\0') ++size;
  for (size_t i = 0; i < size; ++i) {
    buffer[*position + i] = field[i] == '\t' ? ' ' : static_cast<uint8_t>(field[i]);
  }
  buffer[*position + size] = 0;
  *position += static_cast<uint32_t>(size + 1);
}

uint16_t RefU16(const uint8_t* record, size_t length, size_t at) {
  return length >= 2 && at <= length - 2 ? static_cast<uint16_t>(record[at] | record[at + 1] << 8)
                                         : 0;
}

std::string_view RefTextAt(const uint8_t* record, size_t length, size_t at) {
  size_t end = at;
  while (end < length && record[end] != 0) ++end;
  return at < length ? std::string_view(reinterpret_cast<const char*>(record + at), end - at)
                     : std::string_view();
}

// Main string n: its offset at 2 + 2n for kinds 1 and 3, at 6 + 2n for kind 2.
std::string_view RefMain(const uint8_t* record, size_t length, int n) {
  if (length == 0) return {};
  size_t table = record[0] == 1 || record[0] == 3 ? 2 : record[0] == 2 ? 6 : 0;
  size_t link = table + 2 * static_cast<size_t>(n);
  if (table == 0 || link + 2 > length) return {};
  return RefTextAt(record, length, RefU16(record, length, link));
}

// Extension string n, through the block linked at 28.
std::string_view RefExtension(const uint8_t* record, size_t length, int n) {
  size_t block = RefU16(record, length, 28);
  size_t link = block + 4 + 2 * static_cast<size_t>(n);
  if (block == 0 || link + 2 > length) return {};
  return RefTextAt(record, length, RefU16(record, length, link));
}

void RefCopy(char* field, size_t capacity, std::string_view text) {
  size_t n = std::min(text.size(), capacity - 1);
  if (n != 0) memcpy(field, text.data(), n);
  field[n] = '\0';
}

uint32_t RefConvertKojin(uint8_t* buffer, size_t capacity, uint32_t length, bool repair) {
  if (capacity < RecordConverter::kKojinBufferSize) return 0;
  if (length > capacity) length = static_cast<uint32_t>(capacity);
  TL_Kojin e;
  memset(&e, 0, sizeof(e));
  e.HostWord1 = RefU16(buffer, length, 30);
  e.HostWord2 = RefU16(buffer, length, 32);
  e.LineType = length > 34 ? buffer[34] : 0;
  e.CommMode = length > 35 ? buffer[35] : 0;
  e.HostByte1 = length > 36 ? buffer[36] : 0;
  e.HostByte2 = length > 37 ? buffer[37] : 0;
  e.RelayOutput = length > 38 ? buffer[38] : 0;
  for (int n = 0; n < kojin::kMainStrings; ++n) {
    size_t field_capacity = 0;
    char* field = kojin::MainField(&e, n, &field_capacity);
    RefCopy(field, field_capacity, RefMain(buffer, length, n));
  }
  for (int n = 0; n < kojin::kExtensionStrings; ++n) {
    size_t field_capacity = 0;
    char* field = kojin::ExtensionField(&e, n, &field_capacity);
    RefCopy(field, field_capacity, RefExtension(buffer, length, n));
  }
  if (repair) {
    RefDropDanglingLead(e.Name, sizeof(e.Name));
    RefDropDanglingLead(e.Furigana, sizeof(e.Furigana));
    RefDropDanglingLead(e.Affiliation, sizeof(e.Affiliation));
    RefCutAffiliation(e.Affiliation, sizeof(e.Affiliation));
    RefDropDanglingLead(e.Phone, sizeof(e.Phone));
    RefDropDanglingLead(e.EMail, sizeof(e.EMail));
    RefDropDanglingLead(e.Memo, sizeof(e.Memo));
  }

  memset(buffer, 0, capacity);
  buffer[0] = 1;
  PutU16At(buffer, 30, e.HostWord1);
  PutU16At(buffer, 32, e.HostWord2);
  buffer[34] = e.LineType;
  buffer[35] = e.CommMode;
  buffer[36] = e.HostByte1;
  buffer[37] = e.HostByte2;
  buffer[38] = e.RelayOutput;
  uint32_t position = 57;
  for (int n = 0; n < kojin::kMainStrings; ++n) {
    size_t field_capacity = 0;
    const char* field = kojin::MainField(&e, n, &field_capacity);
    PutU16At(buffer, 2 + 2 * n, static_cast<uint16_t>(position));
    RefAppend(buffer, &position, field, field_capacity);
  }
  memcpy(buffer + 43, "0200", 4);
  bool any_extension = false;
  for (int n = 0; n < kojin::kExtensionStrings; ++n) {
    size_t field_capacity = 0;
    const char* field = kojin::ExtensionField(&e, n, &field_capacity);
    PutU16At(buffer, 47 + 2 * n, static_cast<uint16_t>(position));
    if (field[0] != '\0') any_extension = true;
    RefAppend(buffer, &position, field, field_capacity);
  }
  PutU16At(buffer, 28, any_extension ? 43 : 0);
  return position;
}

uint32_t RefConvertGroup(uint8_t* buffer, size_t capacity, uint32_t length, bool repair) {
  if (capacity < RecordConverter::kGroupBufferSize) return 0;
  if (length > capacity) length = static_cast<uint32_t>(capacity);
  memset(buffer + length, 0, capacity - length);
  TL_Group e;
  memset(&e, 0, sizeof(e));
  RefCopy(e.Name, sizeof(e.Name), RefMain(buffer, length, 0));
  RefCopy(e.Furigana, sizeof(e.Furigana), RefMain(buffer, length, 1));
  size_t members = RefU16(buffer, length, 12);
  size_t room = length > 16 ? (length - 16) / 2 : 0;
  members = std::min(std::min(members, room), size_t{9999});
  if (repair) {
    RefDropDanglingLead(e.Name, sizeof(e.Name));
    RefDropDanglingLead(e.Furigana, sizeof(e.Furigana));
  }
  // The fixed bytes and the member places kept stay where they are.
  uint32_t position = 16 + 2 * static_cast<uint32_t>(members);
  memset(buffer + position, 0, capacity - position);
  PutU16At(buffer, 12, static_cast<uint16_t>(members));
  PutU16At(buffer, 14, 0);
  PutU16At(buffer, 6, static_cast<uint16_t>(position));
  RefAppend(buffer, &position, e.Name, sizeof(e.Name));
  PutU16At(buffer, 8, static_cast<uint16_t>(position));
  RefAppend(buffer, &position, e.Furigana, sizeof(e.Furigana));
  return position;
}

// ---- Generated records ----

class RecordMaker {
 public:
  explicit RecordMaker(uint32_t seed) : random_(seed) {}

  size_t Below(size_t n) { return n == 0 ? 0 : random_() % n; }
  bool OneIn(size_t n) { return Below(n) == 0; }

  // Bytes of every class the conversion tells apart: ASCII, tab, lead, trail only, neither,
  // and now and then a zero.
  uint8_t TextByte() {
    static const uint8_t kBytes[] = {'a',  'Z',  '0',  ',',  ' ',  '\t', 0x40, 0x7E,
                                     0x7F, 0x80, 0x81, 0x82, 0x9F, 0xA0, 0xDF, 0xE0,
                                     0xEF, 0xF0, 0xFC, 0xFD, 0xFF, 0x3F};
    if (OneIn(200)) return 0;
    return kBytes[Below(sizeof(kBytes))];
  }

  std::string Text() {
    size_t length;
    switch (Below(6)) {
      case 0:
        length = 0;
        break;
      case 1:
        length = 80;  // an Affiliation on the edge of its cut
        break;
      case 2:
        length = Below(300);  // longer than most fields
        break;
      default:
        length = Below(20);
        break;
    }
    std::string text;
    for (size_t i = 0; i < length; ++i) text.push_back(static_cast<char>(TextByte()));
    if (length == 80 && OneIn(2)) text[39] = '\x82';
    if (length == 80 && OneIn(2)) text[78] = '\xE0';
    return text;
  }

  // A personal entry record in the current layout or the older one without extension block,
  // of a kind that is mostly 1, sometimes 3, 2 or another.
  Bytes Kojin() {
    Bytes r(43, 0);
    static const uint8_t kKinds[] = {1, 1, 1, 1, 3, 3, 2, 0, 7};
    r[0] = kKinds[Below(sizeof(kKinds))];
    for (size_t i = 28; i < 43; ++i) r[i] = static_cast<uint8_t>(random_());
    bool extension = OneIn(2);
    size_t alt_link = 0;
    if (extension) {
      Bytes block(14, 0);
      memcpy(block.data(), "0200", 4);
      r.insert(r.end(), block.begin(), block.end());
      PutU16(&r, 28, 43);
    } else {
      PutU16(&r, 28, 0);
    }
    for (int n = 0; n < 13; ++n) {
      PutU16(&r, 2 + 2 * n, static_cast<uint16_t>(r.size()));
      AppendText(&r);
    }
    if (extension) {
      for (int n = 0; n < 3; ++n) {
        PutU16(&r, 47 + 2 * n, static_cast<uint16_t>(r.size()));
        AppendText(&r);
      }
      if (OneIn(3)) {  // an alternate destination block
        alt_link = r.size();
        PutU16(&r, 53, static_cast<uint16_t>(alt_link));
        for (int i = 0; i < 5; ++i) r.push_back(static_cast<uint8_t>(i == 4 ? 1 : 0));
        r.push_back(0);
        r.push_back(0);
        PutU16(&r, alt_link + 5, static_cast<uint16_t>(r.size()));
        AppendText(&r);
      }
    }
    Damage(&r, extension ? 57 : 43);
    return r;
  }

  // A record as the writer stores an entry of random texts, left alone or changed in one place:
  // a byte, a string offset, a lost terminator, a text one byte longer, or its end cut off.
  Bytes Written() {
    TL_Kojin e;
    memset(&e, 0, sizeof(e));
    for (int n = 0; n < kojin::kMainStrings; ++n) {
      size_t capacity = 0;
      char* field = kojin::MainField(&e, n, &capacity);
      std::string text = Text();
      RefCopy(field, capacity, text);
    }
    for (int n = 0; n < kojin::kExtensionStrings; ++n) {
      size_t capacity = 0;
      char* field = kojin::ExtensionField(&e, n, &capacity);
      RefCopy(field, capacity, OneIn(2) ? std::string() : Text());
    }
    e.HostWord1 = static_cast<uint16_t>(random_());
    e.LineType = static_cast<uint8_t>(random_());
    e.RelayOutput = static_cast<uint8_t>(random_());
    Bytes r(kojin::kEncodeCapacity);
    r.resize(EncodeKojin(e, r.data(), r.size()));
    if (OneIn(2)) return r;
    switch (Below(5)) {
      case 0:
        r[Below(r.size())] = OneIn(2) ? TextByte() : static_cast<uint8_t>(random_());
        break;
      case 3: {
        // Texts written at their field's capacity become one byte too long.
        size_t text = Below(kojin::kMainStrings + kojin::kExtensionStrings);
        size_t link = text < kojin::kMainStrings ? 2 + 2 * text : 47 + 2 * (text - 13);
        uint16_t start = GetU16(r, link);
        r.insert(r.begin() + start, 'x');
        for (size_t at = 2; at < 53; at += 2) {
          if (at == 28) at = 47;
          if (GetU16(r, at) > start) PutU16(&r, at, static_cast<uint16_t>(GetU16(r, at) + 1));
        }
        break;
      }
      case 1: {
        size_t at = OneIn(4) ? 47 + 2 * Below(3) : 2 + 2 * Below(13);
        PutU16(&r, at, static_cast<uint16_t>(GetU16(r, at) + (OneIn(2) ? 1 : -1)));
        break;
      }
      case 2:
        for (size_t i = kojin::kStringsOffset + Below(r.size() - kojin::kStringsOffset);
             i < r.size(); ++i) {
          if (r[i] == 0) {
            r[i] = TextByte();
            break;
          }
        }
        break;
      default:
        r.resize(r.size() - 1 - Below(3));
        break;
    }
    return r;
  }

  Bytes Group() {
    Bytes r(16, 0);
    r[0] = OneIn(10) ? static_cast<uint8_t>(Below(5)) : 2;
    for (size_t i = 2; i < 16; ++i) r[i] = static_cast<uint8_t>(random_());
    size_t places = Below(40);
    PutU16(&r, 12, static_cast<uint16_t>(OneIn(5) ? random_() : Below(places + 1)));
    PutU16(&r, 14, static_cast<uint16_t>(places - std::min<size_t>(places, GetU16(r, 12))));
    for (size_t i = 0; i < places; ++i) {
      r.push_back(static_cast<uint8_t>(random_()));
      r.push_back(static_cast<uint8_t>(random_()));
    }
    PutU16(&r, 6, static_cast<uint16_t>(r.size()));
    AppendText(&r);
    PutU16(&r, 8, static_cast<uint16_t>(r.size()));
    AppendText(&r);
    Damage(&r, 16);
    return r;
  }

 private:
  void AppendText(Bytes* r) {
    std::string text = Text();
    r->insert(r->end(), text.begin(), text.end());
    if (!OneIn(20)) r->push_back(0);
  }

  // Offsets pointed anywhere or past the end, bytes changed, terminators lost, the record cut.
  void Damage(Bytes* r, size_t table_end) {
    if (OneIn(3)) return;
    size_t changes = 1 + Below(4);
    for (size_t i = 0; i < changes; ++i) {
      switch (Below(5)) {
        case 0:
          if (table_end > 2) {
            size_t at = 2 + 2 * Below((table_end - 2) / 2);
            PutU16(r, at, static_cast<uint16_t>(OneIn(2) ? Below(r->size() + 40) : random_()));
          }
          break;
        case 1:
          (*r)[Below(r->size())] = static_cast<uint8_t>(random_());
          break;
        case 2:
          (*r)[Below(r->size())] = TextByte();
          break;
        case 3:
          for (auto& b : *r) {
            if (b == 0 && OneIn(4)) b = TextByte();
          }
          break;
        default:
          r->resize(Below(r->size() + 1));
          break;
      }
    }
  }

  std::mt19937 random_;
};

// The new record, and whether the conversion left every byte after it as it was.
struct Outcome {
  Bytes buffer;
  uint32_t length;
  bool rest_kept;
  Bytes Record() const { return Bytes(buffer.begin(), buffer.begin() + length); }
};

template <typename Convert>
Outcome ConvertCopy(Convert convert, const Bytes& record, size_t capacity, uint32_t length) {
  Outcome out;
  out.buffer.assign(capacity, 0xEE);
  memcpy(out.buffer.data(), record.data(), std::min(record.size(), capacity));
  Bytes before = out.buffer;
  out.length = convert(out.buffer.data(), out.buffer.size(), length);
  out.rest_kept =
      out.length <= capacity &&
      std::equal(out.buffer.begin() + out.length, out.buffer.end(), before.begin() + out.length);
  return out;
}

// Converts a copy of the record both ways; true when the new records agree and the conversion
// wrote nothing after its own. The conversion's outcome goes to *fast.
bool ConvertsAsTheReference(const RecordConverter& converter, const Bytes& record, size_t capacity,
                            uint32_t length, bool repair, Outcome* fast) {
  *fast = ConvertCopy(
      [&](uint8_t* b, size_t c, uint32_t l) { return converter.ConvertKojin(b, c, l, repair); },
      record, capacity, length);
  Outcome slow = ConvertCopy(
      [&](uint8_t* b, size_t c, uint32_t l) { return RefConvertKojin(b, c, l, repair); }, record,
      capacity, length);
  EXPECT_EQ(fast->Record(), slow.Record());
  EXPECT_TRUE(fast->rest_kept);
  return fast->Record() == slow.Record() && fast->rest_kept;
}

TEST(RecordConverterEquivalenceTest, PersonalRecordsConvertAsThroughTheHostStructure) {
  RecordMaker maker(20261208);
  RecordConverter converter;
  int repaired_differently = 0;
  for (int i = 0; i < 60000; ++i) {
    Bytes record = maker.Kojin();
    size_t capacity = RecordConverter::kKojinBufferSize + (maker.OneIn(4) ? maker.Below(300) : 0);
    uint32_t length = static_cast<uint32_t>(record.size());
    if (maker.OneIn(10)) length += static_cast<uint32_t>(maker.Below(2000));  // beyond the buffer
    for (bool repair : {false, true}) {
      Outcome fast;
      ASSERT_TRUE(ConvertsAsTheReference(converter, record, capacity, length, repair, &fast))
          << "record " << i << ", repair " << repair;
    }
    Outcome kept = ConvertCopy(
        [&](uint8_t* b, size_t c, uint32_t l) { return converter.ConvertKojin(b, c, l, false); },
        record, capacity, length);
    Outcome repaired = ConvertCopy(
        [&](uint8_t* b, size_t c, uint32_t l) { return converter.ConvertKojin(b, c, l, true); },
        record, capacity, length);
    if (kept.Record() != repaired.Record()) ++repaired_differently;
  }
  // The generated records do reach the repair.
  EXPECT_GT(repaired_differently, 5000);
}

// Records as the writer made them mostly convert to themselves; those and the ones changed in
// a single place convert as the reference does.
TEST(RecordConverterEquivalenceTest, WrittenRecordsConvertAsThroughTheHostStructure) {
  RecordMaker maker(8122026);
  RecordConverter converter;
  int unchanged = 0;
  int changed = 0;
  for (int i = 0; i < 40000; ++i) {
    Bytes record = maker.Written();
    size_t capacity = RecordConverter::kKojinBufferSize + (maker.OneIn(4) ? maker.Below(300) : 0);
    uint32_t length = static_cast<uint32_t>(record.size());
    for (bool repair : {false, true}) {
      Outcome fast;
      ASSERT_TRUE(ConvertsAsTheReference(converter, record, capacity, length, repair, &fast))
          << "record " << i << ", repair " << repair;
      bool same =
          fast.length == length && std::equal(record.begin(), record.end(), fast.buffer.begin());
      (same ? unchanged : changed) += 1;
    }
  }
  EXPECT_GT(unchanged, 20000);
  EXPECT_GT(changed, 20000);
}

TEST(RecordConverterEquivalenceTest, GroupRecordsConvertAsThroughTheHostStructure) {
  RecordMaker maker(7);
  RecordConverter converter;
  for (int i = 0; i < 5000; ++i) {
    Bytes record = maker.Group();
    uint32_t length = static_cast<uint32_t>(record.size());
    for (bool repair : {false, true}) {
      Outcome fast = ConvertCopy(
          [&](uint8_t* b, size_t c, uint32_t l) { return converter.ConvertGroup(b, c, l, repair); },
          record, RecordConverter::kGroupBufferSize, length);
      Outcome slow = ConvertCopy(
          [&](uint8_t* b, size_t c, uint32_t l) { return RefConvertGroup(b, c, l, repair); },
          record, RecordConverter::kGroupBufferSize, length);
      ASSERT_EQ(fast.Record(), slow.Record()) << "record " << i << ", repair " << repair;
      ASSERT_TRUE(fast.rest_kept) << "record " << i << ", repair " << repair;
    }
  }
}

}  // namespace
}  // namespace test
}  // namespace telbook
