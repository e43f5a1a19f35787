// End-to-end tests of `telbook import` with contacts files: the samples of a feature phone, a
// current phone, a desktop contacts program and a webmail export (vCard 2.1, 3.0, 4.0 and CSV
// in both header languages) checked entry by entry, the vCard export read back, the options,
// standard input, and the files and books that import nothing.
#include <gtest/gtest.h>

#include <cstdio>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "tests/tool/tool_runner.h"

namespace telbook {
namespace tooltest {
namespace {

const std::string kSamples = TELBOOK_CONTACTS_DIR;

struct Entry {
  std::string name, furigana, affiliation, fax, phone, email, memo;
  bool derived = false;  // the reading comes from the dictionary, where the tool has one
};

class ContactsImport : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(dir_.Tool({"create", book_}).status, 0); }

  Result Import(const std::string& file, std::vector<std::string> flags = {}) {
    std::vector<std::string> args = {"import", book_, file};
    args.insert(args.end(), flags.begin(), flags.end());
    return dir_.Tool(args);
  }
  nlohmann::json List() {
    Result run = dir_.Tool({"list", book_, "--json"});
    EXPECT_EQ(run.status, 0) << run.err;
    return nlohmann::json::parse(run.out);
  }
  bool ReadingsDerived() {
    std::string probe = dir_.File("probe.tlb");
    dir_.Tool({"create", probe});
    Result run = dir_.Tool({"import", probe, kSamples + "/desktop_40.vcf", "--dry-run", "--json"});
    return nlohmann::json::parse(run.out)["readings-derivable"].get<bool>();
  }
  void ExpectEntries(const std::vector<Entry>& want, const std::string& what) {
    bool derived = ReadingsDerived();
    std::vector<nlohmann::json> entries;
    for (const auto& r : List()) {
      if (r["kind"] == "entry") entries.push_back(r);
    }
    ASSERT_EQ(entries.size(), want.size()) << what;
    for (size_t i = 0; i < want.size(); ++i) {
      const Entry& w = want[i];
      const nlohmann::json& e = entries[i];
      EXPECT_EQ(e["name"], w.name) << what << " #" << i;
      EXPECT_EQ(e["furigana"], w.derived && !derived ? "" : w.furigana) << what << " " << w.name;
      EXPECT_EQ(e["affiliation"], w.affiliation) << what << " " << w.name;
      EXPECT_EQ(e["fax"], w.fax) << what << " " << w.name;
      EXPECT_EQ(e["phone"], w.phone) << what << " " << w.name;
      EXPECT_EQ(e["email"], w.email) << what << " " << w.name;
      EXPECT_EQ(e["memo"], w.memo) << what << " " << w.name;
    }
  }
  // Group name -> member names, from the book.
  std::vector<std::pair<std::string, std::vector<std::string>>> Groups() {
    std::vector<std::pair<std::string, std::vector<std::string>>> groups;
    for (const auto& r : List()) {
      if (r["kind"] != "group") continue;
      Result show = dir_.Tool({"show", book_, std::to_string(r["number"].get<int>()), "--json"});
      nlohmann::json g = nlohmann::json::parse(show.out);
      std::vector<std::string> members;
      for (const auto& m : g["members"]) members.push_back(m["name"]);
      groups.emplace_back(g["name"], members);
    }
    return groups;
  }

  Scratch dir_;
  std::string book_ = dir_.File("book.tlb");
};

struct Sample {
  std::string file;
  size_t skipped;
  std::vector<Entry> entries;
  std::vector<std::pair<std::string, std::vector<std::string>>> groups;
};

TEST_F(ContactsImport, SamplesImportFieldByField) {
  const std::vector<Sample> samples = {
      {"feature_phone_21.vcf",
       0,
       {{"山田 太郎", "ﾔﾏﾀﾞ ﾀﾛｳ", "", "03-3561-2201", "090-1234-5678", "yamada@example.ne.jp",
         "契約書は午前中に送付\r\n急ぎは電話で"},
        {"株式会社ミドリ商会", "ﾐﾄﾞﾘｼｮｳｶｲ", "", "06-6341-7719", "06-6341-7710", "", ""},
        {"佐藤 健", "さとう けん", "", "048-641-2230", "", "", "", true},
        {"小林 誠", "ｺﾊﾞﾔｼ ﾏｺﾄ", "A;B工業 経理部", "", "03-5412-8891", "", ""},
        {"関口 恵", "ｾｷｸﾞﾁ ﾒｸﾞﾐ", "", "048-822-0043", "090-8765-4321", "", ""},
        {"ソフト開発室", "ｿﾌﾄｶｲﾊﾂｼﾂ", "", "011-251-3390", "", "", ""},
        {"横山 紀子", "ﾖｺﾔﾏ ﾉﾘｺ", "", "03-3409-7765", "", "", ""}},
       {}},
      {"current_phone_30.vcf",
       1,
       {{"鈴木 一郎", "すずき いちろう", "鈴木商店", "092-711-6620", "090-1111-2222",
         "ichiro@suzuki-shoten.example.jp", ""},
        {"高橋 花子", "タカハシ ハナコ", "", "03-3831-5546", "03-3831-5540", "", ""},
        {"John Smith", "Smith John", "Acme Trading, Inc. New York office Buyer", "+1-212-555-0143",
         "", "j.smith@acme.example.com", ""},
        {"木村 さくら", "きむら さくら", "きむら小児科", "", "090-5412-8890", "",
         "予約制です。診療時間は平日の九時から十八時まで、土曜日は午前中の"},
        {"Ken Tanaka", "たなか けん", "", "0422-51-7812", "", "",
         "Prefers e-mail, not calls; see memo\r\nSecond line"}},
       {{"取引先", {"鈴木 一郎", "John Smith"}}, {"Overseas", {"John Smith"}}}},
      {"desktop_40.vcf",
       1,
       {{"渡辺 裕子", "わたなべ ゆうこ", "渡辺特許事務所 弁理士", "+81-3-3230-6612",
         "+81-3-3230-6610", "watanabe@watanabe-ip.example.jp", ""},
        {"西田税理士事務所", "にしだぜいりしじむしょ", "", "075-212-9981", "075-212-9980",
         "nishida@nishida-tax.example.jp", "", true},
        {"伊能 圭一", "いのう けいいち", "", "0466-22-1187", "", "", "", true},
        {"Marie Dubois", "Dubois Marie", "Dubois & Fils", "+33-1-4020-5011", "", "", "Paris"},
        {"長谷川 翔太", "はせがわ しょうた", "株式会社カトウ精機 設計部", "052-231-4455",
         "090-3333-4444", "", "", true}},
       {{"取引先", {"渡辺 裕子"}}, {"特許", {"渡辺 裕子"}}, {"友人", {"伊能 圭一"}}}},
      {"webmail_30.vcf",
       1,
       {{"中村 愛", "なかむら あい", "なかむら歯科医院", "03-3987-2210", "03-3987-2211", "",
         "土曜は午前のみ"},
        {"五十嵐 結衣", "いがらし ゆい", "", "045-621-3302", "", "yui.igarashi@mail.example.jp", "",
         true},
        {"Acme Support", "Acme Support", "Acme Trading, Inc.", "+1-212-555-0199", "", "",
         "Open 24 hours. Send orders by fax with the customer number in th"},
        {"一ノ瀬 蓮", "いちのせ\u3000れん", "", "078-391-2234", "", "", ""},
        {"東海林 達也", "しょうじ たつや", "", "", "03-9999-0000", "", "", true}},
       {{"友人", {"五十嵐 結衣"}}}},
      {"webmail_en.csv",
       0,
       {{"石田 健一", "いしだ けんいち", "石田工務店 社長", "045-621-3300", "090-1212-3434",
         "kenichi@ishida.example.jp", "見積もりは月末締め, 翌月払い"},
        {"Robert Brown", "Brown Robert J.", "Brown, Green & Co.", "+44-20-7946-0018", "", "",
         "He said \"fax first\"\r\nthen call"},
        {"吉田 亮", "よしだ りょう", "", "", "090-5656-7878", "", ""},
        {"Hotel Villa", "Hotel Villa", "", "03-3444-0128", "", "", ""}},
       {{"取引先", {"石田 健一", "吉田 亮"}}, {"友人", {"吉田 亮"}}}},
      {"address_book_ja.csv",
       0,
       {{"青木 美咲", "アオキ ミサキ", "青木法律事務所 弁護士", "03-3561-2200", "03-3561-2209",
         "aoki@aoki-law.example.jp", ""},
        {"上野 由美", "ウエノ ユミ", "上野デザイン室 企画部", "06-6341-7718", "080-1111-0000", "",
         "打合せは\r\n水曜"},
        {"本田 修", "ほんだ おさむ", "本田自動車整備", "0422-51-7800", "0422-51-7810", "", "",
         true},
        {"竜崎 蓮", "リュウザキ レン", "", "", "090-2323-4545", "ryu@example.jp", ""}},
       {{"取引先", {"青木 美咲", "本田 修"}}, {"整備", {"本田 修"}}}},
  };
  for (const Sample& s : samples) {
    std::remove(book_.c_str());
    ASSERT_EQ(dir_.Tool({"create", book_}).status, 0);
    Result run = Import(kSamples + "/" + s.file);
    ASSERT_EQ(run.status, 0) << s.file << ": " << run.err;
    std::string skipped = "skipped " + std::to_string(s.skipped) + " (listed above)";
    EXPECT_EQ(run.out.find(skipped) != std::string::npos, s.skipped > 0) << run.out;
    ExpectEntries(s.entries, s.file);
    EXPECT_EQ(Groups(), s.groups) << s.file;
    EXPECT_EQ(dir_.Tool({"check", book_}).status, 0) << s.file;
  }
}

TEST_F(ContactsImport, SkippedCardsAreNamedWithTheirReasons) {
  Result run = Import(kSamples + "/current_phone_30.vcf");
  EXPECT_NE(run.out.find("skipped card 4 (line 39) Party 🎉 Planner: code page 932 cannot hold "
                         "U+1F389"),
            std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("card 5 (line 45) 木村 さくら: memo cut to 64 bytes (was 90)"),
            std::string::npos)
      << run.out;
  run = Import(kSamples + "/desktop_40.vcf");
  EXPECT_NE(run.out.find("skipped card 4 (line 30) 渡辺 裕子: duplicates card 1 (the same name "
                         "and reading)"),
            std::string::npos)
      << run.out;
  run = Import(kSamples + "/webmail_30.vcf");
  EXPECT_NE(run.out.find("line 34: \"this line is broken\" is no property"), std::string::npos)
      << run.out;
  // A second import of the same file finds every card in the book already.
  std::string before = ReadAll(book_);
  run = Import(kSamples + "/webmail_30.vcf");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("imported 0 entries"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("duplicates entry 11 (the same fax number)"), std::string::npos)
      << run.out;
  EXPECT_EQ(ReadAll(book_), before);
}

TEST_F(ContactsImport, OptionsChangeWhatIsAdded) {
  struct Case {
    std::vector<std::string> flags;
    size_t entries;
    size_t groups;
    std::string name_of_fourth;
  };
  const Case cases[] = {
      {{}, 5, 2, "木村 さくら"},
      {{"--fax-only"}, 4, 2, "Ken Tanaka"},
      {{"--no-groups"}, 5, 0, "木村 さくら"},
      {{"--replace"}, 6, 2, "Party ? Planner"},
  };
  for (const Case& c : cases) {
    std::remove(book_.c_str());
    ASSERT_EQ(dir_.Tool({"create", book_}).status, 0);
    Result run = Import(kSamples + "/current_phone_30.vcf", c.flags);
    ASSERT_EQ(run.status, 0) << run.err;
    size_t entries = 0;
    size_t groups = 0;
    std::vector<std::string> names;
    for (const auto& r : List()) {
      (r["kind"] == "entry" ? entries : groups)++;
      names.push_back(r["name"]);
    }
    EXPECT_EQ(entries, c.entries) << c.flags.size();
    EXPECT_EQ(groups, c.groups);
    ASSERT_GE(names.size(), 4u);
    EXPECT_EQ(names[3], c.name_of_fourth);
  }
  // --no-readings leaves a name in kanji without a reading; --allow-duplicates adds the card
  // that repeats another.
  std::remove(book_.c_str());
  ASSERT_EQ(dir_.Tool({"create", book_}).status, 0);
  ASSERT_EQ(Import(kSamples + "/desktop_40.vcf", {"--no-readings", "--allow-duplicates"}).status,
            0);
  nlohmann::json list = List();
  EXPECT_EQ(list[1]["name"], "西田税理士事務所");
  EXPECT_EQ(list[1]["furigana"], "");
  EXPECT_EQ(list[3]["name"], "渡辺 裕子");
  EXPECT_EQ(list[3]["fax"], "03-3230-6612");
}

TEST_F(ContactsImport, StrictRefusesToCutAndDryRunWritesNothing) {
  std::string before = ReadAll(book_);
  Result run = Import(kSamples + "/current_phone_30.vcf", {"--strict"});
  EXPECT_EQ(run.status, 4);
  EXPECT_NE(run.err.find("card 5 (line 45): the memo is 90 bytes"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("nothing was imported"), std::string::npos) << run.err;
  EXPECT_EQ(ReadAll(book_), before);

  run = Import(kSamples + "/address_book_ja.csv", {"--dry-run"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("1      青木 美咲"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("new group \"取引先\" with 2 members"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("not used (name them with --map): 誕生日"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("nothing was written"), std::string::npos) << run.out;
  EXPECT_EQ(ReadAll(book_), before);

  run = Import(kSamples + "/address_book_ja.csv", {"--dry-run", "--json"});
  ASSERT_EQ(run.status, 0) << run.err;
  nlohmann::json plan = nlohmann::json::parse(run.out);
  EXPECT_EQ(plan["format"], "csv");
  EXPECT_EQ(plan["encoding"], "code page 932");
  EXPECT_EQ(plan["cards"][0]["number"], 1);
  EXPECT_EQ(plan["cards"][0]["furigana"], "アオキ ミサキ");
  EXPECT_EQ(plan["summary"]["add"], 4);
  EXPECT_EQ(ReadAll(book_), before);
}

TEST_F(ContactsImport, CategoriesExtendAGroupOfTheSameName) {
  ASSERT_EQ(dir_.Tool({"add", book_, "--name", "既存", "--fax", "1"}).status, 0);
  ASSERT_EQ(dir_.Tool({"group", book_, "--name", "取引先", "--furigana", "とりひきさき",
                       "--members", "1"})
                .status,
            0);
  Result run = Import(kSamples + "/current_phone_30.vcf");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("group 16385 \"取引先\" gains 2 members"), std::string::npos) << run.out;
  auto groups = Groups();
  ASSERT_EQ(groups.size(), 2u);
  EXPECT_EQ(groups[0].first, "取引先");
  EXPECT_EQ(groups[0].second, (std::vector<std::string>{"既存", "鈴木 一郎", "John Smith"}));
}

TEST_F(ContactsImport, ColumnsNamedByAMapAndStandardInput) {
  const std::string csv =
      "Kontakt,Telefax,Firma,Geburtstag\r\n"
      "\"Weber, Anna\",+49-30-1234-5678,Weber GmbH,1970-01-01\r\n";
  Result run = dir_.ToolWithInput(
      {"import", book_, "-", "--map", "Kontakt=name,Telefax=fax,Firma=affiliation"}, csv);
  ASSERT_EQ(run.status, 0) << run.err;
  nlohmann::json list = List();
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0]["name"], "Weber, Anna");
  EXPECT_EQ(list[0]["fax"], "+49-30-1234-5678");
  EXPECT_EQ(list[0]["affiliation"], "Weber GmbH");
  // Without the map no column holds a name; a map naming a missing column is a usage error.
  std::string before = ReadAll(book_);
  run = dir_.ToolWithInput({"import", book_, "-"}, csv);
  EXPECT_EQ(run.status, 4);
  EXPECT_NE(run.err.find("-: line 1: no column of the header row holds a name"), std::string::npos)
      << run.err;
  run = dir_.ToolWithInput({"import", book_, "-", "--map", "Fax=fax"}, csv);
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("--map names the column \"Fax\""), std::string::npos) << run.err;
  run = dir_.ToolWithInput({"import", book_, "-", "--map", "Kontakt=nom"}, csv);
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(ReadAll(book_), before);
  // A text export on standard input, UTF-8 without --utf8.
  run = dir_.ToolWithInput({"import", book_, "-"}, "K1,山田,やまだ,,[Outline]03,,,,,0,,,,,,0\r\n");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(List()[1]["name"], "山田");
}

TEST_F(ContactsImport, FilesThatImportNothing) {
  struct Case {
    std::string bytes;
    std::vector<std::string> flags;
    int status;
    std::string words;
  };
  const std::string card = "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:A\r\nTEL;TYPE=FAX:1\r\nEND:VCARD\r\n";
  const Case cases[] = {
      {"Name,Fax\r\nA,1\r\nB\xFF\xFE,2\r\n", {}, 4, "line 3, byte 2: byte 0xFF is neither UTF-8"},
      {card + "BEGIN:VCARD\r\nFN:B\r\n", {}, 4, "line 6: the card that begins here has no END"},
      {card + "garbage\r\n", {}, 4, "line 6: \"garbage\" stands outside a card"},
      {"Name,Fax\r\n\"A,1\r\n", {}, 4, "line 2: a quoted field that begins on this line never"},
      {"Name,Fax\r\nA,1,x\r\n", {}, 4, "line 2: the row has 3 fields, more than the 2 columns"},
      {"Name,Fax\r\n\"A\"x,1\r\n", {}, 4, "line 2: text follows the closing double quote"},
      {card, {"--format", "csv"}, 4, "no column of the header row holds a name"},
      {card, {"--format", "text"}, 4, "line 1: the line begins with \"BEGIN:VCARD\""},
      {"Name\r\n\x8E\x52\r\n",
       {"--encoding", "utf-8"},
       4,
       "line 2, byte 1: byte 0x8E is not valid"},
      {card, {"--encoding", "latin9"}, 2, "--encoding must be"},
      {card, {"--format", "ldif"}, 2, "--format must be"},
  };
  std::string before = ReadAll(book_);
  for (const Case& c : cases) {
    WriteAll(dir_.File("in.txt"), c.bytes);
    Result run = Import(dir_.File("in.txt"), c.flags);
    EXPECT_EQ(run.status, c.status) << c.words << "\n" << run.err;
    EXPECT_NE(run.err.find(c.words), std::string::npos) << run.err;
    EXPECT_EQ(ReadAll(book_), before);
  }
  Result run = Import(dir_.path());
  EXPECT_EQ(run.status, 6);
  EXPECT_NE(run.err.find("it is a directory"), std::string::npos) << run.err;
}

TEST_F(ContactsImport, ABookThatWouldOverflowImportsNothing) {
  // 9998 entries from a text export, then a file of two cards: one would not fit.
  std::string lines;
  for (int k = 1; k <= 9998; ++k) {
    lines += "K" + std::to_string(k) + ",n" + std::to_string(k) + ",,,[Outline],,,,,0,,,,,,0\r\n";
  }
  WriteAll(dir_.File("many.csv"), lines);
  ASSERT_EQ(Import(dir_.File("many.csv")).status, 0);
  std::string before = ReadAll(book_);
  WriteAll(dir_.File("two.vcf"),
           "BEGIN:VCARD\r\nFN:A\r\nEND:VCARD\r\nBEGIN:VCARD\r\nFN:B\r\nEND:VCARD\r\n");
  Result run = Import(dir_.File("two.vcf"));
  EXPECT_EQ(run.status, 3);
  EXPECT_NE(run.err.find("room for 1 more entries; 1 of the 2 entries to add would not fit; "
                         "nothing was imported"),
            std::string::npos)
      << run.err;
  EXPECT_EQ(ReadAll(book_), before);
}

TEST_F(ContactsImport, TheVcardExportOfABookReadsBackAsTheSameEntries) {
  std::string demo = dir_.File("demo");
  ASSERT_EQ(dir_.Tool({"demo", demo}).status, 0);
  ASSERT_EQ(dir_.Tool({"export", demo + "/demo.tlb", dir_.File("demo.vcf"), "--vcard"}).status, 0);
  Result run = Import(dir_.File("demo.vcf"));
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out.find("skipped"), std::string::npos) << run.out;
  Result original = dir_.Tool({"list", demo + "/demo.tlb", "--json"});
  std::vector<nlohmann::json> want;
  for (const auto& r : nlohmann::json::parse(original.out)) {
    if (r["kind"] == "entry") want.push_back(r);
  }
  std::vector<nlohmann::json> got;
  for (const auto& r : List()) got.push_back(r);
  ASSERT_EQ(got.size(), want.size());
  for (size_t i = 0; i < want.size(); ++i) {
    for (const char* key : {"name", "furigana", "affiliation", "fax", "phone", "email", "memo"}) {
      EXPECT_EQ(got[i][key], want[i][key]) << want[i]["name"] << " " << key;
    }
  }
}

}  // namespace
}  // namespace tooltest
}  // namespace telbook
