// Fuzz target: an arbitrary file opened as a phone book, then every entry read, every tab
// walked, an enumeration, every group opened and read, both exports, deletes, and a save.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz_util.h"
#include "interface/telbook.h"
#include "platform/env.h"
#include "platform/fault_env.h"

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
  return 0;
}
