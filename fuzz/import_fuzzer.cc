// Fuzz target: arbitrary bytes given to the telbook tool's import, whatever they are (a text
// export, vCard, CSV, in any encoding), read and planned against a small book with the options
// the first byte chooses; the plan is checked for sense and turned into JSON.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>

#include "tools/import_plan.h"

namespace {

using namespace telbook::tool;

template <size_t N>
void ExpectTerminated(const char (&field)[N]) {
  if (strnlen(field, N) >= N) abort();
}

void ExpectSound(const TL_Kojin& k) {
  ExpectTerminated(k.Name);
  ExpectTerminated(k.Furigana);
  ExpectTerminated(k.Affiliation);
  ExpectTerminated(k.FaxNumber);
  ExpectTerminated(k.SpeedDial);
  ExpectTerminated(k.Phone);
  ExpectTerminated(k.EMail);
  ExpectTerminated(k.Memo);
  ExpectTerminated(k.FCode);
  ExpectTerminated(k.PCode);
  ExpectTerminated(k.BoxNumber);
  ExpectTerminated(k.BoxPassword);
  ExpectTerminated(k.RelayId);
  ExpectTerminated(k.BroadcastList);
  if (k.LineType > 2) abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  // Bits of the first byte: 0 UTF-8 named, 1 --strict, 2 --replace, 3 --fax-only,
  // 4 --allow-duplicates, 5 and 6 the format named (0 recognised, 1 text, 2 vcard, 3 csv).
  uint8_t bits = data[0];
  ImportOptions options;
  if (bits & 1) options.encoding = Encoding::kUtf8;
  options.strict = (bits & 2) != 0;
  options.replace = (bits & 4) != 0;
  options.fax_only = (bits & 8) != 0;
  options.allow_duplicates = (bits & 16) != 0;
  const ImportFormat formats[] = {ImportFormat::kAuto, ImportFormat::kText, ImportFormat::kVcard,
                                  ImportFormat::kCsv};
  options.format = formats[(bits >> 5) & 3];
  std::string bytes(reinterpret_cast<const char*>(data + 1), size - 1);
  ImportSource source;
  FileProblem problem;
  if (!ReadImportSource(bytes, options, &source, &problem)) {
    if (problem.reason.empty()) abort();  // every refusal says why
    return 0;
  }
  if (source.text.entries.size() > 9999 || source.text.groups.size() > 5000) abort();
  for (const auto& g : source.text.groups) {
    if (g.members.size() > 9999 || g.group.MemberCount != g.members.size()) abort();
    for (size_t index : g.members) {
      if (index >= source.text.entries.size()) abort();
    }
  }
  BookState book;
  book.entries.push_back({1, "山田 太郎", "やまだ たろう", "03-1234-5678"});
  BookState::Group group;
  group.number = 16385;
  group.name = "取引先";
  group.members = {1};
  book.groups.push_back(group);
  static const ReadingDeriver deriver;
  static const Folder folder;
  ImportPlan plan = MakeImportPlan(source, book, options, deriver, folder);
  std::set<int> numbers;
  for (const PlannedCard& c : plan.cards) {
    ExpectSound(c.entry);
    if (c.fate == CardFate::kAdd && plan.blocking.empty()) {
      if (c.number < 2 || c.number > 9999 || !numbers.insert(c.number).second) abort();
    }
    if (c.fate != CardFate::kAdd && c.reason.empty()) abort();
    for (size_t g : c.groups) {
      if (g >= plan.groups.size()) abort();
    }
  }
  for (const PlannedGroup& g : plan.groups) {
    ExpectTerminated(g.group.Name);
    ExpectTerminated(g.group.Furigana);
    for (size_t c : g.cards) {
      if (c >= plan.cards.size()) abort();
    }
  }
  // The plan as a page would get it: every text must be valid UTF-8, or dump() throws.
  ImportPlanJson(plan).dump();
  return 0;
}
