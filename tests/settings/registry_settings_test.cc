// Loading and storing the settings through the exported functions, with the registry seeded and
// inspected through the platform's own registry (the store directory on POSIX, the real registry
// under Wine).
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "interface/telbook.h"
#include "platform/fault_env.h"
#include "settings/registry_sandbox.h"
#include "settings/registry_value.h"
#include "test_util.h"

namespace telbook {
namespace test {
namespace {

using registry::kPhoneBookListKey;
using registry::kRecipientsListKey;
using registry::kRootKey;

constexpr char kKeywords[] = "KeyWordList";

class RegistrySettingsTest : public ::testing::Test {
 protected:
  std::string Stored(const char* key, const char* name) {
    std::string data;
    EXPECT_TRUE(box_.Value(key, name, &data)) << name;
    return data;
  }
  int32_t Furigana() {
    int32_t v = -7;
    TL_IniInfoGetFuriganaTab(s_, &v);
    return v;
  }
  TL_PhoneBookColumn PhoneBookColumn() {
    TL_PhoneBookColumn c;
    memset(&c, 0xEE, sizeof(c));
    TL_IniInfoGetPhoneBookColumn(s_, &c);
    return c;
  }
  TL_KeyWordInfo KeyWords() {
    TL_KeyWordInfo k;
    memset(&k, 0xEE, sizeof(k));
    TL_IniInfoGetKeyWordInfo(s_, &k);
    return k;
  }
  void SeedWidths(const char* key, int count) {
    for (int i = 1; i <= count; ++i) {
      box_.Seed(key, ("COLUMN_WIDTH" + std::to_string(i)).c_str(), std::to_string(i * 11));
    }
  }

  RegistrySandbox box_;
  SessionHolder s_;
};

TEST_F(RegistrySettingsTest, EmptyRegistryLoadsTheDefaults) {
  // Whatever the host set before is reset, the current search choices included.
  TL_IniInfoSetFuriganaTab(s_, 5);
  TL_IniInfoSetCurrSrchItem(s_, 9);
  TL_IniInfoSetCurrSrchKeyWord(s_, 9);
  TL_IniInfoSetCurrSrchCondition(s_, 9);
  TL_PhoneBookColumn set_columns = {1, {1, 2, 3, 4, 5}};
  TL_IniInfoSetPhoneBookColumn(s_, &set_columns);

  EXPECT_EQ(TL_ReadFaxFileInfo(s_, kKeywords), 0);

  EXPECT_EQ(Furigana(), 1);
  TL_PhoneBookColumn columns = PhoneBookColumn();
  EXPECT_EQ(columns.Stored, 0);
  for (uint16_t w : columns.Width) EXPECT_EQ(w, 0);
  TL_PhoneBookSort sort = {};
  TL_IniInfoGetPhoneBookSort(s_, &sort);
  EXPECT_EQ(sort.Stored, 0);
  EXPECT_EQ(sort.SortItem, 2);
  EXPECT_EQ(sort.SortOrder, 1);
  TL_RecipentsColumn recipients;
  memset(&recipients, 0xEE, sizeof(recipients));
  TL_IniInfoGetRecipentsColumn(s_, &recipients);
  EXPECT_EQ(recipients.Stored, 0);
  for (uint16_t w : recipients.Width) EXPECT_EQ(w, 0);
  TL_SearchInfo search = {};
  TL_IniInfoGetSearchInfo(s_, &search);
  EXPECT_EQ(search.Stored, 0);
  EXPECT_EQ(search.SearchCategory, 1);
  EXPECT_EQ(search.SearchOption, 0);
  TL_KeyWordInfo keywords = KeyWords();
  EXPECT_EQ(keywords.Count, 0);
  for (const auto& k : keywords.KeyWord) EXPECT_EQ(k[0], '\0');
  char name[260];
  memset(name, 'x', sizeof(name));
  TL_IniInfoGetFileName(s_, name);
  EXPECT_EQ(name[0], '\0');

  unsigned short item = 0, keyword = 0, condition = 7;
  TL_IniInfoGetCurrSrchItem(s_, &item);
  TL_IniInfoGetCurrSrchKeyWord(s_, &keyword);
  TL_IniInfoGetCurrSrchCondition(s_, &condition);
  EXPECT_EQ(item, 1);
  EXPECT_EQ(keyword, 11);
  EXPECT_EQ(condition, 0);
  // Reading creates nothing.
  EXPECT_FALSE(box_.KeyExists(kRootKey));
}

TEST_F(RegistrySettingsTest, StoredValuesLoadWithTheirFlags) {
  box_.Seed(kRootKey, "FuriganaTab", "0");
  SeedWidths(kPhoneBookListKey, 5);
  box_.Seed(kPhoneBookListKey, "SORT_ITEM", "4");
  box_.Seed(kPhoneBookListKey, "SORT_ORDER", "0");
  SeedWidths(kRecipientsListKey, 4);
  box_.Seed(kRootKey, "SearchCategory", "3");
  box_.Seed(kRootKey, "SearchOption", "2");
  ASSERT_EQ(TL_ReadFaxFileInfo(s_, kKeywords), 0);

  EXPECT_EQ(Furigana(), 0);
  TL_PhoneBookColumn columns = PhoneBookColumn();
  EXPECT_EQ(columns.Stored, 1);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(columns.Width[i], (i + 1) * 11);
  TL_PhoneBookSort sort = {};
  TL_IniInfoGetPhoneBookSort(s_, &sort);
  EXPECT_EQ(sort.Stored, 1);
  EXPECT_EQ(sort.SortItem, 4);
  EXPECT_EQ(sort.SortOrder, 0);
  TL_RecipentsColumn recipients = {};
  TL_IniInfoGetRecipentsColumn(s_, &recipients);
  EXPECT_EQ(recipients.Stored, 1);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(recipients.Width[i], (i + 1) * 11);
  TL_SearchInfo search = {};
  TL_IniInfoGetSearchInfo(s_, &search);
  EXPECT_EQ(search.Stored, 1);
  EXPECT_EQ(search.SearchCategory, 3);
  EXPECT_EQ(search.SearchOption, 2);
}

TEST_F(RegistrySettingsTest, ColumnWidthsLoadAllOrNothingPerList) {
  SeedWidths(kPhoneBookListKey, 4);  // COLUMN_WIDTH5 missing
  SeedWidths(kRecipientsListKey, 4);
  ASSERT_EQ(TL_ReadFaxFileInfo(s_, kKeywords), 0);
  TL_PhoneBookColumn columns = PhoneBookColumn();
  EXPECT_EQ(columns.Stored, 0);
  for (uint16_t w : columns.Width) EXPECT_EQ(w, 0);
  TL_RecipentsColumn recipients = {};
  TL_IniInfoGetRecipentsColumn(s_, &recipients);
  EXPECT_EQ(recipients.Stored, 1);
  EXPECT_EQ(recipients.Width[3], 44);

  // One width too long for its 128 bytes counts as missing too.
  SeedWidths(kPhoneBookListKey, 5);
  box_.Seed(kPhoneBookListKey, "COLUMN_WIDTH3", std::string(129, '1'));
  ASSERT_EQ(TL_ReadFaxFileInfo(s_, kKeywords), 0);
  columns = PhoneBookColumn();
  EXPECT_EQ(columns.Stored, 0);
  for (uint16_t w : columns.Width) EXPECT_EQ(w, 0);
}

TEST_F(RegistrySettingsTest, SortOrderLoadsWithoutSortItem) {
  box_.Seed(kPhoneBookListKey, "SORT_ORDER", "0");
  box_.Seed(kRootKey, "SearchOption", "5");
  ASSERT_EQ(TL_ReadFaxFileInfo(s_, kKeywords), 0);
  TL_PhoneBookSort sort = {};
  TL_IniInfoGetPhoneBookSort(s_, &sort);
  EXPECT_EQ(sort.Stored, 0);
  EXPECT_EQ(sort.SortItem, 2);
  EXPECT_EQ(sort.SortOrder, 0);
  TL_SearchInfo search = {};
  TL_IniInfoGetSearchInfo(s_, &search);
  EXPECT_EQ(search.Stored, 0);
  EXPECT_EQ(search.SearchCategory, 1);
  EXPECT_EQ(search.SearchOption, 5);
}

TEST_F(RegistrySettingsTest, NumberTextsFollowTheCapacityAndDigitRules) {
  struct Case {
    std::string text;
    int32_t expected;
  } cases[] = {
      {"12345", 1},                 // five bytes, above the capacity of 4: the default stays
      {"1234", 1234},               // exactly the capacity
      {"x", 0},                     // not a number: 0, not the default
      {"12a", 0},                   // a non-digit anywhere gives 0
      {" 7", 0},                    // no blanks
      {"-1", 0},                    // no sign
      {"007", 7},                   // leading zeros are read
      {"", 0},                      // the empty text
      {std::string("9\0x", 3), 9},  // up to the first zero byte
  };
  for (const Case& c : cases) {
    box_.Seed(kRootKey, "FuriganaTab", c.text);
    ASSERT_EQ(TL_ReadFaxFileInfo(s_, kKeywords), 0);
    EXPECT_EQ(Furigana(), c.expected) << "text \"" << c.text << "\"";
  }
  // A width above 16 bits keeps its low 16 bits.
  SeedWidths(kPhoneBookListKey, 5);
  box_.Seed(kPhoneBookListKey, "COLUMN_WIDTH2", "65537");
  ASSERT_EQ(TL_ReadFaxFileInfo(s_, kKeywords), 0);
  EXPECT_EQ(PhoneBookColumn().Width[1], 1);
  // A search category that is not a number still counts as stored.
  box_.Seed(kRootKey, "SearchCategory", "two");
  ASSERT_EQ(TL_ReadFaxFileInfo(s_, kKeywords), 0);
  TL_SearchInfo search = {};
  TL_IniInfoGetSearchInfo(s_, &search);
  EXPECT_EQ(search.Stored, 1);
  EXPECT_EQ(search.SearchCategory, 0);
}

TEST_F(RegistrySettingsTest, WriteCreatesMissingKeysAndStoresDecimalTexts) {
  ASSERT_EQ(TL_ReadFaxFileInfo(s_, kKeywords), 0);
  TL_PhoneBookColumn columns = {0, {65535, 0, 30, 40, 50}};
  TL_IniInfoSetPhoneBookColumn(s_, &columns);
  TL_RecipentsColumn recipients = {0, {7, 8, 9, 10}};
  TL_IniInfoSetRecipentsColumn(s_, &recipients);
  TL_PhoneBookSort sort = {0, -3, 0};
  TL_IniInfoSetPhoneBookSort(s_, &sort);
  TL_SearchInfo search = {0, 2, 1};
  TL_IniInfoSetSearchInfo(s_, &search);
  TL_IniInfoSetFuriganaTab(s_, -1);

  EXPECT_EQ(TL_WriteFaxFileInfo(s_, nullptr), 1);
  EXPECT_TRUE(box_.KeyExists(kRootKey));
  EXPECT_TRUE(box_.KeyExists(kPhoneBookListKey));
  EXPECT_TRUE(box_.KeyExists(kRecipientsListKey));
  EXPECT_EQ(Stored(kPhoneBookListKey, "COLUMN_WIDTH1"), "65535");
  EXPECT_EQ(Stored(kPhoneBookListKey, "COLUMN_WIDTH2"), "0");
  EXPECT_EQ(Stored(kPhoneBookListKey, "COLUMN_WIDTH5"), "50");
  EXPECT_EQ(Stored(kPhoneBookListKey, "SORT_ITEM"), "4294967293");
  EXPECT_EQ(Stored(kPhoneBookListKey, "SORT_ORDER"), "0");
  EXPECT_EQ(Stored(kRecipientsListKey, "COLUMN_WIDTH4"), "10");
  EXPECT_EQ(Stored(kRootKey, "SearchCategory"), "2");
  EXPECT_EQ(Stored(kRootKey, "SearchOption"), "1");
  // A negative 32-bit field is stored as its unsigned pattern; the sort item loads it back
  // unchanged, the furigana switch cannot (ten digits exceed its four bytes) and keeps 1.
  EXPECT_EQ(Stored(kRootKey, "FuriganaTab"), "4294967295");
  std::string none;
  EXPECT_FALSE(box_.Value(kRecipientsListKey, "COLUMN_WIDTH5", &none));

  // Everything written loads back, now with the stored flags set.
  SessionHolder other;
  ASSERT_EQ(TL_ReadFaxFileInfo(other, kKeywords), 0);
  TL_PhoneBookColumn back = {};
  TL_IniInfoGetPhoneBookColumn(other, &back);
  EXPECT_EQ(back.Stored, 1);
  EXPECT_EQ(back.Width[0], 65535);
  EXPECT_EQ(back.Width[4], 50);
  int32_t furigana = 0;
  TL_IniInfoGetFuriganaTab(other, &furigana);
  EXPECT_EQ(furigana, 1);
  TL_PhoneBookSort sort_back = {};
  TL_IniInfoGetPhoneBookSort(other, &sort_back);
  EXPECT_EQ(sort_back.Stored, 1);
  EXPECT_EQ(sort_back.SortItem, -3);
  EXPECT_EQ(sort_back.SortOrder, 0);
}

TEST_F(RegistrySettingsTest, KeywordListIsStoredAsTheDocumentedBytes) {
  TL_KeyWordInfo k = {};
  k.Count = 2;
  strcpy(k.KeyWord[0], "abc");
  strcpy(k.KeyWord[1], "def");
  strcpy(k.KeyWord[2], "not counted");
  TL_IniInfoSetKeyWordInfo(s_, &k);
  EXPECT_EQ(TL_WriteKeyWordInfo(s_, kKeywords), 1);
  const char expected[] = {'2', '\r', '\n', 'a', 'b', 'c', '\r', '\n', 'd', 'e', 'f', '\r', '\n'};
  EXPECT_EQ(Stored(kRootKey, kKeywords), std::string(expected, sizeof(expected)));

  k.Count = 0;
  TL_IniInfoSetKeyWordInfo(s_, &k);
  EXPECT_EQ(TL_WriteKeyWordInfo(s_, kKeywords), 1);
  EXPECT_EQ(Stored(kRootKey, kKeywords), "0\r\n");
}

TEST_F(RegistrySettingsTest, KeywordListLoadsLineByLine) {
  box_.Seed(kRootKey, kKeywords, "3\r\na\r\nb");
  ASSERT_EQ(TL_ReadFaxFileInfo(s_, kKeywords), 0);
  TL_KeyWordInfo k = KeyWords();
  EXPECT_EQ(k.Count, 3);
  EXPECT_STREQ(k.KeyWord[0], "a");
  EXPECT_EQ(k.KeyWord[1][0], '\0');
  EXPECT_EQ(k.KeyWord[2][0], '\0');

  // No complete line: count 0. The value name is the host's.
  box_.Seed(kRootKey, "Other", "5");
  ASSERT_EQ(TL_ReadFaxFileInfo(s_, "Other"), 0);
  EXPECT_EQ(KeyWords().Count, 0);

  // A set but unwritten list is lost at the next load.
  TL_KeyWordInfo set = {};
  set.Count = 1;
  strcpy(set.KeyWord[0], "zz");
  TL_IniInfoSetKeyWordInfo(s_, &set);
  ASSERT_EQ(TL_ReadFaxFileInfo(s_, kKeywords), 0);
  EXPECT_STREQ(KeyWords().KeyWord[0], "a");
}

TEST_F(RegistrySettingsTest, KeywordCountAboveTenIsTenBothWays) {
  TL_KeyWordInfo k = {};
  k.Count = 12;
  for (int i = 0; i < 10; ++i) k.KeyWord[i][0] = static_cast<char>('a' + i);
  TL_IniInfoSetKeyWordInfo(s_, &k);
  ASSERT_EQ(TL_WriteKeyWordInfo(s_, kKeywords), 1);
  EXPECT_EQ(Stored(kRootKey, kKeywords),
            "10\r\na\r\nb\r\nc\r\nd\r\ne\r\nf\r\ng\r\nh\r\ni\r\nj\r\n");

  std::string text = "25\r\n";
  for (int i = 0; i < 12; ++i) text += std::string(1, static_cast<char>('A' + i)) + "\r\n";
  box_.Seed(kRootKey, kKeywords, text);
  ASSERT_EQ(TL_ReadFaxFileInfo(s_, kKeywords), 0);
  TL_KeyWordInfo back = KeyWords();
  EXPECT_EQ(back.Count, 10);
  EXPECT_STREQ(back.KeyWord[0], "A");
  EXPECT_STREQ(back.KeyWord[9], "J");
}

TEST_F(RegistrySettingsTest, LongKeywordLinesAreCutTo81Bytes) {
  std::string long_line(100, 'q');
  box_.Seed(kRootKey, kKeywords, "2\r\n" + long_line + "\r\nshort\r\n");
  ASSERT_EQ(TL_ReadFaxFileInfo(s_, kKeywords), 0);
  TL_KeyWordInfo k = KeyWords();
  EXPECT_EQ(k.Count, 2);
  EXPECT_EQ(std::string(k.KeyWord[0]), std::string(81, 'q'));
  EXPECT_STREQ(k.KeyWord[1], "short");

  // A slot filled to its last byte without a terminator is written as its first 81 bytes.
  TL_KeyWordInfo full = {};
  full.Count = 1;
  memset(full.KeyWord[0], 'w', sizeof(full.KeyWord[0]));
  memset(full.KeyWord[1], 'v', sizeof(full.KeyWord[1]));
  TL_IniInfoSetKeyWordInfo(s_, &full);
  ASSERT_EQ(TL_WriteKeyWordInfo(s_, kKeywords), 1);
  EXPECT_EQ(Stored(kRootKey, kKeywords), "1\r\n" + std::string(81, 'w') + "\r\n");
}

TEST_F(RegistrySettingsTest, AFullListOfLongKeywordsRoundTrips) {
  TL_KeyWordInfo k = {};
  k.Count = 10;
  for (int i = 0; i < 10; ++i) memset(k.KeyWord[i], '0' + i, 81);
  TL_IniInfoSetKeyWordInfo(s_, &k);
  ASSERT_EQ(TL_WriteKeyWordInfo(s_, kKeywords), 1);
  EXPECT_EQ(Stored(kRootKey, kKeywords).size(), 834u);
  ASSERT_EQ(TL_ReadFaxFileInfo(s_, kKeywords), 0);
  TL_KeyWordInfo back = KeyWords();
  EXPECT_EQ(0, memcmp(&back, &k, sizeof(k)));

  // Beyond what the writer can make, the value is refused whole.
  box_.Seed(kRootKey, kKeywords, "1\r\nabc\r\n" + std::string(900, 'z'));
  ASSERT_EQ(TL_ReadFaxFileInfo(s_, kKeywords), 0);
  EXPECT_EQ(KeyWords().Count, 0);
}

class RegistryFaultTest : public RegistrySettingsTest {
 protected:
  RegistryFaultTest() : faults_(Env::Default()), scope_(&faults_) {}
  FaultEnv faults_;
  ScopedSessionEnv scope_;
};

TEST_F(RegistryFaultTest, WriteFaxFileInfoReportsOnlyItsLastWrite) {
  SessionHolder s;
  // Each value write is one key open and one value set: 14 values, 28 operations.
  faults_.Reset();
  ASSERT_EQ(TL_WriteFaxFileInfo(s, nullptr), 1);
  ASSERT_EQ(faults_.Count(FaultKind::kRegistry), 28);

  // The first value fails; the writes after it go on and the result is that of the last.
  TL_IniInfoSetFuriganaTab(s, 0);
  TL_SearchInfo search = {0, 6, 4};
  TL_IniInfoSetSearchInfo(s, &search);
  faults_.Reset();
  faults_.FailAt(FaultKind::kRegistry, 1);
  EXPECT_EQ(TL_WriteFaxFileInfo(s, nullptr), 1);
  EXPECT_EQ(Stored(kRootKey, "FuriganaTab"), "1");
  EXPECT_EQ(Stored(kRootKey, "SearchCategory"), "6");

  // The last key open fails, then the last value set fails: 0 either way.
  for (int nth : {27, 28}) {
    search.SearchOption = static_cast<uint16_t>(nth);
    TL_IniInfoSetSearchInfo(s, &search);
    faults_.Reset();
    faults_.FailAt(FaultKind::kRegistry, nth);
    EXPECT_EQ(TL_WriteFaxFileInfo(s, nullptr), 0) << nth;
    EXPECT_EQ(Stored(kRootKey, "SearchOption"), "4");
  }

  faults_.Reset();
  faults_.FailAt(FaultKind::kRegistry, 2);
  EXPECT_EQ(TL_WriteKeyWordInfo(s, kKeywords), 0);
  faults_.Reset();
  EXPECT_EQ(TL_WriteKeyWordInfo(s, kKeywords), 1);
}

TEST_F(RegistryFaultTest, AFailedReadLeavesItsFieldAtTheDefault) {
  box_.Seed(kRootKey, "FuriganaTab", "0");
  SeedWidths(kPhoneBookListKey, 5);
  SessionHolder s;
  // Operations: FuriganaTab open+query (1, 2), then the five widths (3 to 12).
  for (int nth : {1, 2}) {
    faults_.Reset();
    faults_.FailAt(FaultKind::kRegistry, nth);
    ASSERT_EQ(TL_ReadFaxFileInfo(s, kKeywords), 0);
    int32_t furigana = 9;
    TL_IniInfoGetFuriganaTab(s, &furigana);
    EXPECT_EQ(furigana, 1) << nth;
  }
  faults_.Reset();
  faults_.FailAt(FaultKind::kRegistry, 12);
  ASSERT_EQ(TL_ReadFaxFileInfo(s, kKeywords), 0);
  TL_PhoneBookColumn columns = {};
  TL_IniInfoGetPhoneBookColumn(s, &columns);
  EXPECT_EQ(columns.Stored, 0);
  EXPECT_EQ(columns.Width[0], 0);
  int32_t furigana = 9;
  TL_IniInfoGetFuriganaTab(s, &furigana);
  EXPECT_EQ(furigana, 0);
}

}  // namespace
}  // namespace test
}  // namespace telbook
