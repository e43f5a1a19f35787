// Walks the whole phone book file: header, index tables, every record a used slot points to,
// and the members of every group. Every read is bounded by the file's and the record's length.
#include "tools/check.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>

#include "store/format.h"

namespace telbook {
namespace tool {
namespace {

using namespace telbook::format;

using Bytes = std::vector<uint8_t>;

uint16_t U16(const Bytes& b, size_t at) { return static_cast<uint16_t>(b[at] | (b[at + 1] << 8)); }
uint32_t U32(const Bytes& b, size_t at) {
  return static_cast<uint32_t>(b[at]) | (static_cast<uint32_t>(b[at + 1]) << 8) |
         (static_cast<uint32_t>(b[at + 2]) << 16) | (static_cast<uint32_t>(b[at + 3]) << 24);
}

std::string Name(bool group, uint32_t n) {
  return group ? "group " + std::to_string(kGroupBase + n) : "entry " + std::to_string(n);
}

// A string at offset `at` of a record must start inside it and end with a zero inside it.
bool StringInside(const Bytes& file, size_t record, size_t length, size_t at) {
  if (at >= length) return false;
  for (size_t i = at; i < length; ++i) {
    if (file[record + i] == 0) return true;
  }
  return false;
}

void CheckPersonal(const Bytes& file, size_t at, size_t length, const std::string& who,
                   std::vector<Finding>* out) {
  constexpr size_t kMainStrings = 13;
  constexpr size_t kFixed = 57;
  if (length < kFixed) {
    out->push_back({who, "record of " + std::to_string(length) + " bytes is shorter than 57"});
    return;
  }
  for (size_t n = 0; n < kMainStrings; ++n) {
    if (!StringInside(file, at, length, U16(file, at + 2 + 2 * n))) {
      out->push_back({who, "text " + std::to_string(n) + " lies outside the record"});
      return;
    }
  }
  uint16_t ext = U16(file, at + 28);
  if (ext == 0) return;
  if (static_cast<size_t>(ext) + 14 > length) {
    out->push_back({who, "extension block lies outside the record"});
    return;
  }
  for (size_t n = 0; n < 3; ++n) {
    if (!StringInside(file, at, length, U16(file, at + ext + 4 + 2 * n))) {
      out->push_back({who, "extension text " + std::to_string(n) + " lies outside the record"});
      return;
    }
  }
}

void CheckGroup(const Bytes& file, size_t at, size_t length, const std::string& who,
                const std::vector<bool>& used_entries, std::vector<Finding>* out) {
  if (length < 16) {
    out->push_back({who, "record of " + std::to_string(length) + " bytes is shorter than 16"});
    return;
  }
  size_t places = static_cast<size_t>(U16(file, at + 12)) + U16(file, at + 14);
  if (16 + 2 * places > length) {
    out->push_back({who, "member list runs past the record"});
    places = (length - 16) / 2;
  }
  if (!StringInside(file, at, length, U16(file, at + 6)) ||
      !StringInside(file, at, length, U16(file, at + 8))) {
    out->push_back({who, "name or reading lies outside the record"});
  }
  for (size_t k = 0; k < places; ++k) {
    uint16_t member = U16(file, at + 16 + 2 * k);
    if (member == 0 || member == 0xFFFF) continue;
    if (member > kLastPersonal || !used_entries[member]) {
      out->push_back({who, "member " + std::to_string(member) + " names no entry"});
    }
  }
}

}  // namespace

CheckReport CheckFile(const std::string& path) {
  CheckReport report;
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    report.findings.push_back({"file", "cannot be read"});
    return report;
  }
  Bytes file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  auto fail = [&report](const std::string& where, const std::string& problem) {
    report.findings.push_back({where, problem});
  };
  if (file.size() < kFixedPartSizeV1) {
    fail("header", "the file is " + std::to_string(file.size()) +
                       " bytes long, shorter than any phone book (16512)");
    return report;
  }
  int version = ParseVersion(&file[kVersionOffset]);
  report.version = version;
  const char* magic = version == 3 ? kMagicV3 : kMagicV2;
  if (memcmp(&file[kMagicOffset], magic, kMagicSize) != 0) {
    fail("header", std::string("magic is not ") + magic + " as its version text asks");
    return report;
  }
  if (version == 0) fail("header", "version text does not parse (read as version 1)");
  bool v1 = version <= 1 || file.size() < kGroupHighOffset ||
            (file[kPersonalHighOffset] != 0 && file[kPersonalHighOffset + 1] == 0);
  if (v1 && version >= 2) fail("header", "says version 2 or 3 but is laid out as version 1");
  if (!v1 && file.size() < kFixedPartSize) {
    fail("header", "the file ends inside its index tables");
    return report;
  }
  report.readable = true;
  size_t fixed = v1 ? kFixedPartSizeV1 : kFixedPartSize;
  uint32_t slots = v1 ? kLowSlots : kSlotsPerTable;

  std::vector<bool> used_entries(kLastPersonal + 1, false);
  for (uint32_t n = 1; n <= slots; ++n) used_entries[n] = file[PersonalSlotOffset(n)] != 0;

  for (int table = 0; table < 2; ++table) {
    bool group = table == 1;
    for (uint32_t n = 1; n <= slots; ++n) {
      size_t slot = group ? GroupSlotOffset(n) : PersonalSlotOffset(n);
      uint8_t kind = file[slot + kSlotKindOffset];
      if (kind == kKindFree) continue;
      std::string who = Name(group, n);
      (group ? report.groups : report.entries)++;
      bool kind_ok = group
                         ? kind == kKindGroup
                         : kind == kKindPersonal || (version == 3 && kind == kKindPersonalAltDest);
      if (!kind_ok) fail(who, "slot holds kind " + std::to_string(kind));
      uint8_t tab = file[slot + kSlotTabOffset];
      int low = tab & 0x0F;
      if (low < 1 || low > 11 || (tab >> 4) > 5)
        fail(who, "tab code " + std::to_string(tab) + " is not valid");
      if (group && n > kUsedGroupSlots) fail(who, "lies beyond the 5000 groups a save keeps");
      size_t length = U16(file, slot + kSlotLengthOffset);
      size_t at = U32(file, slot + kSlotRecordOffset);
      if (length == 0 || at < fixed || at + length > file.size()) {
        fail(who, "record (offset " + std::to_string(at) + ", " + std::to_string(length) +
                      " bytes) lies outside the file's record area");
        continue;
      }
      if (file[at] != kind) {
        fail(who, "record is of kind " + std::to_string(file[at]) + ", its slot says " +
                      std::to_string(kind));
        continue;
      }
      if (group) {
        CheckGroup(file, at, length, who, used_entries, &report.findings);
      } else {
        CheckPersonal(file, at, length, who, &report.findings);
      }
    }
  }
  if (U16(file, kPersonalCountOffset) != report.entries) {
    fail("header", "counts " + std::to_string(U16(file, kPersonalCountOffset)) +
                       " entries, the index holds " + std::to_string(report.entries));
  }
  if (U16(file, kGroupCountOffset) != report.groups) {
    fail("header", "counts " + std::to_string(U16(file, kGroupCountOffset)) +
                       " groups, the index holds " + std::to_string(report.groups));
  }
  return report;
}

}  // namespace tool
}  // namespace telbook
