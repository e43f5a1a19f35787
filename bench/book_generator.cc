// Generated phone books: every text in code page 932, built byte by byte from the row tables so
// that readings start in every kana row of all three scripts and in the other class.
#include "bench/book_generator.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace telbook {
namespace bench {

namespace {

// First and last second byte of each kana row (rows 1 to 10), hiragana after lead byte 0x82
// and katakana after 0x83, and the half-width katakana of each row.
const uint8_t kHiragana[10][2] = {{0x9F, 0xA8}, {0xA9, 0xB2}, {0xB3, 0xBC}, {0xBD, 0xC7},
                                  {0xC8, 0xCC}, {0xCD, 0xDB}, {0xDC, 0xE0}, {0xE1, 0xE6},
                                  {0xE7, 0xEB}, {0xEC, 0xF1}};
const uint8_t kKatakana[10][2] = {{0x40, 0x49}, {0x4A, 0x53}, {0x54, 0x5D}, {0x5E, 0x68},
                                  {0x69, 0x6D}, {0x6E, 0x7C}, {0x7D, 0x82}, {0x83, 0x88},
                                  {0x89, 0x8D}, {0x8E, 0x93}};
const uint8_t kHalfWidth[10][2] = {{0xB1, 0xB5}, {0xB6, 0xBA}, {0xBB, 0xBF}, {0xC0, 0xC4},
                                   {0xC5, 0xC9}, {0xCA, 0xCE}, {0xCF, 0xD3}, {0xD4, 0xD6},
                                   {0xD7, 0xDB}, {0xDC, 0xDD}};

const char* const kLatinFirst[] = {"John",  "Marie", "Paul",  "Anna", "Peter", "Laura",
                                   "David", "Sofia", "Klaus", "Emma", "Luca",  "Olivia"};
const char* const kLatinLast[] = {"Smith",  "Dubois",   "Muller",   "Rossi", "Garcia", "Novak",
                                  "Jensen", "Williams", "Kowalski", "Silva", "Brown",  "Fischer"};
const char* const kCompanies[] = {"Acme Trading, Inc.", "Northwind, Ltd.",
                                  "Globex Corp.",       "Initech",
                                  "Dubois & Fils",      "Umbrella, S.A."};
const char* const kMemos[] = {"",
                              "",
                              "call before sending",
                              "mornings only,\tweekdays",
                              "cover page: attn. accounts",
                              "\x8C\xDF\x91\x4F\x92\x86\x82\xC9\x91\x97\x95\x74"};  // 午前中に送付

// One kana character of row (0 to 9) in script 0 hiragana, 1 katakana, 2 half-width.
void AppendKana(Rng& rng, int script, int row, std::string* out) {
  const uint8_t(*table)[2] = script == 0 ? kHiragana : script == 1 ? kKatakana : kHalfWidth;
  uint8_t low = table[row][0];
  uint8_t high = table[row][1];
  uint8_t byte = static_cast<uint8_t>(low + rng.Below(high - low + 1u));
  if (script == 1 && byte == 0x7F) byte = 0x80;  // no trail byte 0x7F
  if (script == 0) out->push_back('\x82');
  if (script == 1) out->push_back('\x83');
  out->push_back(static_cast<char>(byte));
}

// A kanji of the first level: lead 0x89 to 0x97, trail 0x40 to 0x7E or 0x80 to 0xFC.
void AppendKanji(Rng& rng, std::string* out) {
  out->push_back(static_cast<char>(0x89 + rng.Below(0x97 - 0x89 + 1)));
  uint8_t trail = static_cast<uint8_t>(0x40 + rng.Below(0xFC - 0x40));
  if (trail >= 0x7F) ++trail;
  out->push_back(static_cast<char>(trail));
}

// A reading whose first character lies in row (0 to 9) of a script chosen per entry, or, for
// row 10, the other class: a Latin reading.
std::string Reading(Rng& rng, int row, const std::string& latin) {
  if (row == 10) return latin;
  int script = rng.Below(100) < 60 ? 0 : rng.Below(100) < 60 ? 1 : 2;
  std::string out;
  AppendKana(rng, script, row, &out);
  int more = 2 + static_cast<int>(rng.Below(6));
  for (int k = 0; k < more; ++k) {
    if (k == 2 && script != 2) out += "\x81\x40";  // full-width space between names
    if (k == 2 && script == 2) out += ' ';
    AppendKana(rng, script, static_cast<int>(rng.Below(10)), &out);
  }
  return out;
}

void Put(char* field, size_t capacity, const std::string& text) {
  size_t n = text.size() < capacity - 1 ? text.size() : capacity - 1;
  memcpy(field, text.data(), n);
  field[n] = '\0';
}

std::string Digits(Rng& rng, int count) {
  std::string out;
  for (int k = 0; k < count; ++k) out.push_back(static_cast<char>('0' + rng.Below(10)));
  return out;
}

std::string FaxNumber(Rng& rng) {
  return "0" + Digits(rng, 1 + static_cast<int>(rng.Below(3))) + "-" + Digits(rng, 4) + "-" +
         Digits(rng, 4);
}

}  // namespace

void MakeEntry(uint32_t i, TL_Kojin* entry) {
  Rng rng(i + 1);
  memset(entry, 0, sizeof *entry);
  bool latin = rng.Below(100) < 20;
  std::string first = kLatinFirst[rng.Below(12)];
  std::string last = kLatinLast[rng.Below(12)];
  std::string name;
  if (latin) {
    name = last + ", " + first;
  } else {
    int family = 1 + static_cast<int>(rng.Below(3));
    for (int k = 0; k < family; ++k) AppendKanji(rng, &name);
    name += "\x81\x40";
    AppendKanji(rng, &name);
    if (rng.Below(2)) AppendKanji(rng, &name);
  }
  Put(entry->Name, sizeof entry->Name, name);
  // Readings spread over all eleven classes; Latin names mostly keep a Latin reading.
  int row = latin && rng.Below(100) < 70 ? 10 : static_cast<int>(rng.Below(11));
  Put(entry->Furigana, sizeof entry->Furigana, Reading(rng, row, last + " " + first));

  std::string affiliation;
  if (rng.Below(100) < 40) {
    affiliation = kCompanies[rng.Below(6)];
  } else {
    for (int k = 0; k < 3; ++k) AppendKanji(rng, &affiliation);
    affiliation += "\x8A\x94\x8E\xAE\x89\xEF\x8E\xD0";  // 株式会社
  }
  Put(entry->Affiliation, sizeof entry->Affiliation, affiliation);
  Put(entry->FaxNumber, sizeof entry->FaxNumber, FaxNumber(rng));
  if (rng.Below(100) < 30) Put(entry->SpeedDial, sizeof entry->SpeedDial, Digits(rng, 3));
  Put(entry->Phone, sizeof entry->Phone, FaxNumber(rng));
  std::string mail = last + std::to_string(i) + "@example.co.jp";
  for (char& c : mail) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
  Put(entry->EMail, sizeof entry->EMail, mail);
  Put(entry->Memo, sizeof entry->Memo, kMemos[rng.Below(6)]);
  if (rng.Below(100) < 15) {
    Put(entry->FCode, sizeof entry->FCode, Digits(rng, 8));
    Put(entry->PCode, sizeof entry->PCode, Digits(rng, 4));
  }
  if (rng.Below(100) < 10) {
    Put(entry->BoxNumber, sizeof entry->BoxNumber, Digits(rng, 3));
    Put(entry->BoxPassword, sizeof entry->BoxPassword, Digits(rng, 4));
  }
  if (rng.Below(100) < 5) {
    Put(entry->RelayId, sizeof entry->RelayId, Digits(rng, 2));
    Put(entry->BroadcastList, sizeof entry->BroadcastList, "1,2,3");
  }
  entry->LineType = static_cast<uint8_t>(rng.Below(3));
  entry->CommMode = static_cast<uint8_t>(rng.Below(4));
  entry->RelayOutput = static_cast<uint8_t>(rng.Below(2));
  entry->Favourite = static_cast<uint8_t>(rng.Below(100) < 85 ? 0 : 1 + rng.Below(5));
}

void MakeGroup(uint32_t i, TL_Group* group) {
  Rng rng(0x10000 + i);
  memset(group, 0, sizeof *group);
  std::string name;
  for (int k = 0; k < 2; ++k) AppendKanji(rng, &name);
  name += "\x95\x94 " + std::to_string(i + 1);  // 部
  Put(group->Name, sizeof group->Name, name);
  Put(group->Furigana, sizeof group->Furigana,
      Reading(rng, static_cast<int>(rng.Below(11)), "group " + std::to_string(i + 1)));
  group->Favourite = static_cast<uint8_t>(rng.Below(100) < 80 ? 0 : 1 + rng.Below(5));
}

BookData Generate(const BookShape& shape) {
  BookData data;
  data.entries.resize(shape.entries);
  for (uint32_t i = 0; i < shape.entries; ++i) MakeEntry(i, &data.entries[i]);
  data.groups.resize(shape.groups);
  data.members.resize(shape.groups);
  for (uint32_t i = 0; i < shape.groups; ++i) {
    MakeGroup(i, &data.groups[i]);
    std::vector<unsigned short>& members = data.members[i];
    if (shape.groups_hold_everyone) {
      for (uint32_t n = 1; n <= shape.entries; ++n) members.push_back(static_cast<uint16_t>(n));
    } else if (shape.entries > 0) {
      uint32_t start = (i * 7919u) % shape.entries;
      for (uint32_t k = 0; k < shape.members_per_group && k < shape.entries; ++k) {
        members.push_back(static_cast<uint16_t>((start + k) % shape.entries + 1));
      }
    }
    data.groups[i].MemberCount = static_cast<uint16_t>(members.size());
  }
  return data;
}

bool FillBook(TL_FaxUtl* session, const BookData& data) {
  for (size_t i = 0; i < data.entries.size(); ++i) {
    unsigned short number = 0;
    if (TL_writeKojin(session, &data.entries[i], &number, 0) != 0) {
      fprintf(stderr, "writing entry %zu failed\n", i + 1);
      return false;
    }
  }
  for (size_t i = 0; i < data.groups.size(); ++i) {
    unsigned short number = 0;
    const std::vector<unsigned short>& members = data.members[i];
    if (TL_writeGroup(session, &data.groups[i], &number,
                      static_cast<unsigned short>(members.size()), members.data()) != 0) {
      fprintf(stderr, "writing group %zu failed\n", i + 1);
      return false;
    }
  }
  return true;
}

bool MakeBook(const char* path, const BookData& data) {
  TL_FaxUtl* session = TL_CreateFaxUtl();
  if (session == nullptr) return false;
  bool ok = TL_createDataBase(session, path) == 0;
  ok = ok && FillBook(session, data);
  ok = ok && TL_closeDataBase(session, 0) == 0;
  TL_DestroyFaxUtl(session);
  return ok;
}

}  // namespace bench
}  // namespace telbook
