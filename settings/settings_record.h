// The settings record: the host's user settings exchanged through the IniInfo functions, the
// current search choices, and their loading from and storing to the registry.
#ifndef TELBOOK_SETTINGS_SETTINGS_RECORD_H_
#define TELBOOK_SETTINGS_SETTINGS_RECORD_H_

#include <cstdint>

#include "interface/telbook.h"
#include "platform/env.h"

namespace telbook {

class FileStore;

// Values after a reset.
namespace settings_default {
constexpr uint16_t kCurrSrchItem = 1;
constexpr uint32_t kCurrSrchKeyWord = 11;
constexpr uint16_t kCurrSrchCondition = 0;
constexpr int32_t kFuriganaTab = 1;
constexpr int32_t kSortItem = 2;
constexpr int32_t kSortOrder = 1;
constexpr uint16_t kSearchCategory = 1;
constexpr uint16_t kSearchOption = 0;
}  // namespace settings_default

class SettingsRecord final {
 public:
  static constexpr size_t kFileNameSize = 260;

  // The record is reset when built, so the getters hand out the defaults even before the first
  // ReadFaxFileInfo.
  explicit SettingsRecord(FileStore* store);
  SettingsRecord(const SettingsRecord&) = delete;
  SettingsRecord& operator=(const SettingsRecord&) = delete;

  // Every field back to its default; the file name empty.
  void Reset();

  // ---- Registry (never touches the phone book) ----
  // Resets, then loads every stored value over the defaults. A value that is missing, longer
  // than its capacity or unreadable leaves its field at the default. Returns 0.
  int ReadFaxFileInfo(const char* keyword_value_name);
  // Writes every view setting, each whatever happened to the ones before. Returns 1 when the
  // last value (SearchOption) was stored, else 0.
  int WriteFaxFileInfo();
  // Writes the keyword list (at most 10 keywords of at most 81 bytes each) to the named value of
  // the root key. Returns 1 when stored, else 0.
  int WriteKeyWordInfo(const char* keyword_value_name);

  // ---- Host structures, copied whole; null pointers are ignored ----
  void GetFileName(char* out) const;
  void GetKeyWordInfo(TL_KeyWordInfo* out) const;
  void SetKeyWordInfo(const TL_KeyWordInfo* in);
  void GetFuriganaTab(int32_t* out) const;
  void SetFuriganaTab(int32_t value) { furigana_tab_ = value; }
  void GetPhoneBookColumn(TL_PhoneBookColumn* out) const;
  void SetPhoneBookColumn(const TL_PhoneBookColumn* in);
  void GetPhoneBookSort(TL_PhoneBookSort* out) const;
  void SetPhoneBookSort(const TL_PhoneBookSort* in);
  void GetRecipentsColumn(TL_RecipentsColumn* out) const;
  void SetRecipentsColumn(const TL_RecipentsColumn* in);
  void GetSearchInfo(TL_SearchInfo* out) const;
  void SetSearchInfo(const TL_SearchInfo* in);

  // ---- Current search choices (never stored in the registry) ----
  void GetCurrSrchItem(uint16_t* out) const;
  void SetCurrSrchItem(uint16_t value) { curr_srch_item_ = value; }
  // Only the low 16 bits are exchanged; the field keeps them zero-extended.
  void GetCurrSrchKeyWord(uint16_t* out) const;
  void SetCurrSrchKeyWord(uint32_t value) { curr_srch_keyword_ = value & 0xFFFFu; }
  void GetCurrSrchCondition(uint16_t* out) const;
  void SetCurrSrchCondition(uint16_t value) { curr_srch_condition_ = value; }

 private:
  Env* env() const;

  FileStore* store_;
  char file_name_[kFileNameSize];
  TL_KeyWordInfo keywords_;
  uint16_t curr_srch_item_;
  uint32_t curr_srch_keyword_;
  uint16_t curr_srch_condition_;
  int32_t furigana_tab_;
  TL_PhoneBookColumn phone_book_column_;
  TL_PhoneBookSort phone_book_sort_;
  TL_RecipentsColumn recipents_column_;
  TL_SearchInfo search_info_;
};

}  // namespace telbook

#endif  // TELBOOK_SETTINGS_SETTINGS_RECORD_H_
