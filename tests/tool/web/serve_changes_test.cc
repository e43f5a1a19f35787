// Tests of the changes `telbook serve` makes: entries, groups and favourites saved at once and
// seen by the command line; bad field values refused with the field named and the book untouched;
// a book changed by another program refused until read again; imports previewed before they are
// added; Ctrl-C; two servers on one book.
#include <gtest/gtest.h>

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

TEST_F(ServeChanges, ImportIsPreviewedBeforeAnythingIsAdded) {
  ASSERT_EQ(dir_.Tool({"export", book_, dir_.File("all.csv")}).status, 0);
  std::string text = ReadAll(dir_.File("all.csv"));
  std::string before = ReadAll(book_);
  httplib::Headers h = page_->Headers();
  h.emplace("Origin", "http://" + server_->host());
  h.emplace("X-Telbook-Page", page_->page_token);
  h.emplace("X-Telbook-Version", page_->version);
  httplib::Result r =
      page_->SendRaw("POST", "/api/import?mode=preview", text, "application/octet-stream", h);
  ASSERT_TRUE(r);
  ASSERT_EQ(r->status, 200) << r->body;
  json plan = json::parse(r->body);
  EXPECT_EQ(plan["entries"].size(), 31u);
  EXPECT_EQ(plan["groups"].size(), 2u);
  EXPECT_EQ(plan["entries"][4]["name"], "加藤 直樹");
  EXPECT_EQ(plan["fits"], true);
  EXPECT_EQ(ReadAll(book_), before);  // a preview writes nothing

  r = page_->SendRaw("POST", "/api/import?mode=apply", text, "application/octet-stream", h);
  ASSERT_TRUE(r);
  ASSERT_EQ(r->status, 200) << r->body;
  json done = json::parse(r->body);
  EXPECT_EQ(done["entries"].size(), 31u);
  EXPECT_EQ(done["entries"][0], 32);
  EXPECT_EQ(Show(36)["name"], "加藤 直樹");

  page_->Refresh();
  h.erase("X-Telbook-Version");
  h.emplace("X-Telbook-Version", page_->version);
  struct Case {
    std::string body;
    int status;
    const char* says;
  };
  std::vector<Case> cases = {
      {"BEGIN:VCARD\r\nVERSION:3.0\r\nFN:x\r\nEND:VCARD\r\n", 415, "vCard"},
      {"K1,broken\r\n", 422, "line 1"},
  };
  before = ReadAll(book_);
  for (const Case& c : cases) {
    r = page_->SendRaw("POST", "/api/import?mode=apply", c.body, "application/octet-stream", h);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->status, c.status) << r->body;
    EXPECT_NE(r->body.find(c.says), std::string::npos) << r->body;
  }
  EXPECT_EQ(ReadAll(book_), before);
}

TEST_F(ServeChanges, DeletionIsOfferedOnlyWhenTheLibraryCanDelete) {
  json book = page_->GetJson("/api/book");
  httplib::Result r = page_->Send("DELETE", "/api/entry/5", json::object());
  ASSERT_TRUE(r);
#if TELBOOK_HAVE_DELETE
  EXPECT_EQ(book["can"]["delete"], true);
  EXPECT_EQ(r->status, 200) << r->body;
  EXPECT_EQ(page_->Get("/api/entry/5")->status, 404);
  for (const json& m : Show(16386)["members"]) EXPECT_NE(m["number"], 5);
#else
  EXPECT_EQ(book["can"]["delete"], false);
  EXPECT_EQ(r->status, 501) << r->body;
  EXPECT_EQ(Show(5)["name"], "加藤 直樹");
#endif
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
