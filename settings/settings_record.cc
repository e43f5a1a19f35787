// The settings record's reset, its host structure exchange and its registry load and store.
// The registry is touched only inside ReadFaxFileInfo, WriteFaxFileInfo and WriteKeyWordInfo.
#include "settings/settings_record.h"

#include <cstring>

#include "settings/keyword_list.h"
#include "settings/registry_value.h"
#include "store/file_store.h"

namespace telbook {

SettingsRecord::SettingsRecord(FileStore* store) : store_(store) { Reset(); }

Env* SettingsRecord::env() const { return store_->env(); }

void SettingsRecord::Reset() {
  memset(file_name_, 0, sizeof(file_name_));
  memset(&keywords_, 0, sizeof(keywords_));
  curr_srch_item_ = settings_default::kCurrSrchItem;
  curr_srch_keyword_ = settings_default::kCurrSrchKeyWord;
  curr_srch_condition_ = settings_default::kCurrSrchCondition;
  furigana_tab_ = settings_default::kFuriganaTab;
  memset(&phone_book_column_, 0, sizeof(phone_book_column_));
  phone_book_sort_.Stored = 0;
  phone_book_sort_.SortItem = settings_default::kSortItem;
  phone_book_sort_.SortOrder = settings_default::kSortOrder;
  memset(&recipents_column_, 0, sizeof(recipents_column_));
  search_info_.Stored = 0;
  search_info_.SearchCategory = settings_default::kSearchCategory;
  search_info_.SearchOption = settings_default::kSearchOption;
}

// ---- Registry ----

namespace {

// Reads every width of one list, or none: the first value that cannot be read leaves them all
// as they were. True when all were read.
bool ReadWidths(Env* env, const char* key, int columns, uint16_t* widths) {
  uint32_t numbers[registry::kPhoneBookColumns];
  for (int i = 0; i < columns; ++i) {
    if (!registry::ReadNumber(env, key, registry::kColumnWidth[i], registry::kColumnWidthCapacity,
                              &numbers[i])) {
      return false;
    }
  }
  for (int i = 0; i < columns; ++i) widths[i] = static_cast<uint16_t>(numbers[i]);
  return true;
}

}  // namespace

int SettingsRecord::ReadFaxFileInfo(const char* keyword_value_name) {
  Reset();
  Env* e = env();
  uint32_t number = 0;

  if (registry::ReadNumber(e, registry::kRootKey, registry::kFuriganaTab,
                           registry::kFuriganaTabCapacity, &number)) {
    furigana_tab_ = static_cast<int32_t>(number);
  }

  if (ReadWidths(e, registry::kPhoneBookListKey, registry::kPhoneBookColumns,
                 phone_book_column_.Width)) {
    phone_book_column_.Stored = 1;
  }

  if (registry::ReadNumber(e, registry::kPhoneBookListKey, registry::kSortItem,
                           registry::kSortCapacity, &number)) {
    phone_book_sort_.SortItem = static_cast<int32_t>(number);
    phone_book_sort_.Stored = 1;
  }
  if (registry::ReadNumber(e, registry::kPhoneBookListKey, registry::kSortOrder,
                           registry::kSortCapacity, &number)) {
    phone_book_sort_.SortOrder = static_cast<int32_t>(number);
  }

  if (ReadWidths(e, registry::kRecipientsListKey, registry::kRecipientsColumns,
                 recipents_column_.Width)) {
    recipents_column_.Stored = 1;
  }

  if (registry::ReadNumber(e, registry::kRootKey, registry::kSearchCategory,
                           registry::kSearchCapacity, &number)) {
    search_info_.SearchCategory = static_cast<uint16_t>(number);
    search_info_.Stored = 1;
  }
  if (registry::ReadNumber(e, registry::kRootKey, registry::kSearchOption,
                           registry::kSearchCapacity, &number)) {
    search_info_.SearchOption = static_cast<uint16_t>(number);
  }

  uint8_t text[keyword_list::kReadCapacity];
  uint32_t length = 0;
  if (registry::ReadValue(e, registry::kRootKey, keyword_value_name, text,
                          keyword_list::kReadCapacity, &length)) {
    keyword_list::Decode(text, length, &keywords_);
  }
  return 0;
}

int SettingsRecord::WriteFaxFileInfo() {
  Env* e = env();
  registry::WriteNumber(e, registry::kRootKey, registry::kFuriganaTab, furigana_tab_);
  for (int i = 0; i < registry::kPhoneBookColumns; ++i) {
    registry::WriteNumber(e, registry::kPhoneBookListKey, registry::kColumnWidth[i],
                          phone_book_column_.Width[i]);
  }
  registry::WriteNumber(e, registry::kPhoneBookListKey, registry::kSortItem,
                        phone_book_sort_.SortItem);
  registry::WriteNumber(e, registry::kPhoneBookListKey, registry::kSortOrder,
                        phone_book_sort_.SortOrder);
  for (int i = 0; i < registry::kRecipientsColumns; ++i) {
    registry::WriteNumber(e, registry::kRecipientsListKey, registry::kColumnWidth[i],
                          recipents_column_.Width[i]);
  }
  registry::WriteNumber(e, registry::kRootKey, registry::kSearchCategory,
                        search_info_.SearchCategory);
  return registry::WriteNumber(e, registry::kRootKey, registry::kSearchOption,
                               search_info_.SearchOption);
}

int SettingsRecord::WriteKeyWordInfo(const char* keyword_value_name) {
  uint8_t text[keyword_list::kMaxTextSize];
  uint32_t length = keyword_list::Encode(keywords_, text);
  return registry::WriteValue(env(), registry::kRootKey, keyword_value_name, text, length);
}

// ---- Host structures ----

void SettingsRecord::GetFileName(char* out) const {
  if (out != nullptr) memcpy(out, file_name_, strnlen(file_name_, kFileNameSize - 1) + 1);
}

void SettingsRecord::GetKeyWordInfo(TL_KeyWordInfo* out) const {
  if (out != nullptr) *out = keywords_;
}
void SettingsRecord::SetKeyWordInfo(const TL_KeyWordInfo* in) {
  if (in != nullptr) keywords_ = *in;
}

void SettingsRecord::GetFuriganaTab(int32_t* out) const {
  if (out != nullptr) *out = furigana_tab_;
}

void SettingsRecord::GetPhoneBookColumn(TL_PhoneBookColumn* out) const {
  if (out != nullptr) *out = phone_book_column_;
}
void SettingsRecord::SetPhoneBookColumn(const TL_PhoneBookColumn* in) {
  if (in != nullptr) phone_book_column_ = *in;
}

void SettingsRecord::GetPhoneBookSort(TL_PhoneBookSort* out) const {
  if (out != nullptr) *out = phone_book_sort_;
}
void SettingsRecord::SetPhoneBookSort(const TL_PhoneBookSort* in) {
  if (in != nullptr) phone_book_sort_ = *in;
}

void SettingsRecord::GetRecipentsColumn(TL_RecipentsColumn* out) const {
  if (out != nullptr) *out = recipents_column_;
}
void SettingsRecord::SetRecipentsColumn(const TL_RecipentsColumn* in) {
  if (in != nullptr) recipents_column_ = *in;
}

void SettingsRecord::GetSearchInfo(TL_SearchInfo* out) const {
  if (out != nullptr) *out = search_info_;
}
void SettingsRecord::SetSearchInfo(const TL_SearchInfo* in) {
  if (in != nullptr) search_info_ = *in;
}

void SettingsRecord::GetCurrSrchItem(uint16_t* out) const {
  if (out != nullptr) *out = curr_srch_item_;
}
void SettingsRecord::GetCurrSrchKeyWord(uint16_t* out) const {
  if (out != nullptr) *out = static_cast<uint16_t>(curr_srch_keyword_);
}
void SettingsRecord::GetCurrSrchCondition(uint16_t* out) const {
  if (out != nullptr) *out = curr_srch_condition_;
}

}  // namespace telbook
