// Walks the whole phone book file: header, index tables, every record a used slot points to,
// and the members of every group, through the library's format constants and record views.
// Every read is bounded by the file's and the record's length.
#include "tools/check.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>

#include "records/group_codec.h"
#include "records/kojin_codec.h"
#include "records/reading_class.h"
#include "records/record_text.h"
#include "store/book_header.h"
#include "store/format.h"
#include "store/record_index.h"

namespace telbook {
namespace tool {
namespace {

using namespace telbook::format;

using Bytes = std::vector<uint8_t>;

std::string Name(bool group, uint32_t n) {
  return group ? "group " + std::to_string(kGroupBase + n) : "entry " + std::to_string(n);
}

// A text at `offset` of a record must start inside it and end with a zero inside it.
bool TextInside(const uint8_t* record, size_t length, size_t offset) {
  return offset < length && memchr(record + offset, 0, length - offset) != nullptr;
}

void CheckPersonal(const uint8_t* record, size_t length, const std::string& who,
                   std::vector<Finding>* out) {
  if (length < kojin::kStringsOffset) {
    out->push_back({who, "record of " + std::to_string(length) + " bytes is shorter than " +
                             std::to_string(kojin::kStringsOffset)});
    return;
  }
  // The personal layout whatever the kind byte says: a wrong kind is a finding of its own.
  for (int n = 0; n < kojin::kMainStrings; ++n) {
    size_t offset = U16At(record, length, kojin::kMainTableOffset + 2 * static_cast<size_t>(n));
    if (!TextInside(record, length, offset)) {
      out->push_back({who, "text " + std::to_string(n) + " lies outside the record"});
      return;
    }
  }
  uint16_t block = U16At(record, length, kojin::kExtensionLinkOffset);
  if (block == 0) return;
  if (static_cast<size_t>(block) + kojin::kExtBlockSize > length) {
    out->push_back({who, "extension block lies outside the record"});
    return;
  }
  KojinView view(record, length);
  for (int n = 0; n < kojin::kExtensionStrings; ++n) {
    if (!TextInside(record, length, view.ExtensionOffset(n))) {
      out->push_back({who, "extension text " + std::to_string(n) + " lies outside the record"});
      return;
    }
  }
}

void CheckGroup(const uint8_t* record, size_t length, const std::string& who,
                const std::vector<bool>& used_entries, std::vector<Finding>* out) {
  if (length < group::kMembersOffset) {
    out->push_back({who, "record of " + std::to_string(length) + " bytes is shorter than " +
                             std::to_string(group::kMembersOffset)});
    return;
  }
  GroupView view(record, length);
  size_t places = static_cast<size_t>(view.member_count()) + view.extra_places();
  if (places > view.place_count()) out->push_back({who, "member list runs past the record"});
  if (!TextInside(record, length, U16At(record, length, group::kNameLinkOffset)) ||
      !TextInside(record, length, U16At(record, length, group::kFuriganaLinkOffset))) {
    out->push_back({who, "name or reading lies outside the record"});
  }
  for (size_t k = 0; k < view.place_count(); ++k) {
    uint16_t member = view.place(k);
    if (GroupView::IsEmptyPlace(member)) continue;
    if (member > kLastPersonal || !used_entries[member]) {
      out->push_back({who, "member " + std::to_string(member) + " names no entry"});
    }
  }
}

// A used slot's tab code: a reading class, and a favourite category or none.
bool TabCodeValid(uint8_t tab) {
  return TabClass(tab) >= reading_class::kFirst && TabClass(tab) <= reading_class::kOther &&
         TabFavourite(tab) <= kMaxFavourite;
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
                       " bytes long, shorter than any phone book (" +
                       std::to_string(kFixedPartSizeV1) + ")");
    return report;
  }
  const uint8_t* header = &file[kHeaderOffset];
  int version = book_header::Version(header);
  report.version = version;
  if (!book_header::MagicFits(header, static_cast<uint16_t>(version))) {
    fail("header", std::string("magic is not ") + MagicFor(static_cast<uint16_t>(version)) +
                       " as its version text asks");
    return report;
  }
  if (version == kVersionUnknown) fail("header", "version text does not parse (read as version 1)");
  bool v1 = version <= kVersion1 || file.size() < kGroupHighOffset ||
            LaidOutAsVersion1(&file[kPersonalHighOffset]);
  if (v1 && version >= kVersion2)
    fail("header", "says version 2 or 3 but is laid out as version 1");
  if (!v1 && file.size() < kFixedPartSize) {
    fail("header", "the file ends inside its index tables");
    return report;
  }
  report.readable = true;
  size_t fixed = v1 ? kFixedPartSizeV1 : kFixedPartSize;
  uint32_t slots = v1 ? kLowSlots : kSlotsPerTable;

  std::vector<bool> used_entries(kLastPersonal + 1, false);
  for (uint32_t n = 1; n <= slots; ++n) {
    used_entries[n] = Slot::kind(&file[PersonalSlotOffset(n)]) != kKindFree;
  }

  for (int table = 0; table < 2; ++table) {
    bool group = table == 1;
    for (uint32_t n = 1; n <= slots; ++n) {
      const uint8_t* slot = &file[group ? GroupSlotOffset(n) : PersonalSlotOffset(n)];
      uint8_t kind = Slot::kind(slot);
      if (kind == kKindFree) continue;
      std::string who = Name(group, n);
      (group ? report.groups : report.entries)++;
      bool kind_ok =
          group ? kind == kKindGroup
                : kind == kKindPersonal || (version == kVersion3 && kind == kKindPersonalAltDest);
      if (!kind_ok) fail(who, "slot holds kind " + std::to_string(kind));
      uint8_t tab = Slot::tab(slot);
      if (!TabCodeValid(tab)) fail(who, "tab code " + std::to_string(tab) + " is not valid");
      if (group && n > kUsedGroupSlots) fail(who, "lies beyond the 5000 groups a save keeps");
      size_t length = Slot::length(slot);
      size_t at = Slot::offset(slot);
      if (length == 0 || at < fixed || at + length > file.size()) {
        fail(who, "record (offset " + std::to_string(at) + ", " + std::to_string(length) +
                      " bytes) lies outside the file's record area");
        continue;
      }
      const uint8_t* record = &file[at];
      if (record[0] != kind) {
        fail(who, "record is of kind " + std::to_string(record[0]) + ", its slot says " +
                      std::to_string(kind));
        continue;
      }
      if (group) {
        CheckGroup(record, length, who, used_entries, &report.findings);
      } else {
        CheckPersonal(record, length, who, &report.findings);
      }
    }
  }
  if (book_header::PersonalCount(header) != report.entries) {
    fail("header", "counts " + std::to_string(book_header::PersonalCount(header)) +
                       " entries, the index holds " + std::to_string(report.entries));
  }
  if (book_header::GroupCount(header) != report.groups) {
    fail("header", "counts " + std::to_string(book_header::GroupCount(header)) +
                       " groups, the index holds " + std::to_string(report.groups));
  }
  return report;
}

}  // namespace tool
}  // namespace telbook
