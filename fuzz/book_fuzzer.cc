// Fuzz target: an arbitrary file opened as a phone book, then every entry read, every tab
// walked, an enumeration, every group opened and read, both exports, deletes, and a save; then
// the tool's repair and check of the same file, with their promise: a repaired book passes the
// check and keeps every record that could be read before, under its number, with its texts as a
// save repairs them.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "fuzz_util.h"
#include "interface/inspection.h"
#include "interface/telbook.h"
#include "platform/env.h"
#include "platform/fault_env.h"
#include "records/record_converter.h"
#include "store/format.h"
#include "store/record_index.h"
#include "tools/check.h"
#include "tools/repair.h"
#include "tools/tool_error.h"

namespace {

// Flushes are a durability matter the fuzzer does not look at; skipping them keeps it fast.
class NoSyncEnv final : public telbook::ForwardingEnv {
 public:
  NoSyncEnv() : ForwardingEnv(telbook::Env::Default()) {}
  bool Sync(telbook::FileHandle) override { return true; }
  bool ReplaceFile(const char* from, const char* to) override { return std::rename(from, to) == 0; }
};

// Every tab code that selects a tab: the eleven reading classes and the five favourites.
std::vector<int> TabCodes() {
  std::vector<int> codes;
  for (int c = 1; c <= 11; ++c) codes.push_back(c);
  for (int f = 1; f <= 5; ++f) codes.push_back(f << 4);
  return codes;
}

void WalkTabs(TL_FaxUtl* s) {
  static const std::vector<int> codes = TabCodes();
  TL_ListItem item;
  for (int code : codes) {
    if (TL_openTag(s, code) != 0) continue;
    unsigned short count = 0;
    TL_readTagWeightCount(s, code, &count);
    for (int i = 0; i <= count && TL_readTagData(s, code, &item) == 0; ++i) {
    }
    TL_closeTag(s);
  }
}

void Enumerate(TL_FaxUtl* s, std::vector<unsigned short>* personal,
               std::vector<unsigned short>* groups) {
  unsigned short count = 0;
  if (TL_beginSRCH(s, &count) != 0) return;
  TL_ListItem item;
  for (int i = 0; i < 20000 && TL_readSrchData(s, &item) == 0; ++i) {
    (item.RecordNumber > 16384 ? groups : personal)->push_back(item.RecordNumber);
  }
  TL_endSRCH(s);
}

void ReadGroups(TL_FaxUtl* s) {
  TL_Group group;
  TL_ListItem item;
  for (int number = 16385; number <= 21384; ++number) {
    if (TL_openGroup(s, static_cast<unsigned short>(number)) != 0) continue;
    TL_readGroupData(s, &group);
    for (int i = 0; i < 70000 && TL_readGroupMember(s, &item) == 0; ++i) {
    }
    TL_closeGroup(s);
  }
}

// Every record the library reads in the file at path, by number, with its texts as a save
// repairs them (tabs become spaces first); groups up to 21384, as those above are moved.
struct Readable {
  bool opened = false;
  int version = 0;
  std::map<uint16_t, std::string> texts;
};

std::string Repaired(const char* text) {
  std::string out = text;
  for (char& c : out) c = c == '\t' ? ' ' : c;
  return out + '|';
}

Readable ReadAll(const std::string& path) {
  Readable readable;
  TL_FaxUtl* s = TL_CreateFaxUtl();
  if (s == nullptr) return readable;
  readable.opened = TL_openDataBase(s, path.c_str()) == 0;
  if (readable.opened) readable.version = TL_getFileVersion(s);
  for (uint32_t n = 1; readable.opened && n <= telbook::format::kLastNewGroup; ++n) {
    if (n == telbook::format::kLastPersonal + 1) n = telbook::format::kFirstGroup;
    uint16_t number = static_cast<uint16_t>(n);
    const uint8_t* slot = telbook::inspection::SlotOf(s, number);
    TL_ListItem item;
    if (slot == nullptr || telbook::Slot::kind(slot) == telbook::format::kKindFree ||
        telbook::inspection::ReadListItem(s, number, &item) != 0) {
      continue;
    }
    std::string& texts = readable.texts[number];
    if (number > telbook::format::kGroupBase) {
      TL_Group g{};
      if (TL_openGroup(s, number) != 0 || TL_readGroupData(s, &g) != 0) abort();
      TL_closeGroup(s);
      for (char& c : g.Name) c = c == '\t' ? ' ' : c;
      for (char& c : g.Furigana) c = c == '\t' ? ' ' : c;
      telbook::RecordConverter::RepairGroup(&g);
      texts = Repaired(g.Name) + Repaired(g.Furigana);
      continue;
    }
    TL_Kojin k{};
    if (TL_readKojin(s, &k, number) != 0) abort();
    for (char* field : {k.Name, k.Furigana, k.Affiliation, k.Phone, k.EMail, k.Memo}) {
      for (char* c = field; *c != '\0'; ++c) *c = *c == '\t' ? ' ' : *c;
    }
    telbook::RecordConverter::RepairKojin(&k);
    // Files before version 2 hide the extension strings that a repaired book shows.
    for (const char* field :
         {k.Name, k.Furigana, k.Affiliation, k.FaxNumber, k.Phone, k.EMail, k.Memo, k.BoxNumber,
          k.BoxPassword, k.HostText1, k.RelayId, k.BroadcastList, k.HostText2}) {
      texts += Repaired(field);
    }
    if (readable.version >= telbook::format::kVersion2) {
      texts += Repaired(k.SpeedDial) + Repaired(k.FCode) + Repaired(k.PCode);
    }
  }
  if (readable.opened) TL_closeDataBase(s, 1);
  TL_DestroyFaxUtl(s);
  return readable;
}

void Violated(const std::string& what) {
  fprintf(stderr, "repair broke its promise: %s\n", what.c_str());
  abort();
}

void RepairAndCheck(const std::string& path) {
  using namespace telbook::tool;
  Readable before = ReadAll(path);
  std::ostringstream told;
  try {
    RepairBook(path, RepairOptions(), told);
  } catch (const ToolError& e) {
    // A book the library opens is repaired, but for entries whose alternate destination a
    // version-2 book cannot keep.
    std::string why = e.what();
    if (e.status() == kExitFindings ||
        (before.opened && why.find("alternate destination") == std::string::npos)) {
      Violated(why + "\n" + told.str());
    }
    return;
  }
  CheckReport after = CheckFile(path);
  if (!after.findings.empty()) Violated(after.findings[0].where + ": " + after.findings[0].problem);
  Readable repaired = ReadAll(path);
  for (const auto& [number, texts] : before.texts) {
    auto kept = repaired.texts.find(number);
    if (kept == repaired.texts.end()) Violated("record " + std::to_string(number) + " lost");
    // Before version 2 the extension strings are hidden, and the repaired book may show them.
    bool same = before.version >= telbook::format::kVersion2
                    ? kept->second == texts
                    : kept->second.compare(0, texts.size(), texts) == 0;
    if (!same) Violated("record " + std::to_string(number) + " changed");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using telbook::fuzz::ScratchDir;
  telbook::fuzz::CleanScratch();
  const std::string book = ScratchDir() + "/book.tel";
  if (!telbook::fuzz::WriteWholeFile(book, data, size)) return 0;

  static NoSyncEnv env;
  telbook::SetSessionEnv(&env);
  TL_FaxUtl* s = TL_CreateFaxUtl();
  if (s == nullptr) return 0;
  if (TL_openDataBase(s, book.c_str()) == 0) {
    TL_Kojin entry;
    for (int number = 1; number <= 9999; ++number) {
      TL_readKojin(s, &entry, static_cast<unsigned short>(number));
    }
    WalkTabs(s);
    std::vector<unsigned short> personal, groups;
    Enumerate(s, &personal, &groups);
    ReadGroups(s);

    char names[5 * 16];
    TL_readOkonomi(s, 0, names);
    short flag = 0;
    const std::string text = ScratchDir() + "/export.txt";
    const std::string subset = ScratchDir() + "/subset.tel";
    TL_writeSrchData(s, personal.data(), static_cast<int>(personal.size()), groups.data(),
                     static_cast<int>(groups.size()), 0, text.c_str(), &flag);
    TL_writeSrchData(s, personal.data(), static_cast<int>(personal.size()), groups.data(),
                     static_cast<int>(groups.size()), 1, subset.c_str(), &flag);

    // Deletes: an entry is taken out of every group that lists it, whatever the group records
    // hold; then a group goes.
    if (!personal.empty()) TL_deleteKojin(s, personal.front());
    if (!groups.empty()) TL_deleteGroup(s, groups.back());

    // A change, then a save through the compaction of whatever the file held.
    memset(&entry, 0, sizeof entry);
    strcpy(entry.Name, "fuzz");
    strcpy(entry.Furigana, "\x82\xA0");
    unsigned short number = 0;
    if (TL_writeKojin(s, &entry, &number, 0) == 0) TL_closeDataBase(s, 0);
    TL_closeDataBase(s, 1);
  }
  TL_DestroyFaxUtl(s);

  const std::string damaged = ScratchDir() + "/damaged.tel";
  if (telbook::fuzz::WriteWholeFile(damaged, data, size)) RepairAndCheck(damaged);
  return 0;
}
