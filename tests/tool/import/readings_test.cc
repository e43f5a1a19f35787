// Readings: the dictionary's readings of real family, personal and company names, the kana
// forms, the legal forms a company is not filed by, and the form a book uses most.
#include "tools/readings.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace telbook {
namespace tool {
namespace {

TEST(ImportReadings, NamesReadAsPeopleReadThem) {
  ReadingDeriver deriver;
  if (!deriver.available()) GTEST_SKIP() << "built without a reading dictionary";
  // Family names, full names and company names with the readings they usually have.
  const std::pair<const char*, const char*> kNames[] = {
      {"佐藤", "さとう"},
      {"鈴木", "すずき"},
      {"高橋", "たかはし"},
      {"田中", "たなか"},
      {"伊藤", "いとう"},
      {"渡辺", "わたなべ"},
      {"山本", "やまもと"},
      {"中村", "なかむら"},
      {"小林", "こばやし"},
      {"加藤", "かとう"},
      {"吉田", "よしだ"},
      {"山田", "やまだ"},
      {"佐々木", "ささき"},
      {"山口", "やまぐち"},
      {"松本", "まつもと"},
      {"井上", "いのうえ"},
      {"木村", "きむら"},
      {"林", "はやし"},
      {"斎藤", "さいとう"},
      {"清水", "しみず"},
      {"山崎", "やまざき"},
      {"池田", "いけだ"},
      {"橋本", "はしもと"},
      {"阿部", "あべ"},
      {"石川", "いしかわ"},
      {"前田", "まえだ"},
      {"藤田", "ふじた"},
      {"後藤", "ごとう"},
      {"近藤", "こんどう"},
      {"村上", "むらかみ"},
      {"遠藤", "えんどう"},
      {"青木", "あおき"},
      {"坂本", "さかもと"},
      {"小野寺", "おのでら"},
      {"伊能 圭一", "いのう けいいち"},
      {"安藤 ロイド", "あんどう ろいど"},
      {"佐藤 健", "さとう けん"},
      {"鈴木 一郎", "すずき いちろう"},
      {"高橋 美咲", "たかはし みさき"},
      {"渡辺 裕子", "わたなべ ゆうこ"},
      {"小林 誠", "こばやし まこと"},
      {"東海林 達也", "しょうじ たつや"},
      {"長谷川 翔太", "はせがわ しょうた"},
      {"五十嵐 結衣", "いがらし ゆい"},
      {"一ノ瀬 蓮", "いちのせ れん"},
      {"株式会社カトウ精機", "かとうせいき"},
      {"西田税理士事務所", "にしだぜいりしじむしょ"},
      {"トヨタ自動車株式会社", "とよたじどうしゃ"},
      {"株式会社日立製作所", "ひたちせいさくしょ"},
      {"三菱商事株式会社", "みつびししょうじ"},
      {"住友商事", "すみともしょうじ"},
      {"東京電力", "とうきょうでんりょく"},
      {"日本郵船", "にっぽんゆうせん"},
      {"野村證券", "のむらしょうけん"},
      {"大和ハウス工業", "だいわはうすこうぎょう"},
      {"任天堂", "にんてんどう"},
      {"有限会社山田工務店", "やまだこうむてん"},
      {"鹿島建設", "かじまけんせつ"},
      {"清水建設", "しみずけんせつ"},
      {"資生堂", "しせいどう"},
      {"丸紅", "まるべに"},
      {"伊藤忠商事", "いとうちゅうしょうじ"},
      {"旭化成", "あさひかせい"},
      {"花王", "かおう"},
      {"味の素", "あじのもと"},
      {"ヤマト運輸", "やまとうんゆ"},
      {"(株)山本製作所", "やまもとせいさくしょ"},
  };
  size_t right = 0;
  size_t total = sizeof(kNames) / sizeof(kNames[0]);
  for (const auto& [name, want] : kNames) {
    std::string katakana;
    bool derived = deriver.Derive(WithoutLegalForm(name), &katakana);
    std::string got = ToKanaForm(katakana, KanaForm::kHiragana);
    if (derived && got == want) {
      ++right;
    } else {
      std::printf("  %s: %s, usually %s\n", name, got.c_str(), want);
    }
  }
  std::printf("  %zu of %zu names read as usual\n", right, total);
  EXPECT_GE(total, 50u);
  // What the dictionary gets wrong is a reading a user corrects; the share must stay high.
  EXPECT_GE(right * 100, total * 85) << right << " of " << total;
}

TEST(ImportReadings, LatinDigitsAndKanaAreReadAsWritten) {
  ReadingDeriver deriver;
  if (!deriver.available()) GTEST_SKIP() << "built without a reading dictionary";
  std::string katakana;
  ASSERT_TRUE(deriver.Derive("ABC商事", &katakana));
  EXPECT_EQ(katakana, "ABCショウジ");
  ASSERT_TRUE(deriver.Derive("さくら　2号店", &katakana));
  EXPECT_EQ(katakana.substr(0, 12), "サクラ　");
}

TEST(ImportReadings, KanaForms) {
  struct Case {
    std::string text;
    KanaForm form;
    std::string want;
  };
  const Case cases[] = {
      {"ヤマダ タロウ", KanaForm::kHiragana, "やまだ たろう"},
      {"ヴィラ ヶ丘", KanaForm::kHiragana, "ヴぃら ヶ丘"},
      {"やまだ", KanaForm::kKatakana, "ヤマダ"},
      {"ガッコウ ポスト", KanaForm::kHalfWidth, "ｶﾞｯｺｳ ﾎﾟｽﾄ"},
      {"ぎんこう・ヴー", KanaForm::kHalfWidth, "ｷﾞﾝｺｳ･ｳﾞｰ"},
      {"ABC", KanaForm::kHalfWidth, "ABC"},
  };
  for (const Case& c : cases) EXPECT_EQ(ToKanaForm(c.text, c.form), c.want) << c.text;

  EXPECT_EQ(MostUsedKanaForm({}), KanaForm::kHiragana);
  EXPECT_EQ(MostUsedKanaForm({"ヤマダ", "Smith", "スズキ", "たなか"}), KanaForm::kKatakana);
  EXPECT_EQ(MostUsedKanaForm({"ﾔﾏﾀﾞ", "ｽｽﾞｷ", "たなか"}), KanaForm::kHalfWidth);
  EXPECT_EQ(MostUsedKanaForm({"ヤマダ", "たなか"}), KanaForm::kHiragana);
}

TEST(ImportReadings, LegalFormsAndScripts) {
  EXPECT_EQ(WithoutLegalForm("株式会社カトウ精機"), "カトウ精機");
  EXPECT_EQ(WithoutLegalForm("ササキ物流株式会社"), "ササキ物流");
  EXPECT_EQ(WithoutLegalForm("（株）山本製作所"), "山本製作所");
  EXPECT_EQ(WithoutLegalForm("医療法人社団 青葉会"), "青葉会");
  EXPECT_EQ(WithoutLegalForm("㈲ 田中"), "田中");
  EXPECT_EQ(WithoutLegalForm("株式会社"), "株式会社");
  EXPECT_EQ(WithoutLegalForm("山田 太郎"), "山田 太郎");
  EXPECT_TRUE(HasJapaneseScript("John 山田"));
  EXPECT_TRUE(HasJapaneseScript("ｱ"));
  EXPECT_FALSE(HasJapaneseScript("Ｊｏｈｎ Smith"));
}

}  // namespace
}  // namespace tool
}  // namespace telbook
