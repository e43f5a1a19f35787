// Fuzz target: arbitrary bytes read as a text export by the telbook tool's import, in code page
// 932 and in UTF-8 (low bit of the first byte), and the records it yields checked for sense.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "tools/import_text.h"

namespace {

template <size_t N>
void ExpectTerminated(const char (&field)[N]) {
  if (strnlen(field, N) >= N) abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  bool utf8 = (data[0] & 1) != 0;
  telbook::tool::ImportedText text;
  telbook::tool::ImportProblem problem;
  bool ok = telbook::tool::ParseTextExport(reinterpret_cast<const char*>(data + 1), size - 1, utf8,
                                           &text, &problem);
  if (!ok) {
    if (problem.reason.empty()) abort();  // every refusal says why
    return 0;
  }
  if (text.entries.size() > 9999 || text.groups.size() > 5000) abort();
  for (const auto& e : text.entries) {
    const TL_Kojin& k = e.entry;
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
  for (const auto& g : text.groups) {
    ExpectTerminated(g.group.Name);
    ExpectTerminated(g.group.Furigana);
    if (g.members.size() > 9999 || g.group.MemberCount != g.members.size()) abort();
    for (size_t index : g.members) {
      if (index >= text.entries.size()) abort();
    }
  }
  return 0;
}
