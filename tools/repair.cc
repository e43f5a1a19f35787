// The repair in three steps, each on a copy beside the book: what can be read (and, when some
// records cannot, a salvaged book of only those, through the library's book-file writer); the
// fixes the library's writers make (slot kinds, tab codes, members, groups beyond 5000) and the
// save's compaction; the check, then the copy in the book's place.
#include "tools/repair.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <set>
#include <vector>

#include "interface/inspection.h"
#include "platform/env.h"
#include "records/group_codec.h"
#include "records/kojin_codec.h"
#include "records/reading_class.h"
#include "records/record_converter.h"
#include "store/book_header.h"
#include "store/format.h"
#include "store/record_index.h"
#include "tools/book.h"
#include "tools/check.h"
#include "tools/number_list.h"
#include "tools/records.h"
#include "tools/salvage.h"
#include "tools/system.h"
#include "tools/tool_error.h"

namespace telbook {
namespace tool {
namespace {

using Bytes = std::vector<uint8_t>;

// A group naming this many members that go is told by its first ones and a count.
constexpr size_t kToldMembers = 20;
// Names tried for a file beside the book before giving up: NAME, NAME.2, ... NAME.999.
constexpr int kNamesTried = 999;

std::string Hex(unsigned byte) {
  const char* digits = "0123456789ABCDEF";
  return std::string("0x") + digits[(byte >> 4) & 0xF] + digits[byte & 0xF];
}

std::string DirectoryOf(const std::string& path) {
  size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? "." : path.substr(0, slash + 1);
}

struct Dropped {
  uint16_t number;
  std::string reason;
  size_t begin;  // its bytes in the file, as far as they lie in it
  size_t end;
};

struct GroupFix {
  uint16_t number;
  std::vector<unsigned short> members;
};

// What a repair keeps, changes and drops, found on the book as the library reads it.
struct Plan {
  std::vector<uint16_t> entries;          // kept, in slot order
  std::vector<uint16_t> groups;           // kept in group slots 1 to 5000
  std::vector<uint16_t> rewrite_entries;  // kept, written again for their slot kind or tab code
  std::vector<GroupFix> rewrite_groups;   // kept, written again with these members
  std::vector<GroupFix> moved;            // groups beyond slot 5000, added again below it
  std::vector<uint16_t> moved_to;         // the numbers they are expected to get
  std::vector<Dropped> dropped;           // records that cannot be read, and groups with no room
  size_t unreadable = 0;                  // of those, the ones that cannot be read
  std::vector<std::pair<std::string, std::string>> changes;  // (where, what) in words
  // A favourite category (1 to 5) whose name the library's write keeps as it is, 0 when the book
  // has none to name, -1 when every name would change: the way to make a save without a change.
  int favourite_to_touch = -1;

  bool Salvage() const {
    return unreadable > 0 || (rewrite_entries.empty() && rewrite_groups.empty() && moved.empty() &&
                              favourite_to_touch < 0);
  }
  std::vector<uint16_t> Readable() const {
    std::vector<uint16_t> all = entries;
    all.insert(all.end(), groups.begin(), groups.end());
    for (const GroupFix& g : moved) all.push_back(g.number);
    return all;
  }
};

// The slot of a record number in the file as it lies on disk, null past its end.
const uint8_t* FileSlot(const Bytes& file, uint16_t number) {
  size_t at = number > format::kGroupBase ? format::GroupSlotOffset(number - format::kGroupBase)
                                          : format::PersonalSlotOffset(number);
  return at + format::kSlotSize <= file.size() ? &file[at] : nullptr;
}

// The tab code a record's reading and favourite ask; a favourite above 5 is none.
uint8_t WantedTab(const char* reading, size_t capacity, uint8_t tab) {
  uint8_t favourite = format::TabFavourite(tab);
  if (favourite > format::kMaxFavourite) favourite = 0;
  return format::TabCode(ClassifyField(reading, capacity), favourite);
}

// A name the library's write of favourite names keeps byte for byte: no byte that ends a name.
bool KeptByWrite(const char (&name)[16]) {
  for (char c : name) {
    uint8_t byte = static_cast<uint8_t>(c);
    if (byte == 0) return true;
    if (byte <= 0x20 || byte == 0x7F) return false;
  }
  return true;
}

class Planner {
 public:
  Planner(const Book& book, const Bytes& original, int version)
      : book_(book), original_(original), version_(version) {}
  Plan Make();

 private:
  void Tell(uint16_t number, const std::string& what) {
    plan_.changes.emplace_back(RecordName(number), what);
  }
  // The slot kind and tab code the file holds against those the record asks: told, and whether
  // the record must be written again for the in-memory slot to be right.
  bool SlotFixes(uint16_t number, uint8_t kind, uint8_t wanted_tab);
  void Entry(uint16_t number);
  // The members the repaired group keeps: every non-empty place naming a readable entry.
  std::vector<unsigned short> Members(uint16_t number, const GroupView& view);
  void Group(uint16_t number);
  void Favourites();

  const Book& book_;
  const Bytes& original_;
  int version_;
  Plan plan_;
  std::set<uint16_t> readable_entries_;
};

bool Planner::SlotFixes(uint16_t number, uint8_t kind, uint8_t wanted_tab) {
  const uint8_t* memory = inspection::SlotOf(book_.session(), number);
  const uint8_t* file = FileSlot(original_, number);
  if (file != nullptr && Slot::kind(file) != kind) {
    Tell(number,
         "slot kind " + std::to_string(Slot::kind(file)) + " set to " + std::to_string(kind));
  }
  if (file != nullptr && Slot::tab(file) != wanted_tab) {
    Tell(number, "tab code " + Hex(Slot::tab(file)) + " set to " + Hex(wanted_tab));
  }
  // The save writes the slots as they stand in memory, where the opening already set the tab
  // codes of the other class right.
  return Slot::kind(memory) != kind || Slot::tab(memory) != wanted_tab;
}

void Planner::Entry(uint16_t number) {
  TL_Kojin entry = ReadEntry(book_, number);
  const uint8_t* slot = inspection::SlotOf(book_.session(), number);
  uint8_t wanted = WantedTab(entry.Furigana, sizeof(entry.Furigana), Slot::tab(slot));
  if (SlotFixes(number, format::kKindPersonal, wanted)) plan_.rewrite_entries.push_back(number);
  // The texts as the save's repair leaves them.
  TL_Kojin saved = entry;
  RecordConverter::RepairKojin(&saved);
  for (const char* key : {"name", "furigana", "affiliation", "phone", "email", "memo"}) {
    const TextField* field = FindTextField(key);
    const char* before = reinterpret_cast<const char*>(&entry) + field->offset;
    const char* after = reinterpret_cast<const char*>(&saved) + field->offset;
    size_t from = strnlen(before, field->capacity);
    size_t to = strnlen(after, field->capacity);
    if (from != to) {
      Tell(number, std::string(field->label) + " cut from " + std::to_string(from) + " to " +
                       std::to_string(to) + " bytes (a character cut in two)");
    }
  }
}

std::vector<unsigned short> Planner::Members(uint16_t number, const GroupView& view) {
  std::vector<unsigned short> kept;
  std::set<uint16_t> gone;
  size_t gone_places = 0;
  for (size_t k = 0; k < view.place_count(); ++k) {
    uint16_t member = view.place(k);
    if (GroupView::IsEmptyPlace(member)) continue;
    if (readable_entries_.count(member) != 0) {
      kept.push_back(member);
      continue;
    }
    ++gone_places;
    if (gone.insert(member).second && gone.size() <= kToldMembers) {
      Tell(number, "member " + std::to_string(member) + " dropped: it names no readable entry");
    }
  }
  if (gone.size() > kToldMembers) {
    Tell(number, std::to_string(gone_places) + " member places dropped in all");
  }
  if (kept.size() > static_cast<size_t>(kMaxMembers)) {
    Tell(number, "its " + std::to_string(kept.size()) + " members cut to the first " +
                     std::to_string(kMaxMembers) + " a group holds");
    kept.resize(kMaxMembers);
  }
  return kept;
}

void Planner::Group(uint16_t number) {
  TL_ListItem item{};
  inspection::ReadListItem(book_.session(), number, &item);
  MemoryBlock record;
  if (inspection::LoadRecord(book_.session(), number, &record) != 0) {
    book_.Fail("cannot read " + RecordName(number));
  }
  GroupView view(record.data(), record.size());
  GroupFix fix{number, Members(number, view)};
  const uint8_t* slot = inspection::SlotOf(book_.session(), number);
  if (number > format::kLastNewGroup) {
    plan_.moved.push_back(fix);
    return;
  }
  plan_.groups.push_back(number);
  uint8_t wanted = WantedTab(item.Furigana, sizeof(item.Furigana), Slot::tab(slot));
  bool rewrite = SlotFixes(number, format::kKindGroup, wanted);
  // What a save alone would keep: the first N places, empty ones among them.
  std::vector<unsigned short> saved;
  size_t n = std::min<size_t>(view.member_count(), view.place_count());
  for (size_t k = 0; k < n && k < static_cast<size_t>(kMaxMembers); ++k) {
    if (!GroupView::IsEmptyPlace(view.place(k))) saved.push_back(view.place(k));
  }
  if (rewrite || saved != fix.members) plan_.rewrite_groups.push_back(fix);
  TL_Group group = ReadGroup(book_, number).group;
  TL_Group repaired = group;
  RecordConverter::RepairGroup(&repaired);
  if (strnlen(group.Name, sizeof(group.Name)) != strnlen(repaired.Name, sizeof(group.Name)) ||
      strnlen(group.Furigana, sizeof(group.Furigana)) !=
          strnlen(repaired.Furigana, sizeof(group.Furigana))) {
    Tell(number, "name or reading cut by a byte (a character cut in two)");
  }
}

void Planner::Favourites() {
  char name[16] = {};
  if (TL_readOkonomi(book_.session(), 1, name) != 0) {
    // No category at all: writing "all of them" changes no name.
    plan_.favourite_to_touch = 0;
    return;
  }
  for (int k = 1; k <= format::kFavouriteCount; ++k) {
    char place[16] = {};
    if (TL_readOkonomi(book_.session(), k, place) == 0 && KeptByWrite(place)) {
      plan_.favourite_to_touch = k;
      return;
    }
  }
}

Plan Planner::Make() {
  std::vector<uint16_t> used;
  for (uint32_t n = format::kFirstPersonal; n <= format::kLastPersonal; ++n) used.push_back(n);
  for (uint32_t n = format::kFirstGroup; n <= format::kLastGroup; ++n) used.push_back(n);
  std::vector<uint16_t> groups;
  for (uint16_t n : used) {
    const uint8_t* slot = inspection::SlotOf(book_.session(), n);
    if (slot == nullptr || Slot::kind(slot) == format::kKindFree) continue;
    TL_ListItem item{};
    if (inspection::ReadListItem(book_.session(), n, &item) != 0) {
      size_t size = original_.size();
      size_t begin = std::min<size_t>(Slot::offset(slot), size);
      size_t end =
          std::min<size_t>(static_cast<size_t>(Slot::offset(slot)) + Slot::length(slot), size);
      plan_.dropped.push_back({n, "cannot be read (" + ReadFailure(book_, n) + ")", begin, end});
      ++plan_.unreadable;
      continue;
    }
    if (n > format::kGroupBase) {
      groups.push_back(n);
      continue;
    }
    if (version_ >= format::kVersion3 && item.Kind == kojin::kAltInForce) {
      throw ToolError(kExitBook, "",
                      RecordName(n) +
                          " has an alternate destination in force, which a repaired book (format "
                          "version 2) cannot keep; nothing was changed (export the entries first)");
    }
    plan_.entries.push_back(n);
    readable_entries_.insert(n);
  }
  for (uint16_t n : plan_.entries) Entry(n);
  for (uint16_t n : groups) Group(n);

  // Groups beyond slot 5000 go to the lowest group numbers left free, while there are some.
  std::set<uint16_t> taken(plan_.groups.begin(), plan_.groups.end());
  uint16_t next = format::kFirstGroup;
  std::vector<GroupFix> moved;
  for (const GroupFix& g : plan_.moved) {
    while (next <= format::kLastNewGroup && taken.count(next) != 0) ++next;
    if (next > format::kLastNewGroup) {
      const uint8_t* slot = inspection::SlotOf(book_.session(), g.number);
      size_t begin = std::min<size_t>(Slot::offset(slot), original_.size());
      size_t end = std::min<size_t>(begin + Slot::length(slot), original_.size());
      plan_.dropped.push_back(
          {g.number, "lies beyond the 5000 groups a phone book keeps, and no group number is free",
           begin, end});
      continue;
    }
    Tell(g.number, "lies beyond the 5000 groups a phone book keeps: added again as group " +
                       std::to_string(next));
    plan_.moved_to.push_back(next);
    taken.insert(next);
    moved.push_back(g);
  }
  plan_.moved = moved;

  const uint8_t* header = &original_[format::kHeaderOffset];
  size_t groups_kept = plan_.groups.size() + plan_.moved.size();
  if (book_header::PersonalCount(header) != plan_.entries.size() ||
      book_header::GroupCount(header) != groups_kept) {
    plan_.changes.emplace_back(
        "header", "counts " + std::to_string(book_header::PersonalCount(header)) + " entries and " +
                      std::to_string(book_header::GroupCount(header)) +
                      " groups set to those kept, " + std::to_string(plan_.entries.size()) +
                      " and " + std::to_string(groups_kept));
  }
  if (version_ != format::kSavedVersion) {
    plan_.changes.emplace_back("header", "version " + std::to_string(version_) +
                                             " written anew in the layout of version 2");
  }
  Favourites();
  return plan_;
}

// Writes bytes beside the book under a name of its own: NAME, else NAME.2, NAME.3, ...; returns
// the name used. An older file of that name is never replaced.
std::string WriteBeside(const std::string& name, const std::string& bytes,
                        const std::string& like) {
  for (int k = 1; k <= kNamesTried; ++k) {
    std::string candidate = k == 1 ? name : name + "." + std::to_string(k);
    if (WriteNewFile(candidate, bytes, like)) return candidate;
  }
  throw ToolError(kExitFile, name,
                  "every name from this one to ." + std::to_string(kNamesTried) +
                      " is taken; nothing was changed");
}

// Writes bytes over the whole of an existing file.
void Overwrite(const std::string& path, const Bytes& bytes) {
  Env* env = Env::Default();
  OpenError open_error = OpenError::kNone;
  FileHandle file = env->OpenFile(path.c_str(), OpenMode::kUpdate, &open_error);
  bool ok = file != nullptr;
  for (size_t done = 0; ok && done < bytes.size();) {
    uint32_t chunk = static_cast<uint32_t>(std::min<size_t>(bytes.size() - done, 1u << 20));
    uint32_t count = 0;
    ok = env->Write(file, bytes.data() + done, chunk, &count) && count == chunk;
    done += chunk;
  }
  if (file != nullptr) ok = env->Close(file) && ok;
  if (!ok) throw ToolError(kExitFile, path, "cannot write a copy of the phone book here");
}

// Puts the complete file at temp in the place of target in one step, keeping target's owner and
// permissions; a file with other hard links, or one Windows will not let go, is written over
// instead, so that every name keeps seeing it.
// On failure the book is as it was, unless its bytes were being written over: then it may be
// half written, and the message says where its old bytes are (backup, or empty for none).
void PutInPlace(const std::string& temp, const std::string& target, uint32_t links,
                const std::string& backup) {
  Env* env = Env::Default();
  OpenError open_error = OpenError::kNone;
  FileHandle file = env->OpenFile(temp.c_str(), OpenMode::kUpdate, &open_error);
  FileError error = FileError::kNone;
  bool placed = file != nullptr && env->KeepAttributes(file, target.c_str(), &error) &&
                links <= 1 && env->LinkIntoPlace(file, temp.c_str(), target.c_str(), &error);
  bool written_over = false;
  if (!placed && file != nullptr) {
    FileHandle into = env->OpenToWriteInto(target.c_str(), &error);
    written_over = into != nullptr;
    placed = into != nullptr && env->CopyContents(file, into, &error) && env->Sync(into);
    if (into != nullptr) placed = env->Close(into) && placed;
  }
  if (file != nullptr) env->Close(file);
  if (placed) return;
  if (!written_over) {
    throw ToolError(kExitBook, target,
                    "cannot put the repaired book in its place; the phone book is as it was");
  }
  throw ToolError(
      kExitBook, target,
      "writing the repaired book over the phone book failed: it may be half written; " +
          (backup.empty() ? std::string("no backup was kept") : "its old bytes are in " + backup));
}

// The book's writers' lock, held from before the book is read until the repaired book is in
// its place, so that no other writer's save falls between (the same lock the library's saves
// take). Throws ToolError(kExitInUse) when another holds it for the whole wait.
class WritersHold final {
 public:
  WritersHold(const std::string& target, double wait_seconds) : env_(Env::Default()) {
    OpenError open_error = OpenError::kNone;
    file_ = env_->OpenFile(target.c_str(), OpenMode::kUpdate, &open_error);
    if (file_ == nullptr) {
      throw ToolError(open_error == OpenError::kSharingViolation ? kExitInUse : kExitBook, target,
                      "cannot open the phone book to repair it: nothing was changed");
    }
    const uint64_t end = env_->NowMilliseconds() + static_cast<uint64_t>(wait_seconds * 1000);
    for (;;) {
      LockResult result = env_->TryLockWriters(file_, nullptr);
      if (result == LockResult::kLocked) return;
      if (result == LockResult::kFailed) {
        env_->Close(file_);
        throw ToolError(kExitBook, target, "cannot take the book's writers' lock");
      }
      if (env_->NowMilliseconds() >= end) {
        env_->Close(file_);
        throw ToolError(kExitInUse, target,
                        "another program is changing the phone book: it held the book's "
                        "writers' lock for too long; nothing was changed");
      }
      env_->SleepMilliseconds(50);
    }
  }
  ~WritersHold() {
    env_->UnlockWriters(file_);
    env_->Close(file_);
  }
  WritersHold(const WritersHold&) = delete;
  WritersHold& operator=(const WritersHold&) = delete;

 private:
  Env* env_;
  FileHandle file_ = nullptr;
};

int Status(const Plan& plan) { return plan.dropped.empty() ? kExitOk : kExitSkipped; }

}  // namespace

int RepairBook(const std::string& path, const RepairOptions& options, std::ostream& out) {
  Env* env = Env::Default();
  FileInfo info;
  FileError error = FileError::kNone;
  if (!env->Inspect(path.c_str(), &info, &error) || info.kind == FileKind::kMissing) {
    throw ToolError(kExitBook, path, "cannot open: no such file");
  }
  if (info.kind != FileKind::kRegular) {
    throw ToolError(kExitBook, path, "is not a regular file: nothing was changed");
  }
  char resolved[kMaxPath] = {};
  if (!env->ResolveLink(path.c_str(), resolved, &error)) {
    throw ToolError(kExitBook, path, "cannot follow its symbolic link: nothing was changed");
  }
  const std::string target = resolved;
  if (!options.dry_run && !info.writable) {
    throw ToolError(kExitBook, path, "the phone book is read-only: nothing was changed");
  }
  std::unique_ptr<WritersHold> hold;
  if (!options.dry_run) hold = std::make_unique<WritersHold>(target, options.wait_seconds);
  Bytes original;
  if (!ReadWholeFile(target, &original)) throw ToolError(kExitBook, path, "cannot be read");

  CheckReport before = CheckBytes(original);
  if (!before.readable) {
    for (const Finding& f : before.findings)
      out << path << ": " << f.where << ": " << f.problem << "\n";
    throw ToolError(kExitBook, path,
                    "cannot be repaired: its header or index tables cannot be read; nothing "
                    "was changed");
  }
  if (before.findings.empty() && before.dead_bytes == 0) {
    out << path << ": sound: nothing to repair\n";
    return kExitOk;
  }

  // The library works on a copy: the book itself is only read until the end. A tab code of 0 on
  // slot 1025 would make it read the copy as version 1, unseeing every slot above 1024; made the
  // other class, it is set right by the opening.
  const std::string dir = options.dry_run ? std::string() : DirectoryOf(target);
  TempFile survey(dir);
  Bytes copy = original;
  if (before.hidden_high_slots) {
    copy[format::kPersonalHighOffset + format::kSlotTabOffset] = reading_class::kOther;
  }
  Overwrite(survey.path(), copy);

  Plan plan;
  std::unique_ptr<TempFile> salvaged;
  try {
    Book book(survey.path(), Book::Mode::kOpen);
    plan = Planner(book, original, book.version()).Make();
    if (before.dead_bytes > 0) {
      plan.changes.emplace_back(
          "file", std::to_string(before.dead_bytes) + " bytes that no record uses dropped");
    }
    if (!options.dry_run && plan.Salvage()) {
      salvaged = std::make_unique<TempFile>(dir);
      WriteSalvage(book, salvaged->path(), plan.Readable(), /*repair=*/true);
      salvaged->Hold();
    }
  } catch (const ToolError& e) {
    throw ToolError(e.status(), path, e.what());
  }
  TempFile& result_file = salvaged != nullptr ? *salvaged : survey;
  const std::string result = result_file.path();

  for (const Dropped& d : plan.dropped) {
    out << path << ": " << RecordName(d.number) << ": " << d.reason << ": dropped\n";
  }
  for (const auto& [where, what] : plan.changes)
    out << path << ": " << where << ": " << what << "\n";
  const std::string kept = Counted(plan.entries.size(), "entry", "entries") + " and " +
                           Counted(plan.groups.size() + plan.moved.size(), "group", "groups");
  if (options.dry_run) {
    out << path << ": a repair would keep " << kept << ", make "
        << Counted(plan.changes.size(), "change", "changes") << " and drop "
        << Counted(plan.dropped.size(), "record", "records")
        << "; nothing was written (--dry-run)\n";
    return Status(plan);
  }

  try {
    Book book(result, Book::Mode::kOpen);
    bool changed = false;
    for (uint16_t n : plan.rewrite_entries) {
      TL_Kojin entry = ReadEntry(book, n);
      if (entry.Favourite > format::kMaxFavourite) entry.Favourite = 0;
      WriteEntry(book, entry, n);
      changed = true;
    }
    auto group_of = [&book](uint16_t n) {
      TL_Group group = ReadGroup(book, n).group;
      if (group.Favourite > format::kMaxFavourite) group.Favourite = 0;
      return group;
    };
    for (const GroupFix& g : plan.rewrite_groups) {
      WriteGroup(book, group_of(g.number), g.members, g.number);
      changed = true;
    }
    for (size_t i = 0; i < plan.moved.size(); ++i) {
      int number = WriteGroup(book, group_of(plan.moved[i].number), plan.moved[i].members, 0);
      if (number != plan.moved_to[i]) {
        throw ToolError(kExitBook, path,
                        "group " + std::to_string(plan.moved[i].number) + " was added as " +
                            std::to_string(number) + " where " + std::to_string(plan.moved_to[i]) +
                            " was free");
      }
      changed = true;
    }
    if (!changed && !plan.Salvage()) {
      // Nothing to write again, yet the save's compaction is wanted: a favourite name written
      // as it stands changes nothing but makes the book changed.
      char name[16] = {};
      int k = plan.favourite_to_touch;
      if (k > 0)
        book.Check(TL_readOkonomi(book.session(), k, name), "cannot read a favourite name");
      book.Check(TL_writeOkonomi(book.session(), k, name), "cannot prepare the save");
      changed = true;
    }
    if (changed) book.Save();
    result_file.Hold();
  } catch (const ToolError& e) {
    throw ToolError(e.status(), path, std::string(e.what()) + "; nothing was changed");
  }

  CheckReport after = CheckFile(result);
  if (!after.findings.empty()) {
    for (const Finding& f : after.findings) {
      out << path << ": after the repair: " << f.where << ": " << f.problem << "\n";
    }
    throw ToolError(kExitFindings, path,
                    "the repaired book did not pass the check; nothing was changed");
  }
  {
    // Every record kept reads in the repaired book, under its number.
    Book repaired(result, Book::Mode::kOpen);
    std::vector<uint16_t> numbers = plan.entries;
    numbers.insert(numbers.end(), plan.groups.begin(), plan.groups.end());
    numbers.insert(numbers.end(), plan.moved_to.begin(), plan.moved_to.end());
    for (uint16_t n : numbers) {
      TL_ListItem item{};
      if (inspection::ReadListItem(repaired.session(), n, &item) != 0) {
        throw ToolError(kExitFindings, path,
                        "the repaired book lost " + RecordName(n) + "; nothing was changed");
      }
    }
  }
  FileInfo now;
  if (!env->Inspect(target.c_str(), &now, &error) || !Unchanged(now.identity, info.identity)) {
    throw ToolError(kExitBook, path,
                    "the phone book changed while it was being repaired; nothing was changed");
  }

  for (const Dropped& d : plan.dropped) {
    if (d.end <= d.begin) {
      out << path << ": " << RecordName(d.number) << ": no byte of it lies in the file\n";
      continue;
    }
    std::string bytes(original.begin() + static_cast<std::ptrdiff_t>(d.begin),
                      original.begin() + static_cast<std::ptrdiff_t>(d.end));
    std::string name =
        WriteBeside(path + ".damaged-" + std::to_string(d.number) + ".bin", bytes, target);
    out << path << ": " << RecordName(d.number) << ": its " << bytes.size() << " bytes written to "
        << name << "\n";
  }
  std::string backup;
  if (options.backup) {
    backup = WriteBeside(path + ".bak", std::string(original.begin(), original.end()), target);
  }
  PutInPlace(result, target, info.links, backup);
  out << path << ": repaired: " << kept << " kept, "
      << Counted(plan.changes.size(), "change", "changes") << ", "
      << Counted(plan.dropped.size(), "record", "records") << " dropped"
      << (backup.empty() ? std::string("; no backup kept") : "; the old book is " + backup) << "\n";
  return Status(plan);
}

}  // namespace tool
}  // namespace telbook
