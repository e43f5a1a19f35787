// Tests of `telbook serve` over HTTP: the guard in front of every route (token and cookie, Host,
// Origin and the page's token for changes, methods, body sizes, headers of every answer) and the
// routes that read the book, compared with what the command line says of the same book.
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

using ServeTest = ServedDemo;

TEST_F(ServeTest, GuardRefusesWhatIsNotThePage) {
  std::string host = server_->host();
  std::string origin = "http://" + host;
  std::string cookie = server_->cookie();
  std::string wrong_cookie = "telbook-" + std::to_string(server_->port()) + "=" +
                             std::string(server_->token().size(), '0');
  struct Case {
    const char* what;
    std::string method;
    std::string path;
    httplib::Headers headers;
    std::string body;
    int status;
  };
  std::string page = page_->page_token;
  std::string version = page_->version;
  auto change = [&](httplib::Headers h) {
    h.emplace("X-Telbook-Version", version);
    return h;
  };
  const std::string json_body = R"({"name":"x"})";
  std::vector<Case> cases = {
      {"no cookie", "GET", "/api/book", {{"Host", host}}, "", 403},
      {"no cookie, page", "GET", "/", {{"Host", host}}, "", 403},
      {"no cookie, script", "GET", "/app.js", {{"Host", host}}, "", 403},
      {"wrong cookie", "GET", "/api/book", {{"Host", host}, {"Cookie", wrong_cookie}}, "", 403},
      {"cookie of another port",
       "GET",
       "/api/book",
       {{"Host", host}, {"Cookie", "telbook-1=" + server_->token()}},
       "",
       403},
      {"wrong token",
       "GET",
       "/?token=" + std::string(server_->token().size(), 'f'),
       {{"Host", host}},
       "",
       403},
      {"right token", "GET", "/?token=" + server_->token(), {{"Host", host}}, "", 303},
      {"rebinding Host",
       "GET",
       "/api/book",
       {{"Host", "evil.example:" + std::to_string(server_->port())}, {"Cookie", cookie}},
       "",
       421},
      {"Host of another port",
       "GET",
       "/api/book",
       {{"Host", "127.0.0.1:1"}, {"Cookie", cookie}},
       "",
       421},
      {"localhost",
       "GET",
       "/api/book",
       {{"Host", "localhost:" + std::to_string(server_->port())}, {"Cookie", cookie}},
       "",
       200},
      {"change without Origin", "POST", "/api/entry",
       change({{"Host", host}, {"Cookie", cookie}, {"X-Telbook-Page", page}}), json_body, 403},
      {"change from another Origin", "POST", "/api/entry",
       change({{"Host", host},
               {"Cookie", cookie},
               {"X-Telbook-Page", page},
               {"Origin", "http://evil.example"}}),
       json_body, 403},
      {"change without page token", "POST", "/api/entry",
       change({{"Host", host}, {"Cookie", cookie}, {"Origin", origin}}), json_body, 403},
      {"change with unknown page token", "POST", "/api/entry",
       change({{"Host", host},
               {"Cookie", cookie},
               {"Origin", origin},
               {"X-Telbook-Page", std::string(page.size(), '0')}}),
       json_body, 403},
      {"change without cookie", "POST", "/api/entry",
       change({{"Host", host}, {"Origin", origin}, {"X-Telbook-Page", page}}), json_body, 403},
      {"change without version",
       "POST",
       "/api/entry",
       {{"Host", host}, {"Cookie", cookie}, {"Origin", origin}, {"X-Telbook-Page", page}},
       json_body,
       428},
      {"oversized form", "POST", "/api/entry",
       change({{"Host", host}, {"Cookie", cookie}, {"Origin", origin}, {"X-Telbook-Page", page}}),
       std::string(70 * 1024, ' '), 413},
      {"oversized upload", "POST", "/api/import?mode=preview",
       change({{"Host", host}, {"Cookie", cookie}, {"Origin", origin}, {"X-Telbook-Page", page}}),
       std::string(5 * 1024 * 1024, 'K'), 413},
  };
  for (const Case& c : cases) {
    httplib::Result r =
        c.method == "GET" ? page_->raw().Get(c.path, c.headers)
                          : page_->SendRaw(c.method, c.path, c.body, "application/json", c.headers);
    if (!r && c.status == 413) continue;  // refused before the body was read: the line is cut
    ASSERT_TRUE(r) << c.what;
    EXPECT_EQ(r->status, c.status) << c.what << ": " << r->body;
    EXPECT_FALSE(r->has_header("Access-Control-Allow-Origin")) << c.what;
    if (c.status == 303) {
      EXPECT_EQ(r->get_header_value("Set-Cookie"), cookie + "; Path=/; HttpOnly; SameSite=Strict");
      EXPECT_EQ(r->get_header_value("Location"), "/");
    }
  }
  // Nothing of the refused changes reached the book.
  EXPECT_EQ(page_->GetJson("/api/book")["entries"], 31);
}

TEST_F(ServeTest, NoCorsAndAStrictPolicyOnEveryAnswer) {
  httplib::Headers h = page_->Headers();
  h.emplace("Origin", "http://evil.example");
  h.emplace("Access-Control-Request-Method", "POST");
  httplib::Result r = page_->raw().Options("/api/entry", h);
  ASSERT_TRUE(r);
  EXPECT_EQ(r->status, 405);
  EXPECT_FALSE(r->has_header("Access-Control-Allow-Origin"));
  for (const char* path : {"/", "/app.js", "/app.css", "/api/book", "/api/tab/2", "/nowhere"}) {
    r = page_->Get(path);
    ASSERT_TRUE(r) << path;
    std::string policy = r->get_header_value("Content-Security-Policy");
    EXPECT_NE(policy.find("default-src 'none'"), std::string::npos) << path;
    EXPECT_NE(policy.find("script-src 'self'"), std::string::npos) << path;
    EXPECT_EQ(policy.find("unsafe"), std::string::npos) << path;
    EXPECT_EQ(r->get_header_value("X-Content-Type-Options"), "nosniff") << path;
    EXPECT_EQ(r->get_header_value("Referrer-Policy"), "no-referrer") << path;
    EXPECT_FALSE(r->has_header("Access-Control-Allow-Origin")) << path;
  }
  EXPECT_EQ(page_->Get("/nowhere")->status, 404);
  // The page holds no script or style of its own, which the policy would block.
  std::string html = page_->Get("/")->body;
  EXPECT_EQ(html.find("<script>"), std::string::npos);
  EXPECT_EQ(html.find("style="), std::string::npos);
  EXPECT_EQ(html.find("{{PAGE}}"), std::string::npos);
}

TEST_F(ServeTest, EachPageLoadGetsItsOwnToken) {
  PageClient second(*server_);
  EXPECT_NE(second.page_token, page_->page_token);
  EXPECT_EQ(second.page_token.size(), 32u);
  // Both pages may change the book.
  EXPECT_EQ(page_->Send("PUT", "/api/favourites/4", {{"name", "一"}})->status, 200);
  second.Refresh();
  EXPECT_EQ(second.Send("PUT", "/api/favourites/5", {{"name", "二"}})->status, 200);
}

TEST_F(ServeTest, ReadingRoutesAgreeWithTheCommandLine) {
  json book = page_->GetJson("/api/book");
  EXPECT_EQ(book["entries"], 31);
  EXPECT_EQ(book["groups"], 2);
  EXPECT_EQ(book["favourites"][0], "取引先");
  ASSERT_EQ(book["tabs"].size(), 16u);
  for (const json& tab : book["tabs"]) {
    char code[8];
    snprintf(code, sizeof(code), "0x%02X", tab["code"].get<int>());
    Result listed = dir_.Tool({"list", book_, "--tab", code, "--json"});
    ASSERT_EQ(listed.status, 0) << listed.err;
    std::set<int> expected;
    for (const json& item : json::parse(listed.out)) expected.insert(item["number"].get<int>());
    EXPECT_EQ(tab["count"].get<size_t>(), expected.size()) << code;
    std::set<int> shown;
    json rows = page_->GetJson("/api/tab/" + std::to_string(tab["code"].get<int>()))["rows"];
    for (const json& row : rows) shown.insert(row[0].get<int>());
    EXPECT_EQ(shown, expected) << code;
  }
  EXPECT_EQ(page_->Get("/api/tab/12")->status, 404);
  EXPECT_EQ(page_->Get("/api/tab/99999999")->status, 404);

  // Search folds kana, width and case as `telbook search` does.
  for (const char* text : {"ｶﾄｳ", "かとう", "ACME", "トウ", "nowhere-at-all"}) {
    Result searched = dir_.Tool({"search", book_, text, "--json"});
    std::set<int> expected;
    if (searched.status == 0) {
      for (const json& item : json::parse(searched.out)) expected.insert(item["number"].get<int>());
    }
    std::set<int> found;
    json result = page_->GetJson("/api/search?q=" + httplib::detail::encode_query_param(text));
    for (const json& row : result["rows"]) found.insert(row[0].get<int>());
    EXPECT_EQ(found, expected) << text;
  }

  json entry = page_->GetJson("/api/entry/5");
  EXPECT_EQ(entry["name"], "加藤 直樹");
  EXPECT_EQ(entry["furigana"], "かとう なおき");
  EXPECT_EQ(page_->Get("/api/entry/99")->status, 404);
  EXPECT_EQ(page_->Get("/api/entry/16385")->status, 404);
  json group = page_->GetJson("/api/group/16385");
  EXPECT_EQ(group["name"], "営業部");
  EXPECT_EQ(group["members"].size(), 4u);
  EXPECT_EQ(page_->Get("/api/group/1")->status, 404);
}

TEST_F(ServeTest, RowsCarryTheReadingOrder) {
  // In the あ tab, the half-width reading ｳｴﾉ sorts between いしだ and えいぎょうぶ, not after
  // every hiragana as byte order would put it.
  json rows = page_->GetJson("/api/tab/1")["rows"];
  std::map<std::string, int> rank;
  for (const json& row : rows) rank[row[4].get<std::string>()] = row[9].get<int>();
  EXPECT_LT(rank["いしだ けんいち"], rank["ｳｴﾉ ﾕﾐ"]);
  EXPECT_LT(rank["ｳｴﾉ ﾕﾐ"], rank["えいぎょうぶ"]);
}

TEST_F(ServeTest, ExportsAreTheToolsOwn) {
  struct Case {
    std::string query;
    std::vector<std::string> args;
    std::string file;
  };
  std::vector<Case> cases = {
      {"format=text", {}, "demo.csv"},
      {"format=text&entries=1,5&groups=16386",
       {"--entries", "1,5", "--groups", "16386"},
       "demo.csv"},
      {"format=subset&groups=16385", {"--subset", "--groups", "16385"}, "demo-subset.tlb"},
      {"format=vcard&entries=1-3", {"--vcard", "--entries", "1,2,3"}, "demo.vcf"},
  };
  for (const Case& c : cases) {
    httplib::Result r = page_->Get("/api/export?" + c.query);
    ASSERT_TRUE(r);
    ASSERT_EQ(r->status, 200) << c.query << ": " << r->body;
    std::vector<std::string> args = {"export", book_, dir_.File("expected")};
    args.insert(args.end(), c.args.begin(), c.args.end());
    ASSERT_EQ(dir_.Tool(args).status, 0) << c.query;
    EXPECT_EQ(r->body, ReadAll(dir_.File("expected"))) << c.query;
    EXPECT_EQ(r->get_header_value("Content-Disposition"),
              "attachment; filename=\"" + c.file + "\"");
  }
  EXPECT_EQ(page_->Get("/api/export?format=text&entries=99")->status, 404);
  EXPECT_EQ(page_->Get("/api/export?format=text&groups=1")->status, 404);
  EXPECT_EQ(page_->Get("/api/export?format=text&entries=x")->status, 422);
  EXPECT_EQ(page_->Get("/api/export?format=../../etc/passwd")->status, 400);
  // The export's own files are gone.
  ServeProcess::Stopped stopped = server_->Stop();
  EXPECT_EQ(stopped.status, 0) << stopped.err;
  for (const std::string& name : dir_.List())
    EXPECT_EQ(name.rfind("telbook-serve-", 0), std::string::npos) << name;
}

TEST_F(ServeTest, MeasuresRoomInCodePage932) {
  httplib::Result r = page_->Send(
      "POST", "/api/measure",
      {{"texts",
        json::array({json::array({"name", "かとう"}), json::array({"memo", "😀"}),
                     json::array({"favourite-name", "ABC"}), json::array({"group-name", ""})})}});
  ASSERT_TRUE(r);
  ASSERT_EQ(r->status, 200) << r->body;
  json f = json::parse(r->body)["fields"];
  EXPECT_EQ(f[0]["bytes"], 6);
  EXPECT_EQ(f[0]["room"], 40);
  EXPECT_EQ(f[0]["bad"], "");
  EXPECT_NE(f[1]["bad"].get<std::string>().find("U+1F600"), std::string::npos);
  EXPECT_EQ(f[2]["room"], 16);
  EXPECT_EQ(f[3]["room"], 40);
  EXPECT_EQ(
      page_->Send("POST", "/api/measure", {{"texts", json::array({json::array({"colour", "x"})})}})
          ->status,
      422);
  EXPECT_EQ(page_->Send("POST", "/api/measure", {{"texts", 5}})->status, 422);
}

TEST(ServeCommand, RefusesWhatItCannotServeSafely) {
  Scratch dir;
  ASSERT_EQ(dir.Tool({"create", dir.File("b.tlb")}).status, 0);
  struct Case {
    std::vector<std::string> args;
    int status;
    std::string says;
  };
  std::vector<Case> cases = {
      {{"serve", dir.File("b.tlb"), "--host", "0.0.0.0"}, 2, "not a loopback address"},
      {{"serve", dir.File("b.tlb"), "--host", "192.0.2.1", "--allow-remote"},
       2,
       "TELBOOK_SERVE_PASSWORD"},
      {{"serve", dir.File("none.tlb")}, 3, "none.tlb"},
      {{"serve", dir.path()}, 3, "directory"},
      {{"serve", dir.File("b.tlb"), "--port", "70000"}, 2, "port"},
  };
  ServeProcess running(dir.File("b.tlb"), dir.path());
  cases.push_back({{"serve", dir.File("b.tlb"), "--port", std::to_string(running.port())},
                   2,
                   "port " + std::to_string(running.port())});
  for (const Case& c : cases) {
    Result r = dir.Tool(c.args);
    EXPECT_EQ(r.status, c.status) << c.args[2] << " " << r.err;
    EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
  }
}

}  // namespace
}  // namespace tooltest
}  // namespace telbook
