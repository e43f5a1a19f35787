// The vCard and CSV readers on the constructs of their formats: folding, quoted-printable and
// base64, charsets, escapes, groups, the order of reading sources; RFC 4180 quoting and the
// header names of common exports.
#include <gtest/gtest.h>

#include "tools/csv_reader.h"
#include "tools/vcard_reader.h"

namespace telbook {
namespace tool {
namespace {

Contact OneCard(const std::string& body, Encoding encoding = Encoding::kUtf8) {
  std::vector<Contact> cards;
  FileProblem problem;
  std::string text = "BEGIN:VCARD\r\n" + body + "END:VCARD\r\n";
  EXPECT_TRUE(ReadVcards(text, encoding, &cards, &problem)) << problem.reason;
  EXPECT_EQ(cards.size(), 1u);
  return cards.empty() ? Contact() : cards[0];
}

TEST(ImportVcard, ValuesAreUnfoldedDecodedAndUnescaped) {
  Contact c = OneCard(
      "VERSION:3.0\r\nFN:Long\r\n  Name\r\nN:Doe\\;Jr;John\\, J.;;;\r\n"
      "NOTE;ENCODING=QUOTED-PRINTABLE;CHARSET=SHIFT_JIS:=8E=52=93=63=0D=0A=\r\nline\r\n"
      "item7.EMAIL;TYPE=INTERNET:mailto:a@b.example\r\n"
      "TITLE;ENCODING=b:56S+6ZW3\r\n"  // base64 of UTF-8 社長
      "ORG:A\\, B;Dept\r\nCATEGORIES:x,y\\,z\r\n");
  EXPECT_EQ(c.name, "Long Name");
  EXPECT_EQ(c.family, "Doe;Jr");
  EXPECT_EQ(c.given, "John, J.");
  EXPECT_EQ(c.note, "山田\nline");
  EXPECT_EQ(c.emails, std::vector<std::string>{"a@b.example"});
  EXPECT_EQ(c.title, "社長");
  EXPECT_EQ(c.organization, (std::vector<std::string>{"A, B", "Dept"}));
  EXPECT_EQ(c.categories, (std::vector<std::string>{"x", "y,z"}));
}

TEST(ImportVcard, NumbersByType) {
  Contact c = OneCard(
      "TEL;FAX;WORK:1\r\nTEL;TYPE=\"work,fax\":tel:+81-3-2;ext=9\r\nTEL;PAGER:3\r\n"
      "TEL;type=CELL;type=pref:4\r\nTEL:5\r\nTEL;TYPE=fax:\r\n");
  EXPECT_EQ(c.faxes, (std::vector<std::string>{"1", "+81-3-2"}));
  EXPECT_EQ(c.phones, (std::vector<std::string>{"4", "5"}));
}

TEST(ImportVcard, ReadingSourcesInTheirOrder) {
  struct Case {
    std::string body;
    std::string reading, family, given;
  };
  const Case cases[] = {
      {"N;SORT-AS=\"やまだ,たろう\":山田;太郎\r\nX-PHONETIC-LAST-NAME:x\r\nSORT-STRING:z\r\n", "",
       "やまだ", "たろう"},
      {"X-PHONETIC-LAST-NAME:ヤマダ\r\nSOUND;X-IRMC-N:ﾔﾏﾀﾞ;ﾀﾛｳ\r\n", "", "ヤマダ", ""},
      {"SOUND;X-IRMC-N:ﾔﾏﾀﾞ;ﾀﾛｳ;;;\r\nSORT-STRING:やまだ\r\n", "", "ﾔﾏﾀﾞ", "ﾀﾛｳ"},
      {"SORT-STRING:やまだ たろう\r\n", "やまだ たろう", "", ""},
      // A whole reading that agrees with the parts keeps its own spacing.
      {"X-PHONETIC-LAST-NAME:やまだ\r\nX-PHONETIC-FIRST-NAME:たろう\r\nSORT-STRING:"
       "やまだ　たろう\r\n",
       "やまだ　たろう", "", ""},
      {"SOUND:http://example/x.wav\r\n", "", "", ""},
  };
  for (const Case& c : cases) {
    Contact card = OneCard(c.body);
    EXPECT_EQ(card.reading, c.reading) << c.body;
    EXPECT_EQ(card.family_reading, c.family) << c.body;
    EXPECT_EQ(card.given_reading, c.given) << c.body;
  }
}

TEST(ImportVcard, FaultsOfACardAndOfTheFile) {
  std::vector<Contact> cards;
  FileProblem problem;
  // Shift_JIS bytes quoted-printable without a charset, in a file read as UTF-8.
  ASSERT_TRUE(
      ReadVcards("BEGIN:VCARD\nFN;ENCODING=QUOTED-PRINTABLE:=8E=52\nEND:VCARD\n"
                 "BEGIN:VCARD\nbroken\nFN:ok\nEND:VCARD\n"
                 "BEGIN:VCARD\nFN;CHARSET=EBCDIC;ENCODING=QUOTED-PRINTABLE:=C1\nEND:VCARD\n",
                 Encoding::kUtf8, &cards, &problem));
  ASSERT_EQ(cards.size(), 3u);
  EXPECT_EQ(cards[0].name, "山");
  EXPECT_EQ(cards[1].problem, "line 5: \"broken\" is no property (no colon)");
  EXPECT_NE(cards[2].problem.find("CHARSET=EBCDIC"), std::string::npos) << cards[2].problem;
  EXPECT_FALSE(ReadVcards("BEGIN:VCARD\r\nFN:a\r\n", Encoding::kUtf8, &cards, &problem));
  EXPECT_EQ(problem.line, 1);
  EXPECT_FALSE(ReadVcards("\r\nFN:a\r\n", Encoding::kUtf8, &cards, &problem));
  EXPECT_EQ(problem.line, 2);
  // An agent's card escaped into one value (version 3.0) nests nothing.
  ASSERT_TRUE(ReadVcards("BEGIN:VCARD\nAGENT:BEGIN:VCARD\\nFN:x\\nEND:VCARD\nFN:y\nEND:VCARD\n",
                         Encoding::kUtf8, &cards, &problem));
  ASSERT_EQ(cards.size(), 1u);
  EXPECT_EQ(cards[0].name, "y");
  EXPECT_TRUE(LooksLikeVcard("\r\n begin:vcard\r\n"));
  EXPECT_FALSE(LooksLikeVcard("Name,BEGIN:VCARD\r\n"));
}

TEST(ImportCsv, Rfc4180Records) {
  struct Case {
    std::string text;
    std::vector<std::vector<std::string>> records;
    std::vector<int> lines;
  };
  const Case cases[] = {
      {"a,b\r\n1,2", {{"a", "b"}, {"1", "2"}}, {1, 2}},
      {"a,b\n\"x, y\",\"say \"\"hi\"\"\"\n", {{"a", "b"}, {"x, y", "say \"hi\""}}, {1, 2}},
      {"a,b\r\n\"one\r\ntwo\",3\r\nc,d\r\n",
       {{"a", "b"}, {"one\r\ntwo", "3"}, {"c", "d"}},
       {1, 2, 4}},
      {"a,b\r\n\r\n,\r\n", {{"a", "b"}, {"", ""}}, {1, 3}},
      {"a\tb\r\nx,1\t2\r\n", {{"a", "b"}, {"x,1", "2"}}, {1, 2}},
      {"a,b\rc,\"\"\r", {{"a", "b"}, {"c", ""}}, {1, 2}},
  };
  for (const Case& c : cases) {
    std::vector<std::vector<std::string>> records;
    std::vector<int> lines;
    FileProblem problem;
    ASSERT_TRUE(SplitCsv(c.text, &records, &lines, &problem)) << problem.reason;
    EXPECT_EQ(records, c.records) << c.text;
    EXPECT_EQ(lines, c.lines) << c.text;
  }
}

TEST(ImportCsv, HeadersOfCommonExportsInBothLanguages) {
  std::vector<Contact> cards;
  std::vector<std::string> unused;
  FileProblem problem;
  ASSERT_TRUE(ReadCsvContacts(
      "First Name,Middle Name,Last Name,Title,Company,Department,Job Title,Business Fax,Home Fax,"
      "Business Phone,E-mail Address,E-mail 2 Address,Notes,Categories,Phonetic Last Name\r\n"
      "John,Q,Public,Mr.,Acme,Sales,Buyer,1,2,3,a@x,b@x,n,A;B,パブリック\r\n",
      {}, &cards, &unused, &problem))
      << problem.reason;
  ASSERT_EQ(cards.size(), 1u);
  const Contact& c = cards[0];
  EXPECT_EQ(c.given + "|" + c.middle + "|" + c.family, "John|Q|Public");
  EXPECT_EQ(c.organization, (std::vector<std::string>{"Acme", "Sales"}));
  EXPECT_EQ(c.title, "Buyer");
  EXPECT_EQ(c.faxes, (std::vector<std::string>{"1", "2"}));
  EXPECT_EQ(c.phones, std::vector<std::string>{"3"});
  EXPECT_EQ(c.emails, (std::vector<std::string>{"a@x", "b@x"}));
  EXPECT_EQ(c.categories, (std::vector<std::string>{"A", "B"}));
  EXPECT_EQ(c.family_reading, "パブリック");
  EXPECT_EQ(unused, std::vector<std::string>{"Title"});

  ASSERT_TRUE(
      ReadCsvContacts("氏名,フリガナ,会社名,ＦＡＸ番号,電話,メール,備考,分類\r\n"
                      "山田 太郎,ヤマダ タロウ,山田製作所,03,04,t@y,メモ,取引先\r\n",
                      {}, &cards, &unused, &problem));
  ASSERT_EQ(cards.size(), 1u);
  EXPECT_EQ(cards[0].name, "山田 太郎");
  EXPECT_EQ(cards[0].reading, "ヤマダ タロウ");
  EXPECT_EQ(cards[0].organization, std::vector<std::string>{"山田製作所"});
  EXPECT_EQ(cards[0].faxes, std::vector<std::string>{"03"});
  EXPECT_EQ(cards[0].phones, std::vector<std::string>{"04"});
  EXPECT_EQ(cards[0].note, "メモ");
  EXPECT_TRUE(unused.empty());
}

TEST(ImportCsv, MapsAndFaults) {
  std::vector<ColumnMapping> map;
  std::string why;
  ASSERT_TRUE(ParseColumnMap(" Kontakt = name , Telefax=FAX,Notiz=ignore", &map, &why)) << why;
  ASSERT_EQ(map.size(), 3u);
  EXPECT_EQ(map[1].header, "Telefax");
  EXPECT_EQ(map[1].field, "fax");
  EXPECT_FALSE(ParseColumnMap("Kontakt", &map, &why));
  EXPECT_FALSE(ParseColumnMap("Kontakt=nom", &map, &why));
  EXPECT_NE(why.find("family-name"), std::string::npos);

  std::vector<Contact> cards;
  std::vector<std::string> unused;
  FileProblem problem;
  ASSERT_TRUE(ParseColumnMap("Notes=ignore,Kontakt=name", &map, &why));
  ASSERT_TRUE(ReadCsvContacts("Kontakt,Notes\r\nA,x\r\n", map, &cards, &unused, &problem));
  EXPECT_EQ(cards[0].name, "A");
  EXPECT_EQ(cards[0].note, "");
  ASSERT_TRUE(ParseColumnMap("Fax=fax", &map, &why));
  EXPECT_FALSE(ReadCsvContacts("Name\r\nA\r\n", map, &cards, &unused, &problem));
  EXPECT_TRUE(problem.usage);
  EXPECT_FALSE(ReadCsvContacts("Name\r\n\"A\r\n", {}, &cards, &unused, &problem));
  EXPECT_EQ(problem.line, 2);
  EXPECT_FALSE(problem.usage);
  // Trailing empty fields beyond the header are no fault.
  EXPECT_TRUE(ReadCsvContacts("Name\r\nA,,\r\n", {}, &cards, &unused, &problem));
}

}  // namespace
}  // namespace tool
}  // namespace telbook
