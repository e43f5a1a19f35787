// Tests of the changes `telbook serve` makes: entries, groups and favourites saved at once and
// seen by the command line; bad field values refused with the field named and the book untouched;
// a book changed by another program refused until read again; imports previewed as the command
// line plans them and applied as it applies them; deletion; Ctrl-C; two servers on one book.
#include <gtest/gtest.h>

#include <cstdio>
#include <nlohmann/json.hpp>
#include <set>
#include <string>
#include <vector>

#include "tests/tool/tool_runner.h"
#include "tests/tool/web/serve_process.h"

namespace telbook {
namespace tooltest {
namespace {

using nlohmann::json;

const std::string kContacts = TELBOOK_CONTACTS_DIR;

class ServeChanges : public ServedDemo {
 protected:
  json Show(int number) {
    Result r = dir_.Tool({"show", book_, std::to_string(number), "--json"});
    EXPECT_EQ(r.status, 0) << r.err;
    return r.status == 0 ? json::parse(r.out) : json::object();
  }
  // Sends a change that must be saved; returns its answer.
  json Saved(const std::string& method, const std::string& path, const json& body) {
    httplib::Result r = page_->Send(method, path, body);
    EXPECT_TRUE(r);
    if (!r) return json::object();
    EXPECT_EQ(r->status, 200) << method << " " << path << ": " << r->body;
    return json::parse(r->body, nullptr, false);
  }
  // Uploads a file to the import as the page does, made on the book's version given.
  httplib::Result Upload(const std::string& path, const std::string& bytes,
                         const std::string& version) {
    httplib::Headers h = page_->Headers();
    h.emplace("Origin", "http://" + server_->host());
    h.emplace("X-Telbook-Page", page_->page_token);
    h.emplace("X-Telbook-Version", version);
    return page_->SendRaw("POST", path, bytes, "application/octet-stream", h);
  }
};

TEST_F(ServeChanges, EntriesAreAddedAndEditedAndSavedAtOnce) {
  json added = Saved("POST", "/api/entry",
                     {{"name", "加藤 花子"},
                      {"furigana", "かとう はなこ"},
                      {"fax", "03-1111-2222"},
                      {"line-type", "internal"},
                      {"favourite", 2},
                      {"comm-mode", 3}});
  int n = added["number"];
  EXPECT_EQ(n, 32);
  json shown = Show(n);
  EXPECT_EQ(shown["name"], "加藤 花子");
  EXPECT_EQ(shown["line-type"], "internal");
  EXPECT_EQ(shown["favourite"], 2);
  EXPECT_EQ(shown["comm-mode"], 3);
  // It is in the か tab, and the answer named the book's new version.
  std::set<int> in_tab;
  json rows = page_->GetJson("/api/tab/2")["rows"];
  for (const json& row : rows) in_tab.insert(row[0].get<int>());
  EXPECT_EQ(in_tab.count(n), 1u);
  EXPECT_EQ(page_->version, page_->GetJson("/api/book")["version"]);

  // An edit changes the fields it names and keeps the others.
  Saved("PUT", "/api/entry/" + std::to_string(n), {{"phone", "090-0000-1111"}, {"memo", "メモ"}});
  shown = Show(n);
  EXPECT_EQ(shown["phone"], "090-0000-1111");
  EXPECT_EQ(shown["memo"], "メモ");
  EXPECT_EQ(shown["fax"], "03-1111-2222");
  EXPECT_EQ(page_->Send("PUT", "/api/entry/99", {{"name", "x"}})->status, 404);
  EXPECT_EQ(page_->Send("PUT", "/api/entry/16385", {{"name", "x"}})->status, 404);
}

TEST_F(ServeChanges, BadValuesAreRefusedWithTheirFieldAndChangeNothing) {
  std::string before = ReadAll(book_);
  struct Case {
    std::string method;
    std::string path;
    json body;
    int status;
    std::string field;
  };
  std::vector<Case> cases = {
      {"POST", "/api/entry", {{"name", std::string(41, 'x')}}, 422, "name"},
      {"POST", "/api/entry", {{"name", "漢字漢字漢字漢字漢字漢字漢字漢字漢字漢字漢"}}, 422, "name"},
      {"POST", "/api/entry", {{"name", "x"}, {"memo", "😀"}}, 422, "memo"},
      {"POST", "/api/entry", {{"name", ""}}, 422, "name"},
      {"POST", "/api/entry", {{"furigana", "x"}}, 422, "name"},
      {"POST", "/api/entry", {{"name", "x"}, {"favourite", 6}}, 422, "favourite"},
      {"POST", "/api/entry", {{"name", "x"}, {"comm-mode", "3"}}, 422, "comm-mode"},
      {"POST", "/api/entry", {{"name", "x"}, {"relay-output", 256}}, 422, "relay-output"},
      {"POST", "/api/entry", {{"name", "x"}, {"line-type", "satellite"}}, 422, "line-type"},
      {"POST", "/api/entry", {{"name", "x"}, {"colour", "red"}}, 422, "colour"},
      {"POST", "/api/entry", {{"name", 5}}, 422, "name"},
      {"POST", "/api/entry", json::array({1, 2}), 422, ""},
      {"POST", "/api/group", {{"name", "g"}, {"members", {1, 1}}}, 422, "members"},
      {"POST", "/api/group", {{"name", "g"}, {"members", {1, 99}}}, 422, "members"},
      {"POST", "/api/group", {{"name", "g"}, {"members", {16385}}}, 422, "members"},
      {"POST", "/api/group", {{"furigana", "g"}}, 422, "name"},
      {"PUT", "/api/group/16385", {{"name", std::string(41, 'g')}}, 422, "name"},
      {"PUT", "/api/group/21385", {{"name", "g"}}, 409, ""},
      {"PUT", "/api/group/16390", {{"name", "g"}}, 404, ""},
      {"PUT", "/api/favourites/1", {{"name", "a b"}}, 422, "name"},
      {"PUT", "/api/favourites/1", {{"name", "12345678901234567"}}, 422, "name"},
      {"PUT", "/api/favourites/6", {{"name", "x"}}, 404, ""},
      {"POST", "/api/favourite-members", {{"favourite", 9}, {"entries", {1}}}, 422, "favourite"},
      {"POST", "/api/favourite-members", {{"favourite", 1}, {"entries", {99}}}, 404, ""},
      {"POST", "/api/favourite-members", {{"favourite", 1}, {"groups", {16390}}}, 404, ""},
  };
  for (const Case& c : cases) {
    httplib::Result r = page_->Send(c.method, c.path, c.body);
    ASSERT_TRUE(r) << c.body.dump();
    EXPECT_EQ(r->status, c.status) << c.body.dump() << ": " << r->body;
    json answer = json::parse(r->body, nullptr, false);
    ASSERT_TRUE(answer.is_object()) << r->body;
    EXPECT_FALSE(answer.value("error", "").empty()) << r->body;
    if (!c.field.empty()) {
      EXPECT_EQ(answer.value("field", ""), c.field) << c.body.dump();
    }
  }
  // Not JSON, or not sent as JSON.
  httplib::Headers h = page_->Headers();
  h.emplace("Origin", "http://" + server_->host());
  h.emplace("X-Telbook-Page", page_->page_token);
  h.emplace("X-Telbook-Version", page_->version);
  EXPECT_EQ(page_->SendRaw("POST", "/api/entry", "{\"name\":", "application/json", h)->status, 400);
  EXPECT_EQ(page_->SendRaw("POST", "/api/entry", "name=x", "text/plain", h)->status, 415);
  EXPECT_EQ(ReadAll(book_), before);
}

TEST_F(ServeChanges, GroupsAreMadeRenamedAndRegrouped) {
  json made = Saved("POST", "/api/group",
                    {{"name", "新年会"}, {"furigana", "しんねんかい"}, {"members", {5, 9}}});
  int g = made["number"];
  EXPECT_EQ(g, 16387);
  json shown = Show(g);
  EXPECT_EQ(shown["member-count"], 2);
  // A rename alone keeps the members, reading and favourite.
  Saved("PUT", "/api/group/" + std::to_string(g), {{"name", "忘年会"}});
  shown = Show(g);
  EXPECT_EQ(shown["name"], "忘年会");
  EXPECT_EQ(shown["furigana"], "しんねんかい");
  ASSERT_EQ(shown["members"].size(), 2u);
  // New members replace the old ones.
  Saved("PUT", "/api/group/" + std::to_string(g), {{"members", {1, 2, 5}}});
  shown = Show(g);
  std::vector<int> members;
  for (const json& m : shown["members"]) members.push_back(m["number"]);
  EXPECT_EQ(members, (std::vector<int>{1, 2, 5}));
}

TEST_F(ServeChanges, FavouritesAreRenamedAndFilled) {
  Saved("PUT", "/api/favourites/4", {{"name", "年賀状"}});
  Result r = dir_.Tool({"favourites", book_});
  EXPECT_NE(r.out.find("年賀状"), std::string::npos) << r.out;
  Saved("POST", "/api/favourite-members",
        {{"favourite", 4}, {"entries", {2, 3}}, {"groups", {16386}}});
  EXPECT_EQ(Show(2)["favourite"], 4);
  EXPECT_EQ(Show(3)["favourite"], 4);
  EXPECT_EQ(Show(16386)["favourite"], 4);
  EXPECT_EQ(Show(16386)["member-count"], 5);  // members kept
  json book = page_->GetJson("/api/book");
  EXPECT_EQ(book["favourites"][3], "年賀状");
  EXPECT_EQ(book["tabs"][14]["count"], 3);
}

TEST_F(ServeChanges, ABookChangedUnderneathIsRefusedUntilReadAgain) {
  std::string seen = page_->version;
  // Another program adds an entry.
  ASSERT_EQ(dir_.Tool({"add", book_, "--name", "外から"}).status, 0);
  std::string after_other = ReadAll(book_);
  for (const auto& [method, path, body] : std::vector<std::tuple<std::string, std::string, json>>{
           {"POST", "/api/entry", {{"name", "ページから"}}},
           {"PUT", "/api/entry/1", {{"memo", "x"}}},
           {"POST", "/api/group", {{"name", "g"}}},
           {"PUT", "/api/favourites/1", {{"name", "x"}}}}) {
    httplib::Result r = page_->Send(method, path, body);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->status, 409) << path << ": " << r->body;
    EXPECT_EQ(json::parse(r->body)["code"], "changed");
  }
  EXPECT_EQ(ReadAll(book_), after_other);  // the other program's save stands
  // Read again, the same change goes through and both entries are there.
  page_->Refresh();
  EXPECT_NE(page_->version, seen);
  EXPECT_EQ(Saved("POST", "/api/entry", {{"name", "ページから"}})["number"], 33);
  EXPECT_EQ(Show(32)["name"], "外から");
  EXPECT_EQ(page_->GetJson("/api/book")["entries"], 33);
}

TEST_F(ServeChanges, ImportShowsTheCommandLinesPlanAndAppliesItTheSameWay) {
  // Each file goes to the served book through the page and to a copy of it through
  // `telbook import`: the preview is the plan --dry-run prints, and the books end up the same.
  const std::string twin = dir_.File("twin.tlb");
  ASSERT_EQ(dir_.Tool({"export", book_, dir_.File("two.csv"), "--entries", "5,9"}).status, 0);
  WriteAll(dir_.File("mapped.csv"), "Person,Line\r\n山本 一,03-1111-9999\r\n");
  struct Case {
    std::string file;
    std::string query;  // the page's switches
    std::vector<std::string> flags;
    const char* format;
    int added;  // -1: as the command line plans it
  };
  // The demo book holds most of the sample cards already.
  const std::vector<Case> cases = {
      {kContacts + "/webmail_30.vcf", "", {}, "vcard", 2},
      {kContacts + "/current_phone_30.vcf", "", {}, "vcard", 0},
      {kContacts + "/current_phone_30.vcf",
       "&allow-duplicates=1&replace=1",
       {"--allow-duplicates", "--replace"},
       "vcard",
       6},
      {kContacts + "/feature_phone_21.vcf", "&fax-only=1", {"--fax-only"}, "vcard", -1},
      {kContacts + "/address_book_ja.csv", "&no-groups=1", {"--no-groups"}, "csv", -1},
      {dir_.File("two.csv"), "", {}, "text", 2},
      {dir_.File("mapped.csv"),
       "&map=Person%3Dname%2CLine%3Dfax",
       {"--map", "Person=name,Line=fax"},
       "csv",
       1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file + c.query);
    WriteAll(twin, ReadAll(book_));
    std::string bytes = ReadAll(c.file);
    std::string before = ReadAll(book_);
    httplib::Result r = Upload("/api/import?mode=preview" + c.query, bytes, page_->version);
    ASSERT_TRUE(r);
    ASSERT_EQ(r->status, 200) << r->body;
    json plan = json::parse(r->body);
    EXPECT_EQ(ReadAll(book_), before);  // a preview writes nothing
    EXPECT_EQ(plan["format"], c.format);
    std::vector<std::string> dry = {"import", twin, c.file, "--dry-run", "--json"};
    dry.insert(dry.end(), c.flags.begin(), c.flags.end());
    Result tool = dir_.Tool(dry);
    ASSERT_EQ(tool.status, 0) << tool.err;
    json expected = json::parse(tool.out);
    EXPECT_EQ(plan["cards"], expected["cards"]);
    EXPECT_EQ(plan["groups"], expected["groups"]);
    if (c.added >= 0) {
      EXPECT_EQ(plan["summary"]["add"], c.added);
    }

    r = Upload("/api/import?mode=apply" + c.query, bytes, plan["version"]);
    ASSERT_TRUE(r);
    ASSERT_EQ(r->status, 200) << r->body;
    json done = json::parse(r->body);
    page_->version = done["version"];
    std::vector<std::string> apply = {"import", twin, c.file};
    apply.insert(apply.end(), c.flags.begin(), c.flags.end());
    tool = dir_.Tool(apply);
    ASSERT_EQ(tool.status, 0) << tool.err;
    ASSERT_EQ(dir_.Tool({"export", book_, dir_.File("served.csv")}).status, 0);
    ASSERT_EQ(dir_.Tool({"export", twin, dir_.File("twin.csv")}).status, 0);
    EXPECT_EQ(ReadAll(dir_.File("served.csv")), ReadAll(dir_.File("twin.csv")));
    std::remove(dir_.File("served.csv").c_str());
    std::remove(dir_.File("twin.csv").c_str());
  }
  std::remove(twin.c_str());
  std::remove(dir_.File("two.csv").c_str());
  std::remove(dir_.File("mapped.csv").c_str());
}

TEST_F(ServeChanges, ImportRefusesWhatItCannotAddAndChangesNothing) {
  std::string before = ReadAll(book_);
  std::string card =
      "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:加藤 三郎\r\nTEL;TYPE=FAX:03-1\r\nEND:VCARD\r\n";
  std::string long_name =
      "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:" + std::string(60, 'A') + "\r\nEND:VCARD\r\n";
  struct Case {
    std::string query;
    std::string body;
    int status;
    const char* says;
  };
  const std::vector<Case> cases = {
      {"mode=apply", "K1,broken\r\n", 422, "line 1"},
      {"mode=preview", "K1,broken\r\n", 422, "nothing was imported"},
      {"mode=apply&strict=1", long_name, 422, "nothing was imported"},
      {"mode=apply&format=xml", card, 400, "format"},
      {"mode=apply&encoding=latin1", card, 400, "encoding"},
      {"mode=apply&fax-only=yes", card, 400, "fax-only"},
      {"mode=apply&map=Fax%3Dnothing", card, 400, "nothing"},
      {"mode=later", card, 400, "mode"},
  };
  for (const Case& c : cases) {
    httplib::Result r = Upload("/api/import?" + c.query, c.body, page_->version);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->status, c.status) << c.query << ": " << r->body;
    EXPECT_NE(r->body.find(c.says), std::string::npos) << c.query << ": " << r->body;
  }
  // A preview made before another program's save cannot be applied: its plan is out of date.
  httplib::Result r = Upload("/api/import?mode=preview", card, page_->version);
  ASSERT_TRUE(r);
  std::string seen = json::parse(r->body)["version"];
  ASSERT_EQ(dir_.Tool({"add", book_, "--name", "外から", "--fax", "03-1"}).status, 0);
  before = ReadAll(book_);
  r = Upload("/api/import?mode=apply", card, seen);
  ASSERT_TRUE(r);
  EXPECT_EQ(r->status, 409) << r->body;
  EXPECT_EQ(json::parse(r->body)["code"], "changed");
  EXPECT_EQ(ReadAll(book_), before);
  // Made again, the plan knows the other program's entry: the card is its duplicate.
  r = Upload("/api/import?mode=preview", card, seen);
  ASSERT_TRUE(r);
  json plan = json::parse(r->body);
  EXPECT_EQ(plan["cards"][0]["fate"], "duplicate");
  EXPECT_EQ(plan["cards"][0]["duplicates"][0]["entry"], 32);
}

TEST_F(ServeChanges, EntriesAndGroupsAreDeletedOnlyAsWhatTheyAre) {
  // Entry 5 is a member of group 16386.
  json group = Show(16386);
  size_t members = group["members"].size();
  struct Case {
    std::string path;
    int status;
  };
  const std::vector<Case> cases = {
      {"/api/group/5", 404},                              // an entry's number on the group route
      {"/api/entry/16386", 404},                          // and the other way round
      {"/api/entry/0", 404},     {"/api/entry/77", 404},  // no such entry
      {"/api/group/16399", 404}, {"/api/entry/5", 200},  {"/api/entry/5", 404},  // already gone
  };
  for (const Case& c : cases) {
    httplib::Result r = page_->Send("DELETE", c.path, json::object());
    ASSERT_TRUE(r);
    EXPECT_EQ(r->status, c.status) << c.path << ": " << r->body;
  }
  EXPECT_EQ(page_->Get("/api/entry/5")->status, 404);
  EXPECT_NE(dir_.Tool({"show", book_, "5"}).status, 0);
  group = Show(16386);
  EXPECT_EQ(group["members"].size(), members - 1);
  for (const json& m : group["members"]) EXPECT_NE(m["number"], 5);
  // A group goes and its entries stay.
  int first = group["members"][0]["number"];
  httplib::Result r = page_->Send("DELETE", "/api/group/16386", json::object());
  ASSERT_TRUE(r);
  EXPECT_EQ(r->status, 200) << r->body;
  EXPECT_NE(dir_.Tool({"show", book_, "16386"}).status, 0);
  EXPECT_EQ(dir_.Tool({"show", book_, std::to_string(first)}).status, 0);
  EXPECT_EQ(dir_.Tool({"check", book_}).status, 0);
}

TEST_F(ServeChanges, TwoServersOnOneBookSeeEachOthersSaves) {
  ServeProcess other(book_, dir_.path());
  ASSERT_NE(other.port(), 0);
  PageClient beside(other);
  Saved("POST", "/api/entry", {{"name", "一つ目から"}});
  // The other page, reloaded, shows it and changes on top of it.
  beside.Refresh();
  EXPECT_EQ(beside.GetJson("/api/book")["entries"], 32);
  httplib::Result r = beside.Send("POST", "/api/entry", {{"name", "二つ目から"}});
  ASSERT_TRUE(r);
  EXPECT_EQ(r->status, 200) << r->body;
  // The first page's version is old now.
  EXPECT_EQ(page_->Send("POST", "/api/entry", {{"name", "x"}})->status, 409);
  page_->Refresh();
  EXPECT_EQ(page_->GetJson("/api/book")["entries"], 33);
  EXPECT_EQ(other.Stop().status, 0);
}

TEST_F(ServeChanges, CtrlCStopsCleanly) {
  Saved("POST", "/api/entry", {{"name", "最後"}});
  ServeProcess::Stopped stopped = server_->Stop();
  EXPECT_EQ(stopped.status, 0) << stopped.err;
  EXPECT_NE(stopped.out.find("stopped by SIGINT"), std::string::npos) << stopped.out;
  EXPECT_EQ(Show(32)["name"], "最後");
  // Nothing of the server or the library is left in the temporary directory.
  for (const std::string& name : dir_.List()) {
    EXPECT_TRUE(name == "demo") << name;
  }
  Result check = dir_.Tool({"check", book_});
  EXPECT_EQ(check.status, 0) << check.out;
}

}  // namespace
}  // namespace tooltest
}  // namespace telbook
