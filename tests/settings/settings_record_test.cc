// The settings record through the IniInfo functions: whole structures in and out, the current
// search choices, and the state of a session that never loaded the registry.
#include <gtest/gtest.h>

#include <cstring>

#include "interface/telbook.h"
#include "test_util.h"

namespace telbook {
namespace test {
namespace {

TEST(SettingsRecordTest, StructuresComeBackByteForByte) {
  SessionHolder s;
  TL_PhoneBookColumn columns = {0, {10, 20, 30, 40, 50}};
  TL_IniInfoSetPhoneBookColumn(s, &columns);
  TL_PhoneBookColumn out;
  memset(&out, 0xEE, sizeof(out));
  TL_IniInfoGetPhoneBookColumn(s, &out);
  const uint8_t expected[14] = {0, 0, 0, 0, 10, 0, 20, 0, 30, 0, 40, 0, 50, 0};
  EXPECT_EQ(0, memcmp(&out, expected, sizeof(expected)));

  TL_PhoneBookSort sort = {7, -2, 0x12345678};
  TL_IniInfoSetPhoneBookSort(s, &sort);
  TL_PhoneBookSort sort_out = {};
  TL_IniInfoGetPhoneBookSort(s, &sort_out);
  EXPECT_EQ(0, memcmp(&sort_out, &sort, sizeof(sort)));

  TL_RecipentsColumn recipients = {-1, {1, 0xFFFF, 3, 4}};
  TL_IniInfoSetRecipentsColumn(s, &recipients);
  TL_RecipentsColumn recipients_out = {};
  TL_IniInfoGetRecipentsColumn(s, &recipients_out);
  EXPECT_EQ(0, memcmp(&recipients_out, &recipients, sizeof(recipients)));

  TL_SearchInfo search = {1, 0xABCD, 0x1234};
  TL_IniInfoSetSearchInfo(s, &search);
  TL_SearchInfo search_out = {};
  TL_IniInfoGetSearchInfo(s, &search_out);
  EXPECT_EQ(0, memcmp(&search_out, &search, sizeof(search)));

  // The keyword list is kept whole and unchecked, count and unterminated slots included.
  TL_KeyWordInfo keywords;
  memset(&keywords, 'k', sizeof(keywords));
  keywords.Count = 500;
  TL_IniInfoSetKeyWordInfo(s, &keywords);
  TL_KeyWordInfo keywords_out = {};
  TL_IniInfoGetKeyWordInfo(s, &keywords_out);
  EXPECT_EQ(0, memcmp(&keywords_out, &keywords, sizeof(keywords)));

  TL_IniInfoSetFuriganaTab(s, -5);
  int32_t furigana = 0;
  TL_IniInfoGetFuriganaTab(s, &furigana);
  EXPECT_EQ(furigana, -5);
}

TEST(SettingsRecordTest, CurrentSearchChoicesKeepSixteenBits) {
  SessionHolder s;
  TL_IniInfoSetCurrSrchKeyWord(s, 0x12345);
  unsigned short keyword = 0;
  TL_IniInfoGetCurrSrchKeyWord(s, &keyword);
  EXPECT_EQ(keyword, 0x2345);

  TL_IniInfoSetCurrSrchItem(s, 0xFFFF);
  TL_IniInfoSetCurrSrchCondition(s, 3);
  unsigned short item = 0, condition = 0;
  TL_IniInfoGetCurrSrchItem(s, &item);
  TL_IniInfoGetCurrSrchCondition(s, &condition);
  EXPECT_EQ(item, 0xFFFF);
  EXPECT_EQ(condition, 3);
}

TEST(SettingsRecordTest, ANewSessionHoldsTheDefaultsAndIgnoresNullPointers) {
  SessionHolder s;
  unsigned short item = 0, keyword = 0, condition = 9;
  TL_IniInfoGetCurrSrchItem(s, &item);
  TL_IniInfoGetCurrSrchKeyWord(s, &keyword);
  TL_IniInfoGetCurrSrchCondition(s, &condition);
  EXPECT_EQ(item, 1);
  EXPECT_EQ(keyword, 11);
  EXPECT_EQ(condition, 0);
  TL_PhoneBookSort sort = {};
  TL_IniInfoGetPhoneBookSort(s, &sort);
  EXPECT_EQ(sort.SortItem, 2);
  EXPECT_EQ(sort.SortOrder, 1);
  int32_t furigana = 0;
  TL_IniInfoGetFuriganaTab(s, &furigana);
  EXPECT_EQ(furigana, 1);

  TL_IniInfoGetFileName(s, nullptr);
  TL_IniInfoGetKeyWordInfo(s, nullptr);
  TL_IniInfoSetKeyWordInfo(s, nullptr);
  TL_IniInfoSetPhoneBookColumn(s, nullptr);
  TL_IniInfoGetSearchInfo(s, nullptr);
  TL_IniInfoGetCurrSrchItem(s, nullptr);
  TL_IniInfoGetPhoneBookSort(s, &sort);
  EXPECT_EQ(sort.SortItem, 2);
  EXPECT_EQ(ErrorOf(s), (Pair{0, 0}));
}

}  // namespace
}  // namespace test
}  // namespace telbook
