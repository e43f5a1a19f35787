// Fuzz target: arbitrary bytes in every value the settings are loaded from, read by
// TL_ReadFaxFileInfo and written back by TL_WriteFaxFileInfo and TL_WriteKeyWordInfo.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "fuzz_util.h"
#include "interface/telbook.h"
#include "platform/env.h"

namespace {

constexpr const char* kRoot = "SOFTWARE\\Kestrix\\KV Printer Driver Data\\Sendwell";
constexpr const char* kPhoneBookList =
    "SOFTWARE\\Kestrix\\KV Printer Driver Data\\Sendwell\\PhonebookList";
constexpr const char* kRecipientsList =
    "SOFTWARE\\Kestrix\\KV Printer Driver Data\\Sendwell\\RecipientsList";

struct Value {
  const char* key;
  const char* name;
};

const Value kValues[] = {
    {kRoot, "FuriganaTab"},
    {kRoot, "SearchCategory"},
    {kRoot, "SearchOption"},
    {kRoot, "KeyWord"},
    {kPhoneBookList, "SORT_ITEM"},
    {kPhoneBookList, "SORT_ORDER"},
    {kPhoneBookList, "COLUMN_WIDTH1"},
    {kPhoneBookList, "COLUMN_WIDTH2"},
    {kPhoneBookList, "COLUMN_WIDTH3"},
    {kPhoneBookList, "COLUMN_WIDTH4"},
    {kPhoneBookList, "COLUMN_WIDTH5"},
    {kRecipientsList, "COLUMN_WIDTH1"},
    {kRecipientsList, "COLUMN_WIDTH2"},
    {kRecipientsList, "COLUMN_WIDTH3"},
    {kRecipientsList, "COLUMN_WIDTH4"},
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using telbook::Env;
  telbook::fuzz::CleanScratch();
  setenv("TELBOOK_REGISTRY_DIR", telbook::fuzz::ScratchDir().c_str(), 1);

  // The input is split at 0xFF bytes into the values' contents, in table order; a value whose
  // part is missing stays missing.
  Env* env = Env::Default();
  size_t begin = 0;
  for (const Value& value : kValues) {
    if (begin > size) break;
    size_t end = begin;
    while (end < size && data[end] != 0xFF) ++end;
    telbook::KeyHandle key = env->OpenKey(value.key, /*create=*/true);
    if (key != nullptr) {
      env->SetValue(key, value.name, data + begin, static_cast<uint32_t>(end - begin));
      env->CloseKey(key);
    }
    begin = end + 1;
  }

  TL_FaxUtl* s = TL_CreateFaxUtl();
  if (s == nullptr) return 0;
  TL_ReadFaxFileInfo(s, "KeyWord");
  TL_KeyWordInfo keywords;
  TL_IniInfoGetKeyWordInfo(s, &keywords);
  TL_WriteFaxFileInfo(s, nullptr);
  TL_WriteKeyWordInfo(s, "KeyWord");
  TL_ReadFaxFileInfo(s, "KeyWord");
  TL_DestroyFaxUtl(s);
  return 0;
}
