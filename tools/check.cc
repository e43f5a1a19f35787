// Walks the whole phone book file: header, index tables, every record a used slot points to,
// the reading and favourite behind every tab code, overlaps, and the members of every group,
// through the library's format constants and record views. Every read is bounded by the file's
// and the record's length.
#include "tools/check.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>

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

// A group naming this many missing members is told by its first ones and a count.
constexpr size_t kToldMembers = 20;

std::string Hex(unsigned byte) {
  char text[8];
  std::snprintf(text, sizeof text, "0x%02X", byte);
  return text;
}

const char* const kRows[] = {"あ", "か", "さ", "た", "な", "は", "ま", "や", "ら", "わ"};

std::string ClassWords(uint8_t reading_class) {
  if (reading_class >= reading_class::kFirst && reading_class <= reading_class::kWa) {
    return std::string("the ") + kRows[reading_class - 1] + " row";
  }
  return "no kana row";
}

// A text at `offset` of a record must start inside it and end with a zero inside it.
bool TextInside(const uint8_t* record, size_t length, size_t offset) {
  return offset < length && memchr(record + offset, 0, length - offset) != nullptr;
}

class Checker {
 public:
  Checker(const Bytes& file, CheckReport* report) : file_(file), report_(report) {}
  void Run();

 private:
  struct Used {
    bool group;
    uint32_t n;
    long number;
    size_t slot_at;  // the slot's offset in the file
    bool inside;     // the record lies in the record area
    bool readable;   // inside, and of the kind the library's reads ask
  };

  void Fail(const std::string& where, long record, int64_t offset, const std::string& problem) {
    report_->findings.push_back({where, record, offset, problem});
  }
  void Fail(const Used& u, int64_t offset, const std::string& problem) {
    Fail(Name(u), u.number, offset, problem);
  }
  static std::string Name(const Used& u) {
    return (u.group ? "group " : "entry ") + std::to_string(u.number);
  }
  bool Header();
  void CheckSlot(Used* u);
  void Texts(const Used& u, const uint8_t* record, size_t length);
  void TabCode(const Used& u, const uint8_t* record, size_t length);
  void Members(const Used& u, const uint8_t* record, size_t length);
  void Overlaps();
  void Counts();

  const Bytes& file_;
  CheckReport* report_;
  size_t fixed_ = kFixedPartSize;
  uint32_t slots_ = kSlotsPerTable;
  std::vector<Used> used_;
  std::map<uint32_t, const Used*> entries_;  // used personal slots by number
};

bool Checker::Header() {
  if (file_.size() < kFixedPartSizeV1) {
    Fail("header", 0, -1,
         "the file is " + std::to_string(file_.size()) +
             " bytes long, shorter than any phone book (" + std::to_string(kFixedPartSizeV1) + ")");
    return false;
  }
  const uint8_t* header = &file_[kHeaderOffset];
  int version = book_header::Version(header);
  report_->version = version;
  if (!book_header::MagicFits(header, static_cast<uint16_t>(version))) {
    Fail("header", 0, kMagicOffset,
         std::string("magic is not ") + MagicFor(static_cast<uint16_t>(version)) +
             " as its version text asks");
    return false;
  }
  if (version == kVersionUnknown) {
    Fail("header", 0, kVersionOffset, "version text does not parse (read as version 1)");
  }
  bool v1 = version <= kVersion1 || file_.size() < kGroupHighOffset ||
            LaidOutAsVersion1(&file_[kPersonalHighOffset]);
  if (v1 && version >= kVersion2) {
    // Slot 1025 of a version-2 file, or the first record of a version-1 one: a slot pointing
    // at a record of its kind inside a file long enough for the version-2 layout is the former.
    const uint8_t* slot = &file_[kPersonalHighOffset];
    size_t at = Slot::offset(slot);
    report_->hidden_high_slots =
        file_.size() >= kFixedPartSize && at >= kFixedPartSize && Slot::length(slot) > 0 &&
        at + Slot::length(slot) <= file_.size() && file_[at] == Slot::kind(slot);
    if (report_->hidden_high_slots) {
      Fail("entry 1025", 1025, kPersonalHighOffset + kSlotTabOffset,
           "tab code 0 on a used slot makes the file read as version 1: every slot above 1024 "
           "is unseen");
    } else {
      Fail("header", 0, kVersionOffset, "says version 2 or 3 but is laid out as version 1");
    }
  }
  if (!v1 && file_.size() < kFixedPartSize) {
    Fail("header", 0, -1, "the file ends inside its index tables");
    return false;
  }
  report_->readable = true;
  fixed_ = v1 ? kFixedPartSizeV1 : kFixedPartSize;
  slots_ = v1 ? kLowSlots : kSlotsPerTable;
  return true;
}

void Checker::CheckSlot(Used* u) {
  const uint8_t* slot = &file_[u->slot_at];
  uint8_t kind = Slot::kind(slot);
  bool kind_ok = u->group ? kind == kKindGroup
                          : kind == kKindPersonal ||
                                (report_->version == kVersion3 && kind == kKindPersonalAltDest);
  if (!kind_ok) {
    Fail(*u, static_cast<int64_t>(u->slot_at + kSlotKindOffset),
         "slot kind " + std::to_string(kind) + " is not " +
             (u->group ? "a group's (2)" : "an entry's (1)"));
  }
  if (u->group && u->n > kUsedGroupSlots) {
    Fail(*u, static_cast<int64_t>(u->slot_at),
         "lies beyond the 5000 groups a phone book keeps (a save drops it)");
  }
  size_t length = Slot::length(slot);
  size_t at = Slot::offset(slot);
  u->inside = length > 0 && at >= fixed_ && at + length <= file_.size();
  if (!u->inside) {
    Fail(*u, static_cast<int64_t>(u->slot_at + kSlotLengthOffset),
         "record (offset " + std::to_string(at) + ", " + std::to_string(length) +
             " bytes) lies outside the file's record area");
    return;
  }
  size_t longest = u->group ? kMaxGroupRecordSize : kMaxPersonalRecordSize;
  if (length > longest) {
    Fail(*u, static_cast<int64_t>(u->slot_at + kSlotLengthOffset),
         "record length " + std::to_string(length) + " is longer than any " +
             (u->group ? "group's" : "entry's") + " (" + std::to_string(longest) + ")");
  }
  const uint8_t* record = &file_[at];
  // The kind the library's list reads ask: a group's, or an entry's, which in a version-3 file
  // is 3 exactly when its alternate destination is in force.
  uint8_t expected = kKindGroup;
  if (!u->group) {
    bool alt = report_->version >= kVersion3 &&
               KojinView(record, length).AltDestFlag() == kojin::kAltInForce;
    expected = alt ? kKindPersonalAltDest : kKindPersonal;
  }
  if (record[0] != expected) {
    Fail(*u, static_cast<int64_t>(at),
         "record is of kind " + std::to_string(record[0]) + ", not " + std::to_string(expected) +
             " as its number" +
             (expected == kKindPersonalAltDest ? " and alternate destination" : "") +
             " ask; it cannot be read");
    return;
  }
  u->readable = true;
  Texts(*u, record, length);
  TabCode(*u, record, length);
}

void Checker::Texts(const Used& u, const uint8_t* record, size_t length) {
  auto fail = [&](size_t offset, const std::string& problem) {
    Fail(u, static_cast<int64_t>(Slot::offset(&file_[u.slot_at]) + offset), problem);
  };
  if (u.group) {
    if (length < group::kMembersOffset) {
      fail(0, "record of " + std::to_string(length) + " bytes is shorter than " +
                  std::to_string(group::kMembersOffset));
      return;
    }
    GroupView view(record, length);
    size_t places = static_cast<size_t>(view.member_count()) + view.extra_places();
    if (places > view.place_count()) {
      fail(group::kMemberCountOffset, "member list of " + std::to_string(places) +
                                          " places runs past the record, which holds " +
                                          std::to_string(view.place_count()));
    }
    if (!TextInside(record, length, U16At(record, length, group::kNameLinkOffset)) ||
        !TextInside(record, length, U16At(record, length, group::kFuriganaLinkOffset))) {
      fail(group::kNameLinkOffset, "name or reading lies outside the record");
    }
    return;
  }
  if (length < kojin::kStringsOffset) {
    fail(0, "record of " + std::to_string(length) + " bytes is shorter than " +
                std::to_string(kojin::kStringsOffset));
    return;
  }
  // The personal layout: a wrong kind was a finding of its own.
  for (int n = 0; n < kojin::kMainStrings; ++n) {
    size_t link = kojin::kMainTableOffset + 2 * static_cast<size_t>(n);
    if (!TextInside(record, length, U16At(record, length, link))) {
      fail(link, "text " + std::to_string(n) + " lies outside the record");
      return;
    }
  }
  uint16_t block = U16At(record, length, kojin::kExtensionLinkOffset);
  if (block == 0) return;
  if (static_cast<size_t>(block) + kojin::kExtBlockSize > length) {
    fail(kojin::kExtensionLinkOffset, "extension block lies outside the record");
    return;
  }
  KojinView view(record, length);
  for (int n = 0; n < kojin::kExtensionStrings; ++n) {
    if (!TextInside(record, length, view.ExtensionOffset(n))) {
      fail(block + kojin::kExtTableOffset + 2 * static_cast<size_t>(n),
           "extension text " + std::to_string(n) + " lies outside the record");
      return;
    }
  }
}

void Checker::TabCode(const Used& u, const uint8_t* record, size_t length) {
  uint8_t tab = Slot::tab(&file_[u.slot_at]);
  std::string_view reading;
  MainString(record, length, 1, &reading);
  uint8_t reading_class = ClassifyReading(reading);
  uint8_t favourite = TabFavourite(tab);
  std::string why;
  if (favourite > kMaxFavourite) {
    why = "its favourite number " + std::to_string(favourite) + " is above 5";
    favourite = 0;
  } else if (TabClass(tab) < reading_class::kFirst || TabClass(tab) > reading_class::kOther) {
    why = "it holds no reading class";
  } else if (TabClass(tab) != reading_class) {
    why = "its reading lies in " + ClassWords(reading_class) + ", not in " +
          ClassWords(TabClass(tab));
  }
  if (why.empty()) return;
  Fail(u, static_cast<int64_t>(u.slot_at + kSlotTabOffset),
       "tab code " + Hex(tab) + " is wrong: " + why + "; it should be " +
           Hex(format::TabCode(reading_class, favourite)));
}

void Checker::Members(const Used& u, const uint8_t* record, size_t length) {
  GroupView view(record, length);
  std::map<uint16_t, size_t> missing;  // member number -> its first place
  size_t count = 0;
  for (size_t k = 0; k < view.place_count(); ++k) {
    uint16_t member = view.place(k);
    if (GroupView::IsEmptyPlace(member)) continue;
    auto entry = member <= kLastPersonal ? entries_.find(member) : entries_.end();
    if (entry != entries_.end() && entry->second->readable) continue;
    ++count;
    missing.emplace(member, k);
  }
  size_t told = 0;
  size_t at = Slot::offset(&file_[u.slot_at]);
  for (const auto& [member, place] : missing) {
    if (told++ == kToldMembers) break;
    auto entry = member <= kLastPersonal ? entries_.find(member) : entries_.end();
    Fail(u, static_cast<int64_t>(at + group::kMembersOffset + group::kMemberSize * place),
         "member " + std::to_string(member) +
             (entry != entries_.end() ? " names an entry that cannot be read" : " names no entry"));
  }
  if (missing.size() > kToldMembers) {
    Fail(u, static_cast<int64_t>(at + group::kMembersOffset),
         std::to_string(count) + " member places in all name no readable entry");
  }
}

void Checker::Overlaps() {
  std::vector<const Used*> inside;
  for (const Used& u : used_) {
    if (u.inside) inside.push_back(&u);
  }
  auto start = [this](const Used* u) { return Slot::offset(&file_[u->slot_at]); };
  auto end = [this, &start](const Used* u) {
    return static_cast<size_t>(start(u)) + Slot::length(&file_[u->slot_at]);
  };
  std::stable_sort(inside.begin(), inside.end(),
                   [&start](const Used* a, const Used* b) { return start(a) < start(b); });
  const Used* reaching = nullptr;  // the record reaching furthest so far
  int64_t covered = 0;
  for (const Used* u : inside) {
    size_t from = reaching == nullptr ? start(u) : std::max<size_t>(start(u), end(reaching));
    if (end(u) > from) covered += static_cast<int64_t>(end(u) - from);
    if (reaching != nullptr && start(u) < end(reaching)) {
      Fail(*u, static_cast<int64_t>(start(u)),
           "record (offset " + std::to_string(start(u)) + ", " + std::to_string(end(u) - start(u)) +
               " bytes) overlaps that of " + Name(*reaching) + " (offset " +
               std::to_string(start(reaching)) + ", " +
               std::to_string(end(reaching) - start(reaching)) + " bytes)");
    }
    if (reaching == nullptr || end(u) > end(reaching)) reaching = u;
  }
  // Where slots are unseen, so are the records they hold.
  if (!report_->hidden_high_slots) {
    report_->dead_bytes = static_cast<int64_t>(file_.size() - fixed_) - covered;
  }
}

void Checker::Counts() {
  const uint8_t* header = &file_[kHeaderOffset];
  int kept_groups = 0;
  for (const Used& u : used_) kept_groups += u.group && u.n <= kUsedGroupSlots;
  if (book_header::PersonalCount(header) != report_->entries) {
    Fail("header", 0, kPersonalCountOffset,
         "counts " + std::to_string(book_header::PersonalCount(header)) +
             " entries, the index holds " + std::to_string(report_->entries));
  }
  if (book_header::GroupCount(header) != kept_groups) {
    Fail("header", 0, kGroupCountOffset,
         "counts " + std::to_string(book_header::GroupCount(header)) + " groups, the index holds " +
             std::to_string(kept_groups));
  }
}

void Checker::Run() {
  if (!Header()) return;
  for (int table = 0; table < 2; ++table) {
    bool group = table == 1;
    for (uint32_t n = 1; n <= slots_; ++n) {
      size_t at = group ? GroupSlotOffset(n) : PersonalSlotOffset(n);
      if (Slot::kind(&file_[at]) == kKindFree) continue;
      (group ? report_->groups : report_->entries)++;
      used_.push_back({group, n, static_cast<long>(group ? kGroupBase + n : n), at, false, false});
    }
  }
  for (Used& u : used_) {
    CheckSlot(&u);
    if (!u.group) entries_.emplace(u.n, &u);
  }
  for (const Used& u : used_) {
    if (!u.group || !u.readable) continue;
    const uint8_t* slot = &file_[u.slot_at];
    size_t length = Slot::length(slot);
    if (length >= group::kMembersOffset) Members(u, &file_[Slot::offset(slot)], length);
  }
  Overlaps();
  Counts();
}

}  // namespace

CheckReport CheckBytes(const Bytes& file) {
  CheckReport report;
  Checker(file, &report).Run();
  return report;
}

bool ReadWholeFile(const std::string& path, Bytes* bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  bytes->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

CheckReport CheckFile(const std::string& path) {
  Bytes file;
  if (!ReadWholeFile(path, &file)) {
    CheckReport report;
    report.findings.push_back({"file", 0, -1, "cannot be read"});
    return report;
  }
  return CheckBytes(file);
}

}  // namespace tool
}  // namespace telbook
