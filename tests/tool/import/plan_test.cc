// The duplicate rule and the import's plan on cards made here: numbering, duplicates against the
// book and the file, texts fitted to their fields, name order, groups, and what blocks a plan.
#include <gtest/gtest.h>

#include "tools/duplicates.h"
#include "tools/import_plan.h"
#include "tools/tool_error.h"

namespace telbook {
namespace tool {
namespace {

TEST(ImportDuplicates, FaxDigitsAndFoldedNamesJoinEntriesTransitively) {
  EXPECT_EQ(FaxDigits("(03) 1234-５６７８"), "0312345678");
  EXPECT_EQ(FaxDigits("none"), "");
  Folder folder;
  std::vector<DuplicateCandidate> entries = {
      {10, "A", "", "03-1"},      {11, "山田 太郎", "やまだ", "031"},
      {12, "Solo", "", "9"},      {13, "山田太郎", "ヤマダ", ""},
      {14, "", "", ""},           {15, "", "", "x"},
      {16, "Solo", "other", "8"},
  };
  std::vector<DuplicateGroup> groups = FindDuplicates(entries, folder);
  ASSERT_EQ(groups.size(), 1u);
  EXPECT_EQ(groups[0].ids, (std::vector<int>{10, 11, 13}));
  EXPECT_EQ(groups[0].reasons.size(), 2u);

  DuplicateIndex index(folder);
  index.Add(entries[1]);
  std::vector<DuplicateIndex::Match> m = index.Find({0, "山田　太郎", "やまだ", "0-3-1"});
  ASSERT_EQ(m.size(), 1u);  // one entry, named once, for its fax first
  EXPECT_EQ(m[0].id, 11);
  EXPECT_EQ(m[0].reason, DuplicateReason::kFax);
}

class ImportPlanTest : public ::testing::Test {
 protected:
  ImportPlan Plan(const std::vector<Contact>& contacts, ImportOptions options = {}) {
    ImportSource source;
    source.format = ImportFormat::kVcard;
    source.encoding = Encoding::kUtf8;
    source.contacts = contacts;
    options.no_readings = options.no_readings || no_readings_;
    return MakeImportPlan(source, book_, options, deriver_, folder_);
  }
  static Contact Card(const std::string& name, const std::string& fax = "") {
    Contact c;
    c.name = name;
    if (!fax.empty()) c.faxes.push_back(fax);
    return c;
  }

  BookState book_;
  ReadingDeriver deriver_;
  Folder folder_;
  bool no_readings_ = true;
};

TEST_F(ImportPlanTest, CardsTakeTheLowestFreeNumbersAndAFullBookBlocks) {
  for (int n : {1, 2, 4}) book_.entries.push_back({n, "e" + std::to_string(n), "", ""});
  ImportPlan plan = Plan({Card("a"), Card("b"), Card("c")});
  ASSERT_EQ(plan.cards.size(), 3u);
  EXPECT_EQ(plan.cards[0].number, 3);
  EXPECT_EQ(plan.cards[1].number, 5);
  EXPECT_EQ(plan.cards[2].number, 6);
  EXPECT_TRUE(plan.blocking.empty());

  book_.entries.clear();
  for (int n = 1; n <= 9998; ++n) book_.entries.push_back({n, "", "", ""});
  plan = Plan({Card("a"), Card("b"), Card("c")});
  EXPECT_EQ(plan.blocking_status, kExitBook);
  EXPECT_EQ(plan.blocking,
            "the phone book has room for 1 more entries; 2 of the 3 entries to add would not fit");
}

TEST_F(ImportPlanTest, DuplicatesOfTheBookAndOfEarlierCards) {
  book_.entries.push_back({5, "山田 太郎", "やまだ たろう", "03-1234-5678"});
  Contact by_name = Card("山田　太郎");
  by_name.reading = "ヤマダ タロウ";
  std::vector<Contact> cards = {Card("X", "(03) 1234 5678"), by_name, Card("Other", "1"),
                                Card("Again", "1")};
  ImportPlan plan = Plan(cards);
  ASSERT_EQ(plan.cards.size(), 4u);
  EXPECT_EQ(plan.cards[0].fate, CardFate::kDuplicate);
  EXPECT_EQ(plan.cards[0].duplicates[0].entry, 5);
  EXPECT_EQ(plan.cards[1].fate, CardFate::kDuplicate);
  EXPECT_EQ(plan.cards[1].duplicates[0].reason, DuplicateReason::kNameAndReading);
  EXPECT_EQ(plan.cards[2].fate, CardFate::kAdd);
  EXPECT_EQ(plan.cards[3].fate, CardFate::kDuplicate);
  EXPECT_EQ(plan.cards[3].duplicates[0].card, 2);
  ImportOptions allow;
  allow.allow_duplicates = true;
  EXPECT_EQ(Plan(cards, allow).Count(CardFate::kAdd), 4u);
}

TEST_F(ImportPlanTest, TextsAreFittedCutReplacedOrRefused) {
  Contact long_name = Card(std::string(21 * 3, '\0'));
  long_name.name.clear();
  for (int i = 0; i < 21; ++i) long_name.name += "山";
  Contact long_fax = Card("F", std::string(129, '1'));
  Contact emoji = Card("Party 🎉");
  Contact memo = Card("M");
  memo.note = "one\ntwo";
  ImportPlan plan = Plan({long_name, long_fax, emoji, memo});
  EXPECT_EQ(plan.cards[0].fate, CardFate::kAdd);
  EXPECT_EQ(std::string(plan.cards[0].entry.Name).size(), 40u);
  EXPECT_EQ(plan.cards[0].notes, std::vector<std::string>{"name cut to 40 bytes (was 42)"});
  EXPECT_EQ(plan.cards[1].fate, CardFate::kRefused);
  EXPECT_EQ(plan.cards[1].reason,
            "the fax number is 129 bytes in code page 932; the field holds 128");
  EXPECT_EQ(plan.cards[2].fate, CardFate::kRefused);
  EXPECT_NE(plan.cards[2].reason.find("U+1F389"), std::string::npos);
  EXPECT_EQ(std::string(plan.cards[3].entry.Memo), "one\r\ntwo");
  EXPECT_TRUE(plan.blocking.empty());

  ImportOptions options;
  options.strict = true;
  options.replace = true;
  plan = Plan({long_name, emoji}, options);
  EXPECT_EQ(plan.blocking_status, kExitText);
  EXPECT_EQ(plan.blocking,
            "card 1 (line 0): the name is 42 bytes in code page 932; the field holds 40 (--strict "
            "does not cut)");
  EXPECT_EQ(std::string(plan.cards[1].entry.Name), "Party ?");
  EXPECT_EQ(plan.cards[1].notes.size(), 1u);
}

TEST_F(ImportPlanTest, NamesAffiliationsAndReadings) {
  Contact western = Card("太郎 山田");
  western.family = "山田";
  western.given = "太郎";
  Contact parts;
  parts.family = "Smith";
  parts.given = "John";
  parts.organization = {"Acme", "Sales"};
  parts.title = "Buyer";
  Contact company;
  company.organization = {"株式会社ミドリ商会"};
  company.faxes = {"1"};
  Contact empty;
  no_readings_ = false;
  ImportPlan plan = Plan({western, parts, company, empty});
  EXPECT_EQ(plan.cards[0].source_name, "山田 太郎");
  EXPECT_EQ(plan.cards[1].source_name, "John Smith");
  EXPECT_EQ(std::string(plan.cards[1].entry.Furigana), "Smith John");
  EXPECT_EQ(std::string(plan.cards[1].entry.Affiliation), "Acme Sales Buyer");
  EXPECT_EQ(plan.cards[2].source_name, "株式会社ミドリ商会");
  EXPECT_EQ(std::string(plan.cards[2].entry.Affiliation), "");
  if (deriver_.available()) {
    // Derived readings are written in the form of the book: hiragana for an empty one.
    EXPECT_EQ(plan.cards[0].notes, std::vector<std::string>{"reading derived"});
    EXPECT_TRUE(plan.cards[2].reading_derived);
  }
  EXPECT_EQ(plan.cards[3].fate, CardFate::kRefused);
}

TEST_F(ImportPlanTest, CategoriesMakeOrExtendGroups) {
  BookState::Group existing;
  existing.number = 16385;
  existing.name = "取引先";
  existing.members = {7};
  book_.groups.push_back(existing);
  BookState::Group broken;
  broken.number = 16386;
  broken.name = "Broken";
  broken.unreadable = 1;
  book_.groups.push_back(broken);
  Contact a = Card("a", "1");
  a.categories = {"取引先", "新規", "新規", "Broken"};
  Contact b = Card("b", "2");
  b.categories = {"新規"};
  ImportPlan plan = Plan({a, b});
  ASSERT_EQ(plan.groups.size(), 2u);
  EXPECT_TRUE(plan.groups[0].exists);
  EXPECT_EQ(plan.groups[0].number, 16385);
  EXPECT_EQ(plan.groups[0].kept_members, std::vector<unsigned short>{7});
  EXPECT_EQ(plan.groups[0].cards, std::vector<size_t>{0});
  EXPECT_FALSE(plan.groups[1].exists);
  EXPECT_EQ(plan.groups[1].number, 16387);
  EXPECT_EQ(plan.groups[1].cards, (std::vector<size_t>{0, 1}));
  EXPECT_NE(plan.cards[0].notes.back().find("not extended"), std::string::npos);
  nlohmann::json j = ImportPlanJson(plan);
  EXPECT_EQ(j["groups"][1]["cards"], nlohmann::json::array({1, 2}));
  EXPECT_EQ(j["cards"][0]["groups"], nlohmann::json::array({"取引先", "新規"}));

  ImportOptions options;
  options.no_groups = true;
  EXPECT_TRUE(Plan({a, b}, options).groups.empty());
}

TEST_F(ImportPlanTest, TextExportsKeepTheirGroupsWhole) {
  ImportSource source;
  FileProblem problem;
  ASSERT_TRUE(ReadImportSource("K1,a,,,[Outline]1,,,,,0,,,,,,0\r\nG1,g,,0\r\n", ImportOptions(),
                               &source, &problem))
      << problem.reason;
  EXPECT_EQ(source.format, ImportFormat::kText);
  ImportPlan plan = MakeImportPlan(source, book_, ImportOptions(), deriver_, folder_);
  ASSERT_EQ(plan.cards.size(), 1u);
  ASSERT_EQ(plan.groups.size(), 1u);
  EXPECT_TRUE(plan.groups[0].keep_empty);
  EXPECT_EQ(plan.groups[0].number, 16385);
}

}  // namespace
}  // namespace tool
}  // namespace telbook
