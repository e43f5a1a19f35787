// The damaged-book corpus: books made through the library, damaged by code in each of the ways
// a disk, a crash or a copy cut short damages them, each with the records that must survive.
// On every one the tool runs check, list, repair and check again, and the library, in this
// process, reads what the repaired book holds: every record readable before, under its number
// and with its texts as a save repairs them, and nothing else.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <string>
#include <vector>

#include "interface/inspection.h"
#include "interface/telbook.h"
#include "records/record_converter.h"
#include "store/coding.h"
#include "store/format.h"
#include "store/record_index.h"
#include "tests/tool/tool_runner.h"

namespace telbook {
namespace tooltest {
namespace {

using format::GroupSlotOffset;
using format::PersonalSlotOffset;

// Numbers of the base book: entries in the low and high parts of the index, groups too.
const std::vector<uint16_t> kEntries = {1, 2, 3, 4, 5, 1025, 1030, 9999};
const std::vector<uint16_t> kGroups = {16385, 16386, 17500};
const std::map<uint16_t, std::vector<unsigned short>> kMembers = {
    {16385, {1, 2, 3}}, {16386, {4, 5, 1025, 1030}}, {17500, {9999, 2}}};
// Readings in the あ, か and さ rows, in Latin letters and in half-width kana (ｶ).
const char* const kReadings[] = {"\x82\xa0", "\x82\xa9", "\x82\xb3", "abc", "\xb6"};

template <size_t N>
void Put(char (&field)[N], const std::string& text) {
  size_t n = std::min(text.size(), N - 1);
  memcpy(field, text.data(), n);
  field[n] = '\0';
}

// Makes the base book at path through the library; with a big group, one more group of 9999
// member places, of which some name no entry.
void MakeBook(const std::string& path, bool big_group = false) {
  TL_FaxUtl* s = TL_CreateFaxUtl();
  ASSERT_EQ(TL_createDataBase(s, path.c_str()), 0);
  for (size_t i = 0; i < kEntries.size(); ++i) {
    TL_Kojin k{};
    Put(k.Name, "name " + std::to_string(kEntries[i]));
    Put(k.Furigana, kReadings[i % 5]);
    Put(k.FaxNumber, "03-0000-" + std::to_string(kEntries[i]));
    Put(k.Memo, "memo");
    Put(k.SpeedDial, "12");
    // Entry 1025's tab code is the one damaged to 0, favourite and all.
    k.Favourite = static_cast<uint8_t>(kEntries[i] == 1025 ? 0 : i % 3);
    unsigned short number = kEntries[i];
    ASSERT_EQ(TL_writeKojin(s, &k, &number, 0xFFFF), 0);
  }
  for (uint16_t g : kGroups) {
    TL_Group group{};
    Put(group.Name, "group " + std::to_string(g));
    Put(group.Furigana, "\x82\xa9");
    group.Favourite = g == 16386 ? 4 : 0;
    std::vector<unsigned short> members = kMembers.at(g);
    unsigned short number = g;
    ASSERT_EQ(TL_writeGroup(s, &group, &number, static_cast<int>(members.size()), members.data()),
              0);
  }
  if (big_group) {
    std::vector<unsigned short> members;
    for (int i = 0; members.size() < 9999; ++i)
      members.push_back(i % 7 == 6 ? 5000 + i % 3 : 1 + i % 5);
    TL_Group group{};
    Put(group.Name, "big");
    unsigned short number = 0;
    ASSERT_EQ(TL_writeGroup(s, &group, &number, 9999, members.data()), 0);
  }
  char names[80] = {};
  memcpy(names, "\x8e\xe6\x88\xf8\x90\xe6", 6);  // 取引先
  memcpy(names + 16, "Office", 6);
  ASSERT_EQ(TL_writeOkonomi(s, 0, names), 0);
  ASSERT_EQ(TL_closeDataBase(s, 0), 0);
  TL_DestroyFaxUtl(s);
}

// What the library reads of a book: every record it can read, with its texts and numbers as a
// save's repair leaves them, the members of groups as the member walk hands them out, and the
// favourite names.
struct Snapshot {
  bool opened = false;
  std::map<uint16_t, std::string> records;
  std::set<uint16_t> unreadable;  // used slots of the walks (groups up to 5000) it cannot read
  std::map<uint16_t, std::vector<uint16_t>> members;
  std::string favourites;
};

std::string Texts(const TL_Kojin& k) {
  std::string all;
  for (const char* field : {k.Name, k.Furigana, k.Affiliation, k.FaxNumber, k.SpeedDial, k.Phone,
                            k.EMail, k.Memo, k.FCode, k.PCode, k.BoxNumber, k.BoxPassword,
                            k.HostText1, k.RelayId, k.BroadcastList, k.HostText2}) {
    all += std::string(field) + "|";
  }
  int favourite = k.Favourite > 5 ? 0 : k.Favourite;
  return all + std::to_string(k.LineType) + "," + std::to_string(favourite) + "," +
         std::to_string(k.CommMode) + "," + std::to_string(k.HostWord1) + "," +
         std::to_string(k.RelayOutput);
}

Snapshot Take(const std::string& path) {
  Snapshot shot;
  TL_FaxUtl* s = TL_CreateFaxUtl();
  shot.opened = TL_openDataBase(s, path.c_str()) == 0;
  if (!shot.opened) {
    TL_DestroyFaxUtl(s);
    return shot;
  }
  for (uint32_t n = 1; n <= format::kLastGroup; ++n) {
    if (n == format::kLastPersonal + 1) n = format::kFirstGroup;
    uint16_t number = static_cast<uint16_t>(n);
    const uint8_t* slot = inspection::SlotOf(s, number);
    TL_ListItem item{};
    if (slot == nullptr || Slot::kind(slot) == format::kKindFree) continue;
    if (inspection::ReadListItem(s, number, &item) != 0) {
      if (number <= format::kLastNewGroup) shot.unreadable.insert(number);
      continue;
    }
    if (number <= format::kLastPersonal) {
      TL_Kojin k{};
      EXPECT_EQ(TL_readKojin(s, &k, number), 0) << number;
      RecordConverter::RepairKojin(&k);
      shot.records[number] = Texts(k);
      continue;
    }
    TL_Group g{};
    EXPECT_EQ(TL_openGroup(s, number), 0);
    EXPECT_EQ(TL_readGroupData(s, &g), 0);
    RecordConverter::RepairGroup(&g);
    shot.records[number] = std::string(g.Name) + "|" + g.Furigana + "|" +
                           std::to_string(g.Favourite > 5 ? 0 : g.Favourite);
    std::vector<uint16_t>& members = shot.members[number];
    for (int i = 0; i < 40000; ++i) {
      TL_ListItem member{};
      if (TL_readGroupMember(s, &member) == 0) {
        members.push_back(member.RecordNumber);
        continue;
      }
      unsigned short category = 0;
      unsigned short detail = 0;
      TL_getErrorInfo(s, &category, &detail);
      if (category == 9) break;  // no member left
    }
    TL_closeGroup(s);
  }
  char names[80] = {};
  TL_readOkonomi(s, 0, names);
  shot.favourites.assign(names, sizeof(names));
  TL_closeDataBase(s, 1);
  TL_DestroyFaxUtl(s);
  return shot;
}

std::vector<uint16_t> Numbers(const Snapshot& shot) {
  std::vector<uint16_t> numbers;
  for (const auto& [n, texts] : shot.records) numbers.push_back(n);
  return numbers;
}

using Damage = std::function<void(std::string* file)>;

struct Case {
  std::string name;
  Damage damage;
  std::vector<uint16_t> survivors;  // the records that must come through, by number
  bool refused = false;             // the library cannot open it: repair refuses, nothing changes
  std::map<uint16_t, uint16_t> moved = {};  // groups beyond slot 5000 and their new numbers
  bool big_group = false;
  // The library reads the damaged book as version 1 and sees only these; the repair brings back
  // the whole book.
  std::vector<uint16_t> seen_before = {};
};

uint16_t U16(const std::string& f, size_t at) {
  return DecodeU16(reinterpret_cast<const uint8_t*>(&f[at]));
}
uint32_t U32(const std::string& f, size_t at) {
  return DecodeU32(reinterpret_cast<const uint8_t*>(&f[at]));
}
void SetU16(std::string* f, size_t at, uint16_t v) {
  EncodeU16(reinterpret_cast<uint8_t*>(&(*f)[at]), v);
}
void SetU32(std::string* f, size_t at, uint32_t v) {
  EncodeU32(reinterpret_cast<uint8_t*>(&(*f)[at]), v);
}
size_t SlotAt(uint16_t n) {
  return n > format::kGroupBase ? GroupSlotOffset(n - format::kGroupBase) : PersonalSlotOffset(n);
}

std::vector<uint16_t> All() {
  std::vector<uint16_t> all = kEntries;
  all.insert(all.end(), kGroups.begin(), kGroups.end());
  return all;
}
std::vector<uint16_t> AllBut(std::set<uint16_t> gone) {
  std::vector<uint16_t> kept;
  for (uint16_t n : All()) {
    if (gone.count(n) == 0) kept.push_back(n);
  }
  return kept;
}

// Every way of damage, on the base book's bytes.
std::vector<Case> Corpus(const std::string& base) {
  std::vector<Case> cases;
  // Cut at every boundary of the fixed part, at the start of every record and one byte before
  // its end. The library cannot open a file cut inside the header, the first index halves or the
  // group index's second half; one cut inside the personal index's second half it reads as
  // version 1, with every record gone.
  for (size_t cut : {size_t{32}, size_t{128}, size_t{8320}, size_t{16512}, size_t{88312},
                     size_t{format::kFixedPartSize}}) {
    bool opens = cut >= format::kFixedPartSizeV1 &&
                 (cut < format::kGroupHighOffset || cut >= format::kFixedPartSize);
    cases.push_back(
        {"cut at " + std::to_string(cut), [cut](std::string* f) { f->resize(cut); }, {}, !opens});
  }
  for (uint16_t n : All()) {
    size_t at = U32(base, SlotAt(n) + format::kSlotRecordOffset);
    size_t end = at + U16(base, SlotAt(n) + format::kSlotLengthOffset);
    for (size_t cut : {at, end - 1}) {
      std::vector<uint16_t> survivors;
      for (uint16_t m : All()) {
        size_t m_end = U32(base, SlotAt(m) + format::kSlotRecordOffset) +
                       U16(base, SlotAt(m) + format::kSlotLengthOffset);
        if (m_end <= cut) survivors.push_back(m);
      }
      cases.push_back({"cut at " + std::to_string(cut) + " in record " + std::to_string(n),
                       [cut](std::string* f) { f->resize(cut); }, survivors});
    }
  }
  cases.push_back({"a slot past the end",
                   [](std::string* f) {
                     SetU32(f, SlotAt(3) + format::kSlotRecordOffset,
                            static_cast<uint32_t>(f->size() + 100));
                   },
                   AllBut({3})});
  cases.push_back({"two slots on one record",
                   [](std::string* f) {
                     for (size_t k = 2; k < format::kSlotSize; ++k)
                       (*f)[SlotAt(2) + k] = (*f)[SlotAt(4) + k];
                   },
                   All()});
  cases.push_back(
      {"a record reaching into the next",
       [](std::string* f) {
         SetU16(f, SlotAt(1) + format::kSlotLengthOffset,
                static_cast<uint16_t>(U16(*f, SlotAt(1) + format::kSlotLengthOffset) + 30));
       },
       All()});
  cases.push_back({"a record of length 0",
                   [](std::string* f) { SetU16(f, SlotAt(5) + format::kSlotLengthOffset, 0); },
                   AllBut({5})});
  cases.push_back(
      {"a record of length 65535 past the end",
       [](std::string* f) { SetU16(f, SlotAt(16386) + format::kSlotLengthOffset, 65535); },
       AllBut({16386})});
  cases.push_back({"a record of length 65535 inside the file",
                   [](std::string* f) {
                     f->append(70000, '\0');
                     SetU16(f, SlotAt(1) + format::kSlotLengthOffset, 65535);
                   },
                   All()});
  cases.push_back({"slot kind 5", [](std::string* f) { (*f)[SlotAt(2)] = 5; }, All()});
  cases.push_back(
      {"a group slot marked as an entry", [](std::string* f) { (*f)[SlotAt(16385)] = 1; }, All()});
  cases.push_back(
      {"an entry's record of a group's kind",
       [](std::string* f) { (*f)[U32(*f, SlotAt(1030) + format::kSlotRecordOffset)] = 2; },
       AllBut({1030})});
  cases.push_back(
      {"a group's record of an entry's kind",
       [](std::string* f) { (*f)[U32(*f, SlotAt(17500) + format::kSlotRecordOffset)] = 1; },
       AllBut({17500})});
  for (uint8_t tab : {uint8_t{0x03}, uint8_t{0x00}, uint8_t{0x0C}, uint8_t{0x71}, uint8_t{0x0B}}) {
    cases.push_back({"tab code " + std::to_string(tab),
                     [tab](std::string* f) { (*f)[SlotAt(1) + 1] = static_cast<char>(tab); },
                     All()});
  }
  cases.push_back({"tab code 0 on slot 1025, which hides the slots above 1024",
                   [](std::string* f) { (*f)[SlotAt(1025) + 1] = 0; },
                   All(),
                   false,
                   {},
                   false,
                   {1, 2, 3, 4, 5, 16385, 16386}});
  cases.push_back({"counts too high",
                   [](std::string* f) {
                     SetU16(f, format::kPersonalCountOffset, 500);
                     SetU16(f, format::kGroupCountOffset, 4000);
                   },
                   All()});
  cases.push_back({"counts too low",
                   [](std::string* f) {
                     SetU16(f, format::kPersonalCountOffset, 1);
                     SetU16(f, format::kGroupCountOffset, 0);
                   },
                   All()});
  cases.push_back({"a group beyond slot 5000",
                   [](std::string* f) {
                     for (size_t k = 0; k < format::kSlotSize; ++k) {
                       (*f)[GroupSlotOffset(5001) + k] = (*f)[SlotAt(16386) + k];
                       (*f)[SlotAt(16386) + k] = 0;
                     }
                   },
                   AllBut({16386}),
                   false,
                   {{21385, 16386}}});
  std::vector<uint16_t> with_big = All();
  with_big.push_back(16387);
  cases.push_back({"a group of 9999 members, some naming no entry",
                   [](std::string*) {},
                   with_big,
                   false,
                   {},
                   true});
  return cases;
}

class DamagedBooks : public ::testing::Test {
 protected:
  Scratch dir_;
};

TEST_F(DamagedBooks, RepairKeepsEveryRecordReadableBefore) {
  std::string base_path = dir_.File("base.tlb");
  std::string big_path = dir_.File("big.tlb");
  MakeBook(base_path);
  MakeBook(big_path, /*big_group=*/true);
  const std::string base = ReadAll(base_path);
  const std::string big = ReadAll(big_path);
  const Snapshot original = Take(base_path);
  ASSERT_EQ(Numbers(original), All());
  const Snapshot original_big = Take(big_path);

  for (const Case& c : Corpus(base)) {
    SCOPED_TRACE(c.name);
    std::string file = c.big_group ? big : base;
    c.damage(&file);
    std::string book = dir_.File("book.tlb");
    WriteAll(book, file);
    const Snapshot& whole = c.big_group ? original_big : original;

    // The corpus is right: what the library reads of the damaged book is what must survive,
    // as the undamaged book held it (two slots on one record read the same one).
    Snapshot before = Take(book);
    ASSERT_EQ(before.opened, !c.refused);
    std::vector<uint16_t> readable = Numbers(before);
    for (const auto& [from, to] : c.moved)
      readable.erase(std::remove(readable.begin(), readable.end(), from), readable.end());
    std::vector<uint16_t> expected = c.seen_before.empty() ? c.survivors : c.seen_before;
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(readable, expected);

    Result check = dir_.Tool({"check", book, "--json"});
    EXPECT_EQ(check.status, 1) << check.out;
    EXPECT_FALSE(nlohmann::json::parse(check.out)["sound"]);

    if (!c.refused) {
      // Listing shows every readable record and names each one it skipped.
      Result list = dir_.Tool({"list", book, "--json"});
      std::vector<uint16_t> listed;
      for (const auto& item : nlohmann::json::parse(list.out)) listed.push_back(item["number"]);
      std::vector<uint16_t> walked;
      for (uint16_t n : readable) {
        if (n <= format::kLastNewGroup) walked.push_back(n);
      }
      EXPECT_EQ(listed, walked) << list.err;
      for (uint16_t n : before.unreadable) {
        std::string name = (n > format::kGroupBase ? "group " : "entry ") + std::to_string(n);
        EXPECT_NE(list.err.find(name + " cannot be read"), std::string::npos) << list.err;
      }
      EXPECT_EQ(list.status, before.unreadable.empty() ? 0 : 7) << list.err;
    }

    Result repair = dir_.Tool({"repair", book});
    if (c.refused) {
      EXPECT_EQ(repair.status, 3) << repair.out << repair.err;
      EXPECT_EQ(ReadAll(book), file);
      EXPECT_EQ(dir_.List(), (std::vector<std::string>{"base.tlb", "big.tlb", "book.tlb"}));
      continue;
    }
    bool dropped = c.survivors.size() + c.moved.size() < Numbers(whole).size();
    EXPECT_EQ(repair.status, dropped ? 7 : 0) << repair.out << repair.err;
    EXPECT_EQ(ReadAll(book + ".bak"), file);
    check = dir_.Tool({"check", book, "--json"});
    EXPECT_EQ(check.status, 0) << check.out;

    // Every record readable before is there, under its number (or the one it moved to), with
    // the same texts; nothing else is.
    Snapshot after = Take(book);
    ASSERT_TRUE(after.opened);
    if (!c.seen_before.empty()) {
      EXPECT_EQ(after.records, whole.records);
      EXPECT_EQ(after.members, whole.members);
      EXPECT_TRUE(dir_.List() ==
                  (std::vector<std::string>{"base.tlb", "big.tlb", "book.tlb", "book.tlb.bak"}));
      std::remove((book + ".bak").c_str());
      continue;
    }
    std::map<uint16_t, std::string> wanted;
    for (const auto& [n, texts] : before.records) {
      auto moved = c.moved.find(n);
      wanted[moved == c.moved.end() ? n : moved->second] = texts;
    }
    EXPECT_EQ(after.records, wanted);
    EXPECT_EQ(after.favourites, whole.favourites);
    for (const auto& [n, members] : before.members) {
      // Members that name no readable entry are dropped; the rest keep their order.
      std::vector<uint16_t> kept;
      for (uint16_t m : members) {
        if (before.records.count(m) != 0 && m <= format::kLastPersonal) kept.push_back(m);
      }
      auto moved = c.moved.find(n);
      EXPECT_EQ(after.members[moved == c.moved.end() ? n : moved->second], kept) << n;
    }
    // Each record dropped left its bytes beside the book, when it had any in the file.
    for (const std::string& name : dir_.List()) {
      if (name.find(".damaged-") != std::string::npos) {
        uint16_t n = static_cast<uint16_t>(std::stoi(name.substr(name.find(".damaged-") + 9)));
        EXPECT_EQ(before.records.count(n), 0u) << name;
        std::remove(dir_.File(name).c_str());
      }
    }
    std::remove((book + ".bak").c_str());
    EXPECT_EQ(dir_.List(), (std::vector<std::string>{"base.tlb", "big.tlb", "book.tlb"}));
  }
}

// The base book with entry 3, a member of group 16385, unreadable: its slot gives it no bytes.
class AroundDamage : public ::testing::Test {
 protected:
  void SetUp() override {
    MakeBook(book_);
    std::string file = ReadAll(book_);
    SetU16(&file, SlotAt(3) + format::kSlotLengthOffset, 0);
    WriteAll(book_, file);
    damaged_ = file;
  }
  static bool Says(const Result& run, const std::string& text) {
    return run.out.find(text) != std::string::npos || run.err.find(text) != std::string::npos;
  }

  Scratch dir_;
  std::string book_ = dir_.File("book.tlb");
  std::string damaged_;
};

TEST_F(AroundDamage, ReadingCommandsShowTheRestAndSayWhatTheySkipped) {
  const std::string skipped = "entry 3 cannot be read: its slot gives it no bytes";
  Result run = dir_.Tool({"info", book_});
  EXPECT_EQ(run.status, 7);
  EXPECT_TRUE(Says(run, "favourite 5")) << run.out;
  EXPECT_TRUE(Says(run, skipped)) << run.err;

  run = dir_.Tool({"search", book_, "name", "--json"});
  EXPECT_EQ(run.status, 7);
  EXPECT_EQ(nlohmann::json::parse(run.out).size(), 7u);
  EXPECT_EQ(dir_.Tool({"search", book_, "name 3"}).status, 7);  // it might have matched

  run = dir_.Tool({"show", book_, "16385", "--json"});
  EXPECT_EQ(run.status, 7);
  EXPECT_EQ(nlohmann::json::parse(run.out)["members"].size(), 2u);
  EXPECT_TRUE(Says(run, "group 16385: member 3 cannot be read")) << run.err;
  // The record asked for is named with the reason it cannot be read, a group as an entry.
  run = dir_.Tool({"show", book_, "3"});
  EXPECT_EQ(run.status, 3);
  EXPECT_TRUE(Says(run, skipped)) << run.err;
  std::string group_gone = damaged_;
  SetU16(&group_gone, SlotAt(16386) + format::kSlotLengthOffset, 0);
  WriteAll(dir_.File("other.tlb"), group_gone);
  run = dir_.Tool({"show", dir_.File("other.tlb"), "16386"});
  EXPECT_EQ(run.status, 3);
  EXPECT_TRUE(Says(run, "group 16386 cannot be read: its slot gives it no bytes")) << run.err;
  std::remove(dir_.File("other.tlb").c_str());

  run = dir_.Tool({"list", book_, "--tab", "0x03"});
  EXPECT_EQ(run.status, 7);
  EXPECT_TRUE(Says(run, "name 9999")) << run.out;

  struct Export {
    std::vector<std::string> args;
    std::string dest;
  } exports[] = {{{"--entries", "1,3"}, "text.csv"},
                 {{}, "all.csv"},
                 {{"--subset"}, "subset.tlb"},
                 {{"--subset", "--groups", "16385"}, "group.tlb"},
                 {{"--vcard"}, "cards.vcf"}};
  for (const Export& e : exports) {
    std::vector<std::string> args = {"export", book_, dir_.File(e.dest)};
    args.insert(args.end(), e.args.begin(), e.args.end());
    run = dir_.Tool(args);
    EXPECT_EQ(run.status, 7) << e.dest << run.err;
    EXPECT_TRUE(Says(run, skipped)) << e.dest << run.err;
  }
  std::string all = ReadAll(dir_.File("all.csv"));
  EXPECT_EQ(std::count(all.begin(), all.end(), '\n'), 10);  // 7 entries, 3 groups
  EXPECT_EQ(ReadAll(dir_.File("text.csv")).find("name 3"), std::string::npos);
  EXPECT_EQ(Numbers(Take(dir_.File("subset.tlb"))).size(), 10u);
  EXPECT_EQ(Numbers(Take(dir_.File("group.tlb"))), (std::vector<uint16_t>{1, 2, 16385}));
  std::string cards = ReadAll(dir_.File("cards.vcf"));
  EXPECT_EQ(cards.find("name 3"), std::string::npos);
  EXPECT_NE(cards.find("name 9999"), std::string::npos);

  // --strict stops at the first record that cannot be read, and writes nothing.
  for (std::vector<std::string> args : {std::vector<std::string>{"list", book_},
                                        {"search", book_, "name"},
                                        {"info", book_},
                                        {"export", book_, dir_.File("strict.csv")}}) {
    args.push_back("--strict");
    run = dir_.Tool(args);
    EXPECT_EQ(run.status, 3) << args[0];
    EXPECT_TRUE(Says(run, "entry 3 cannot be read")) << args[0] << run.err;
  }
  EXPECT_FALSE(Exists(dir_.File("strict.csv")));
  run = dir_.Tool({"show", book_, "16385", "--strict"});
  EXPECT_EQ(run.status, 3);
  EXPECT_TRUE(Says(run, "group 16385: member 3 cannot be read")) << run.err;
  EXPECT_EQ(ReadAll(book_), damaged_);
}

TEST_F(AroundDamage, RepairTellsWritesNothingWhenDryAndKeepsEveryBackup) {
  Result run = dir_.Tool({"repair", book_, "--dry-run"});
  EXPECT_EQ(run.status, 7);
  EXPECT_TRUE(Says(run, "entry 3: cannot be read")) << run.out;
  EXPECT_TRUE(Says(run, "group 16385: member 3 dropped")) << run.out;
  EXPECT_TRUE(Says(run, "nothing was written")) << run.out;
  EXPECT_EQ(ReadAll(book_), damaged_);
  EXPECT_EQ(dir_.List(), std::vector<std::string>{"book.tlb"});

  // A slot of length 0 leaves no bytes to rescue; a record cut short leaves those it has.
  run = dir_.Tool({"repair", book_});
  EXPECT_EQ(run.status, 7) << run.err;
  EXPECT_EQ(ReadAll(book_ + ".bak"), damaged_);
  std::string second = ReadAll(book_);
  second.resize(second.size() - 1);  // the last record is group 17500: its bytes all but one
  size_t group_at = U32(second, SlotAt(17500) + format::kSlotRecordOffset);
  SetU16(&second, SlotAt(9999) + format::kSlotLengthOffset, 0);
  WriteAll(book_, second);
  run = dir_.Tool({"repair", book_});
  EXPECT_EQ(run.status, 7) << run.err;
  EXPECT_EQ(ReadAll(book_ + ".bak"), damaged_);  // the older backup is kept
  EXPECT_EQ(ReadAll(book_ + ".bak.2"), second);
  EXPECT_EQ(ReadAll(book_ + ".damaged-17500.bin"), second.substr(group_at));
  EXPECT_EQ(dir_.List(), (std::vector<std::string>{"book.tlb", "book.tlb.bak", "book.tlb.bak.2",
                                                   "book.tlb.damaged-17500.bin"}));
  EXPECT_EQ(Numbers(Take(book_)), (std::vector<uint16_t>{1, 2, 4, 5, 1025, 1030, 16385, 16386}));

  // A sound book is left alone; --no-backup keeps none.
  run = dir_.Tool({"repair", book_});
  EXPECT_EQ(run.status, 0);
  EXPECT_TRUE(Says(run, "sound: nothing to repair")) << run.out;
  std::string third = ReadAll(book_);
  SetU16(&third, format::kPersonalCountOffset, 99);
  WriteAll(book_, third);
  EXPECT_EQ(dir_.Tool({"repair", book_, "--no-backup"}).status, 0);
  EXPECT_EQ(dir_.Tool({"check", book_}).status, 0);
  EXPECT_FALSE(Exists(book_ + ".bak.3"));
}

}  // namespace
}  // namespace tooltest
}  // namespace telbook
