// The web editor's HTTP server: the guard every request passes, the routes over the book, and
// the one door through which every change goes (open, one change, check, save).
#include <httplib.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <mutex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "store/errors.h"
#include "tools/book.h"
#include "tools/export_vcard.h"
#include "tools/favourites.h"
#include "tools/fold.h"
#include "tools/import_plan.h"
#include "tools/reading_order.h"
#include "tools/records.h"
#include "tools/system.h"
#include "tools/text.h"
#include "tools/tool_error.h"
#include "tools/web/assets.h"
#include "tools/web/book_view.h"
#include "tools/web/forms.h"
#include "tools/web/security.h"
#include "tools/web/serve.h"
#include "tools/web/web_system.h"

namespace telbook {
namespace web {

bool ServeAvailable() { return true; }

namespace {

using httplib::Request;
using httplib::Response;
using nlohmann::json;

constexpr size_t kFormLimit = 64 * 1024;          // a form, a list of numbers, a measure
constexpr size_t kUploadLimit = 4 * 1024 * 1024;  // an import file
constexpr size_t kSearchLimit = 10000;            // every record of a full book
constexpr size_t kPagesKept = 256;

// Scripts and styles from this server only, no inline code, no frames, nothing sent elsewhere.
constexpr char kContentPolicy[] =
    "default-src 'none'; script-src 'self'; style-src 'self'; img-src 'self'; "
    "connect-src 'self'; form-action 'none'; frame-ancestors 'none'; base-uri 'none'";

// A refusal with its HTTP status, a short code the page acts on, and the message in words.
class HttpError : public std::runtime_error {
 public:
  HttpError(int status, std::string code, const std::string& message, std::string field = "")
      : std::runtime_error(message),
        status_(status),
        code_(std::move(code)),
        field_(std::move(field)) {}
  int status() const { return status_; }
  const std::string& code() const { return code_; }
  const std::string& field() const { return field_; }

 private:
  int status_;
  std::string code_;
  std::string field_;
};

HttpError Changed(const std::string& version) {
  return HttpError(409, "changed",
                   "the phone book was changed by another program since this page read it; "
                   "nothing was saved (current version " +
                       version + ")");
}

int StatusOf(const tool::ToolError& e) {
  switch (e.status()) {
    case tool::kExitUsage:
      return 400;
    case tool::kExitText:
      return 422;
    case tool::kExitInUse:
      return 423;
    default:
      return 500;
  }
}

const char* CodeOf(const tool::ToolError& e) {
  switch (e.status()) {
    case tool::kExitUsage:
      return "usage";
    case tool::kExitText:
      return "text";
    case tool::kExitInUse:
      return "in-use";
    case tool::kExitFile:
      return "file";
    default:
      return "book";
  }
}

void SendJson(Response& res, int status, const json& body) {
  res.status = status;
  res.set_content(body.dump(-1, ' ', false, json::error_handler_t::replace),
                  "application/json; charset=utf-8");
}

void SendError(Response& res, int status, const std::string& code, const std::string& message,
               const std::string& field = "") {
  json body = {{"error", message}, {"code", code}};
  if (!field.empty()) body["field"] = field;
  SendJson(res, status, body);
}

json ParseBody(const Request& req) {
  if (req.body.size() > kFormLimit) throw HttpError(413, "too-large", "the request is too large");
  std::string type = req.get_header_value("Content-Type");
  if (type.rfind("application/json", 0) != 0) {
    throw HttpError(415, "type", "a change must be sent as application/json");
  }
  json j = json::parse(req.body, nullptr, false);
  if (j.is_discarded()) throw HttpError(400, "json", "the request is not valid JSON");
  return j;
}

int NumberInPath(const Request& req) {
  const std::string& text = req.matches[1];
  if (text.empty() || text.size() > 5) throw HttpError(404, "missing", "no such record");
  return std::stoi(text);
}

std::string BaseName(const std::string& path) {
  size_t slash = path.find_last_of("/\\");
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  size_t dot = name.rfind('.');
  if (dot != std::string::npos && dot > 0) name.resize(dot);
  std::string safe;
  for (char c : name) {
    bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                 c == '-' || c == '_';
    safe += plain ? c : '_';
  }
  return safe.empty() ? "phonebook" : safe;
}

// Each member must name an entry of the book.
void CheckMembers(const tool::Book& book, const std::vector<unsigned short>& members) {
  for (unsigned short n : members) {
    TL_Kojin probe{};
    if (TL_readKojin(book.session(), &probe, n) != 0) {
      throw FormError("members", "members: there is no entry " + std::to_string(n));
    }
  }
}

// A group that a change may rewrite: one of the numbers new groups get.
tool::GroupRecord ExistingGroup(const tool::Book& book, int n) {
  if (!tool::IsGroupNumber(n)) {
    throw HttpError(404, "missing", "there is no group " + std::to_string(n));
  }
  if (n > tool::kLastNewGroup) {
    throw HttpError(409, "old-group",
                    "group " + std::to_string(n) +
                        " lies beyond the numbers of new groups (16385 to 21384) and cannot be "
                        "changed");
  }
  TL_Group probe{};
  if (TL_openGroup(book.session(), static_cast<unsigned short>(n)) != 0 ||
      TL_readGroupData(book.session(), &probe) != 0) {
    TL_closeGroup(book.session());
    throw HttpError(404, "missing", "there is no group " + std::to_string(n));
  }
  TL_closeGroup(book.session());
  return tool::ReadGroup(book, n);
}

// Frees an entry's slot (it leaves every group that held it) or a group's (its entries stay).
// A number that is not a record of that kind in the book is refused as missing.
json DeleteRecord(const tool::Book& book, int n, bool group) {
  const char* kind = group ? "group " : "entry ";
  bool fits = group ? tool::IsGroupNumber(n) : tool::IsPersonalNumber(n);
  if (!fits || !book.Exists(n)) {
    throw HttpError(404, "missing", std::string("there is no ") + kind + std::to_string(n));
  }
  short status = group ? TL_deleteGroup(book.session(), static_cast<unsigned short>(n))
                       : TL_deleteKojin(book.session(), static_cast<unsigned short>(n));
  if (status != 0) book.Fail(std::string("cannot delete ") + kind + std::to_string(n));
  return json{{"deleted", n}};
}

class Editor {
 public:
  explicit Editor(const ServeOptions& options)
      : options_(options), token_(RandomHex(24)), pages_(kPagesKept) {}
  int Run();

 private:
  void Routes();
  bool Guard(const Request& req, Response& res);
  void Handle(const Request& req, Response& res, const std::function<void()>& work);

  // The book as the page sees it, read again when the file changed. Holds book_mutex_.
  std::shared_ptr<const BookView> View();
  // Every change of the book: with the book as the page last saw it (its version), one open,
  // the change through the library, a look that no other program saved meanwhile, one save.
  // On any failure nothing is saved and the book stays as it was. A book changed by another
  // program, seen here or refused by the library's save, is answered 409 "changed": the page
  // reads the book again and keeps what was typed. This is the only place where the server
  // writes the book.
  json Change(const Request& req, const std::function<json(const tool::Book&)>& change);

  void Page(const Request& req, Response& res);
  void Export(const Request& req, Response& res);
  json Import(const Request& req);

  ServeOptions options_;
  httplib::Server http_;
  std::string token_;
  std::string cookie_;
  std::vector<std::string> hosts_;
  PageTokens pages_;
  std::mutex book_mutex_;
  std::shared_ptr<const BookView> view_;
  tool::ReadingOrder order_;
  tool::Folder folder_;
  tool::ReadingDeriver deriver_;  // loads its dictionary once, for every import
  std::string scratch_;           // the server's own directory for export files
  unsigned exports_ = 0;
};

bool Editor::Guard(const Request& req, Response& res) {
  if (!HostAccepted(hosts_, req.get_header_value("Host"))) {
    res.status = 421;
    res.set_content("telbook: this server answers only to its own address\n", "text/plain");
    return false;
  }
  if (!options_.password.empty() &&
      !SameSecret(BasicPassword(req.get_header_value("Authorization")), options_.password)) {
    res.status = 401;
    res.set_header("WWW-Authenticate", "Basic realm=\"telbook\", charset=\"UTF-8\"");
    res.set_content("telbook: the password is needed\n", "text/plain");
    return false;
  }
  bool safe = req.method == "GET" || req.method == "HEAD";
  if (!safe && req.method != "POST" && req.method != "PUT" && req.method != "DELETE") {
    res.status = 405;
    res.set_content("telbook: method not allowed\n", "text/plain");
    return false;
  }
  if (req.path == "/" && req.has_param("token") && safe) {
    if (!SameSecret(req.get_param_value("token"), token_)) {
      res.status = 403;
      res.set_content("telbook: wrong token; open the address telbook serve printed\n",
                      "text/plain");
      return false;
    }
    // The token moves into a cookie of this server's port and out of the address bar.
    res.status = 303;
    res.set_header("Set-Cookie", cookie_ + "=" + token_ + "; Path=/; HttpOnly; SameSite=Strict");
    res.set_header("Location", "/");
    return false;
  }
  if (!SameSecret(CookieValue(req.get_header_value("Cookie"), cookie_), token_)) {
    res.status = 403;
    res.set_content("telbook: open the address telbook serve printed, with its token\n",
                    "text/plain");
    return false;
  }
  if (!safe) {
    if (!SameOrigin(req.get_header_value("Origin"), req.get_header_value("Host"))) {
      SendError(res, 403, "origin", "a change must come from this server's own page");
      return false;
    }
    if (!pages_.Known(req.get_header_value("X-Telbook-Page"))) {
      SendError(res, 403, "page", "this page is too old to make changes; reload it");
      return false;
    }
    size_t limit = req.path == "/api/import" ? kUploadLimit : kFormLimit;
    std::string length = req.get_header_value("Content-Length");
    bool digits = length.find_first_not_of("0123456789") == std::string::npos;
    if (!length.empty() && (!digits || length.size() > 12 || std::stoull(length) > limit)) {
      SendError(res, 413, "too-large", "the request is too large");
      return false;
    }
  }
  return true;
}

void Editor::Handle(const Request&, Response& res, const std::function<void()>& work) {
  try {
    work();
  } catch (const HttpError& e) {
    SendError(res, e.status(), e.code(), e.what(), e.field());
  } catch (const FormError& e) {
    SendError(res, 422, "field", e.what(), e.field());
  } catch (const tool::ToolError& e) {
    SendError(res, StatusOf(e), CodeOf(e), e.what());
  } catch (const json::exception& e) {
    SendError(res, 400, "json", std::string("the request does not fit: ") + e.what());
  } catch (const std::bad_alloc&) {
    SendError(res, 500, "memory", "out of memory");
  } catch (const std::exception& e) {
    SendError(res, 500, "internal", e.what());
  }
}

std::shared_ptr<const BookView> Editor::View() {
  for (int attempt = 0;; ++attempt) {
    std::string version = FileVersion(options_.book);
    if (view_ && view_->version() == version) return view_;
    std::shared_ptr<const BookView> view;
    {
      tool::Book book(options_.book, tool::Book::Mode::kOpen);
      view = std::make_shared<BookView>(book, version, order_);
    }
    // Another program's save while the book was read: read it again.
    if (FileVersion(options_.book) == version || attempt == 3) {
      view_ = view;
      return view_;
    }
  }
}

json Editor::Change(const Request& req, const std::function<json(const tool::Book&)>& change) {
  std::lock_guard<std::mutex> lock(book_mutex_);
  std::string expected = req.get_header_value("X-Telbook-Version");
  if (expected.empty()) {
    throw HttpError(428, "version",
                    "a change must name the version of the phone book it was made on");
  }
  std::string now = FileVersion(options_.book);
  if (now != expected) throw Changed(now);
  json result;
  {
    // The book's writers' lock is held from here to the save, as the command line's changes
    // hold it; another writer holding it past the wait is answered 423.
    tool::Book book(options_.book, tool::Book::Mode::kChange, tool::kDefaultWaitSeconds);
    now = FileVersion(options_.book);
    if (now != expected) throw Changed(now);  // saved by another program while we waited
    result = change(book);
    try {
      book.Save();
    } catch (const tool::BookChanged&) {
      // The library's own refusal of a save over another program's: the page hears it the
      // same way as the look above, and the book closes unsaved.
      throw Changed(FileVersion(options_.book));
    }
  }
  view_.reset();
  result["version"] = FileVersion(options_.book);
  return result;
}

void Editor::Page(const Request& req, Response& res) {
  const Asset* asset = FindAsset(req.path == "/" ? "/index.html" : req.path.c_str());
  if (asset == nullptr || req.path == "/index.html") {
    SendError(res, 404, "missing", "no such page");
    return;
  }
  std::string body(reinterpret_cast<const char*>(asset->data), asset->size);
  if (req.path == "/") {
    std::string page = RandomHex(16);
    pages_.Add(page);
    const std::string mark = "{{PAGE}}";
    size_t at = body.find(mark);
    if (at != std::string::npos) body.replace(at, mark.size(), page);
  }
  res.set_content(body, asset->content_type);
}

void Editor::Export(const Request& req, Response& res) {
  std::string format = req.get_param_value("format");
  if (format != "text" && format != "subset" && format != "vcard") {
    throw HttpError(400, "usage", "format must be text, subset or vcard");
  }
  std::vector<unsigned short> entries = ParseNumberList(req.get_param_value("entries"), "entries");
  std::vector<unsigned short> groups = ParseNumberList(req.get_param_value("groups"), "groups");
  std::lock_guard<std::mutex> lock(book_mutex_);
  std::shared_ptr<const BookView> view = View();
  bool all = entries.empty() && groups.empty();
  for (unsigned short n : entries) {
    const Row* row = view->Find(n);
    if (row == nullptr || row->kind == 2)
      throw HttpError(404, "missing", "there is no entry " + std::to_string(n));
  }
  for (unsigned short n : groups) {
    const Row* row = view->Find(n);
    if (row == nullptr || row->kind != 2)
      throw HttpError(404, "missing", "there is no group " + std::to_string(n));
  }
  tool::Book book(options_.book, tool::Book::Mode::kOpen);
  if (all) {
    for (const Row& row : view->rows())
      (row.kind == 2 ? groups : entries).push_back(static_cast<unsigned short>(row.number));
    std::sort(entries.begin(), entries.end());
    std::sort(groups.begin(), groups.end());
  }
  std::string name = BaseName(options_.book);
  std::string body;
  std::string type;
  if (format == "vcard") {
    // The cards of the chosen entries and of the members of the chosen groups, each once.
    std::set<unsigned short> seen(entries.begin(), entries.end());
    for (unsigned short g : groups) {
      for (const TL_ListItem& m : tool::ReadGroup(book, g).members) {
        if (seen.insert(m.RecordNumber).second) entries.push_back(m.RecordNumber);
      }
    }
    for (unsigned short n : entries) body += tool::VcardOf(tool::ReadEntry(book, n));
    name += ".vcf";
    type = "text/vcard; charset=utf-8";
  } else {
    std::string file = scratch_ + "/export-" + std::to_string(++exports_);
    short empty_group = 0;
    short status = TL_writeSrchData(
        book.session(), entries.data(), static_cast<int>(entries.size()), groups.data(),
        static_cast<int>(groups.size()), format == "subset" ? 1 : 0, file.c_str(), &empty_group);
    if (status != 0) {
      remove(file.c_str());
      book.Fail("cannot export");
    }
    std::ifstream in(file, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    bool read = !in.bad();
    in.close();
    remove(file.c_str());
    if (!read) throw HttpError(500, "file", "the export could not be read back");
    body = bytes.str();
    name += format == "subset" ? "-subset.tlb" : ".csv";
    type = format == "subset" ? "application/octet-stream" : "text/csv; charset=Shift_JIS";
  }
  res.set_header("Content-Disposition", "attachment; filename=\"" + name + "\"");
  res.set_content(body, type);
}

// The import's choices, named in the query as `telbook import` names its options: format,
// encoding, map, and the switches fax-only, no-groups, no-readings, strict, replace and
// allow-duplicates (1 or 0).
tool::ImportOptions ImportOptionsOf(const Request& req) {
  tool::ImportOptions options;
  std::string format = req.get_param_value("format");
  if (!format.empty() && format != "auto" && !tool::ParseImportFormat(format, &options.format)) {
    throw HttpError(400, "usage", "format must be auto, text, vcard or csv");
  }
  std::string encoding = req.get_param_value("encoding");
  if (!encoding.empty() && encoding != "auto" &&
      !tool::ParseEncodingName(encoding, &options.encoding)) {
    throw HttpError(400, "usage",
                    "encoding must be auto, utf-8, utf-16, utf-16le, utf-16be or cp932");
  }
  std::string why;
  if (!tool::ParseColumnMap(req.get_param_value("map"), &options.map, &why)) {
    throw HttpError(400, "usage", why);
  }
  const std::pair<const char*, bool*> switches[] = {
      {"fax-only", &options.fax_only},       {"no-groups", &options.no_groups},
      {"no-readings", &options.no_readings}, {"strict", &options.strict},
      {"replace", &options.replace},         {"allow-duplicates", &options.allow_duplicates}};
  for (const auto& [name, value] : switches) {
    std::string text = req.get_param_value(name);
    if (text != "" && text != "0" && text != "1") {
      throw HttpError(400, "usage", std::string(name) + " must be 1 or 0");
    }
    *value = text == "1";
  }
  return options;
}

// A preview is the plan `telbook import --dry-run` prints, made on the book as it is now, with the
// version it was made on; nothing is written. An apply makes the plan again on the book opened
// for the change, refused as changed when that is not the version the preview showed, so what
// is added is what the user saw; the records get the numbers the plan gave them.
json Editor::Import(const Request& req) {
  if (req.body.size() > kUploadLimit) throw HttpError(413, "too-large", "the file is too large");
  std::string mode = req.get_param_value("mode");
  if (mode != "preview" && mode != "apply")
    throw HttpError(400, "usage", "mode must be preview or apply");
  tool::ImportOptions options = ImportOptionsOf(req);
  tool::ImportSource source;
  tool::FileProblem problem;
  if (!tool::ReadImportSource(req.body, options, &source, &problem)) {
    std::string where;
    if (problem.line > 0) where = "line " + std::to_string(problem.line);
    if (problem.byte > 0) where += ", byte " + std::to_string(problem.byte);
    if (!where.empty()) where += ": ";
    throw HttpError(problem.usage ? 400 : 422, "import",
                    where + problem.reason + "; nothing was imported");
  }
  if (mode == "preview") {
    std::lock_guard<std::mutex> lock(book_mutex_);
    std::string version = FileVersion(options_.book);
    tool::ImportPlan plan;
    {
      tool::Book book(options_.book, tool::Book::Mode::kOpen);
      plan = tool::MakeImportPlan(source, tool::ReadBookState(book), options, deriver_, folder_);
    }
    json j = tool::ImportPlanJson(plan);
    // A save by another program while the plan was made: the apply will be refused as changed.
    j["version"] = version;
    return j;
  }
  return Change(req, [&](const tool::Book& book) {
    tool::ImportPlan plan =
        tool::MakeImportPlan(source, tool::ReadBookState(book), options, deriver_, folder_);
    if (!plan.blocking.empty()) {
      throw tool::ToolError(plan.blocking_status, "", plan.blocking + "; nothing was imported");
    }
    tool::ImportOutcome outcome = tool::ApplyImportPlan(plan, book);
    json j = tool::ImportPlanJson(plan);
    j["entry-numbers"] = outcome.entry_numbers;
    j["group-numbers"] = outcome.group_numbers;
    return j;
  });
}

}  // namespace

namespace {

void Editor::Routes() {
  http_.set_pre_routing_handler([this](const Request& req, Response& res) {
    return Guard(req, res) ? httplib::Server::HandlerResponse::Unhandled
                           : httplib::Server::HandlerResponse::Handled;
  });
  http_.set_default_headers({{"Content-Security-Policy", kContentPolicy},
                             {"X-Content-Type-Options", "nosniff"},
                             {"X-Frame-Options", "DENY"},
                             {"Referrer-Policy", "no-referrer"},
                             {"Cross-Origin-Opener-Policy", "same-origin"},
                             {"Cross-Origin-Resource-Policy", "same-origin"},
                             {"Cache-Control", "no-store"}});
  http_.set_payload_max_length(kUploadLimit);
  http_.set_socket_options([](socket_t socket) { SetListenOptions(socket); });
  http_.set_error_handler([](const Request&, Response& res) {
    if (!res.body.empty()) return;
    std::string message = res.status == 413 ? "the request is too large" : "no such page";
    SendError(res, res.status, res.status == 413 ? "too-large" : "missing", message);
  });
  http_.set_exception_handler([](const Request&, Response& res, std::exception_ptr) {
    SendError(res, 500, "internal", "the server failed on this request");
  });

  for (const char* page : {"/", "/app.js", "/app.css", "/icon.svg"}) {
    http_.Get(page, [this](const Request& req, Response& res) { Page(req, res); });
  }
  http_.Get("/api/book", [this](const Request& req, Response& res) {
    Handle(req, res, [&] {
      std::lock_guard<std::mutex> lock(book_mutex_);
      json j = View()->Summary();
      j["book"] = options_.book;
      j["fields"] = FieldRooms();
      j["collated"] = order_.collated();
      SendJson(res, 200, j);
    });
  });
  http_.Get(R"(/api/tab/(\d+))", [this](const Request& req, Response& res) {
    Handle(req, res, [&] {
      int code = NumberInPath(req);
      std::lock_guard<std::mutex> lock(book_mutex_);
      std::shared_ptr<const BookView> view = View();
      try {
        json j = view->TabJson(code);
        j["version"] = view->version();
        SendJson(res, 200, j);
      } catch (const std::out_of_range&) {
        throw HttpError(404, "missing", "no tab of code " + std::to_string(code));
      }
    });
  });
  http_.Get("/api/search", [this](const Request& req, Response& res) {
    Handle(req, res, [&] {
      std::string q = req.get_param_value("q");
      if (q.size() > 1024) throw HttpError(413, "too-large", "the search text is too long");
      std::lock_guard<std::mutex> lock(book_mutex_);
      std::shared_ptr<const BookView> view = View();
      json j = view->Search(q, folder_, kSearchLimit);
      j["version"] = view->version();
      SendJson(res, 200, j);
    });
  });
  for (bool group : {false, true}) {
    const char* kind = group ? "group" : "entry";
    http_.Get(std::string("/api/") + kind + R"(/(\d+))",
              [this, group, kind](const Request& req, Response& res) {
                Handle(req, res, [&] {
                  int n = NumberInPath(req);
                  std::lock_guard<std::mutex> lock(book_mutex_);
                  std::shared_ptr<const BookView> view = View();
                  const Row* row = view->Find(n);
                  if (row == nullptr || (row->kind == 2) != group) {
                    throw HttpError(404, "missing",
                                    std::string("there is no ") + kind + " " + std::to_string(n));
                  }
                  tool::Book book(options_.book, tool::Book::Mode::kOpen);
                  json j = group ? tool::GroupJson(tool::ReadGroup(book, n))
                                 : tool::EntryJson(n, tool::ReadEntry(book, n));
                  j["version"] = view->version();
                  SendJson(res, 200, j);
                });
              });
  }
  http_.Get("/api/export", [this](const Request& req, Response& res) {
    Handle(req, res, [&] { Export(req, res); });
  });
  http_.Post("/api/measure", [this](const Request& req, Response& res) {
    Handle(req, res, [&] { SendJson(res, 200, Measure(ParseBody(req))); });
  });

  http_.Post("/api/entry", [this](const Request& req, Response& res) {
    Handle(req, res, [&] {
      json form = ParseBody(req);
      TL_Kojin entry{};
      ApplyEntryForm(form, &entry);
      if (entry.Name[0] == '\0') throw FormError("name", "an entry needs a name");
      SendJson(res, 200, Change(req, [&](const tool::Book& book) {
                 return json{{"number", tool::WriteEntry(book, entry, 0)}};
               }));
    });
  });
  http_.Put(R"(/api/entry/(\d+))", [this](const Request& req, Response& res) {
    Handle(req, res, [&] {
      int n = NumberInPath(req);
      json form = ParseBody(req);
      SendJson(res, 200, Change(req, [&](const tool::Book& book) {
                 if (!tool::IsPersonalNumber(n)) {
                   throw HttpError(404, "missing", "there is no entry " + std::to_string(n));
                 }
                 TL_Kojin probe{};
                 if (TL_readKojin(book.session(), &probe, static_cast<unsigned short>(n)) != 0) {
                   throw HttpError(404, "missing", "there is no entry " + std::to_string(n));
                 }
                 ApplyEntryForm(form, &probe);
                 if (probe.Name[0] == '\0') throw FormError("name", "an entry needs a name");
                 probe.AltDestFlag = 0;
                 return json{{"number", tool::WriteEntry(book, probe, n)}};
               }));
    });
  });
  http_.Post("/api/group", [this](const Request& req, Response& res) {
    Handle(req, res, [&] {
      GroupForm form = ParseGroupForm(ParseBody(req), TL_Group{});
      SendJson(res, 200, Change(req, [&](const tool::Book& book) {
                 CheckMembers(book, form.members);
                 return json{{"number", tool::WriteGroup(book, form.group, form.members, 0)}};
               }));
    });
  });
  http_.Put(R"(/api/group/(\d+))", [this](const Request& req, Response& res) {
    Handle(req, res, [&] {
      int n = NumberInPath(req);
      json body = ParseBody(req);
      SendJson(res, 200, Change(req, [&](const tool::Book& book) {
                 tool::GroupRecord old = ExistingGroup(book, n);
                 GroupForm form = ParseGroupForm(body, old.group);
                 if (!body.contains("members")) {
                   if (old.unreadable > 0) {
                     throw HttpError(409, "members",
                                     "the group names entries that do not exist; give its "
                                     "members anew");
                   }
                   for (const TL_ListItem& m : old.members) form.members.push_back(m.RecordNumber);
                 }
                 CheckMembers(book, form.members);
                 return json{{"number", tool::WriteGroup(book, form.group, form.members, n)}};
               }));
    });
  });
  for (bool group : {false, true}) {
    http_.Delete(std::string("/api/") + (group ? "group" : "entry") + R"(/(\d+))",
                 [this, group](const Request& req, Response& res) {
                   Handle(req, res, [&] {
                     int n = NumberInPath(req);
                     SendJson(res, 200, Change(req, [&](const tool::Book& book) {
                                return DeleteRecord(book, n, group);
                              }));
                   });
                 });
  }
  http_.Put(R"(/api/favourites/(\d+))", [this](const Request& req, Response& res) {
    Handle(req, res, [&] {
      int k = NumberInPath(req);
      json body = ParseBody(req);
      if (k < 1 || k > tool::kFavouriteCount) {
        throw HttpError(404, "missing", "favourite categories are 1 to 5");
      }
      if (!body.contains("name") || !body["name"].is_string()) {
        throw FormError("name", "name: must be text");
      }
      std::string name = body["name"].get<std::string>();
      SendJson(res, 200, Change(req, [&](const tool::Book& book) {
                 try {
                   tool::WriteFavouriteName(book, k, name);
                 } catch (const tool::ToolError& e) {
                   if (e.status() == tool::kExitText) throw FormError("name", e.what());
                   throw;
                 }
                 return json{{"favourite", k}};
               }));
    });
  });
  http_.Post("/api/favourite-members", [this](const Request& req, Response& res) {
    Handle(req, res, [&] {
      json body = ParseBody(req);
      if (!body.contains("favourite") || !body["favourite"].is_number_integer() ||
          body["favourite"].get<int>() < 0 || body["favourite"].get<int>() > 5) {
        throw FormError("favourite", "favourite: must be 0 to 5");
      }
      uint8_t k = static_cast<uint8_t>(body["favourite"].get<int>());
      std::vector<int> entries = body.value("entries", std::vector<int>());
      std::vector<int> groups = body.value("groups", std::vector<int>());
      if (entries.size() + groups.size() > 15000) throw FormError("entries", "too many records");
      SendJson(res, 200, Change(req, [&](const tool::Book& book) {
                 for (int n : entries) {
                   TL_Kojin entry{};
                   if (!tool::IsPersonalNumber(n) ||
                       TL_readKojin(book.session(), &entry, static_cast<unsigned short>(n)) != 0) {
                     throw HttpError(404, "missing", "there is no entry " + std::to_string(n));
                   }
                   entry.Favourite = k;
                   entry.AltDestFlag = 0;
                   tool::WriteEntry(book, entry, n);
                 }
                 for (int n : groups) {
                   tool::GroupRecord g = ExistingGroup(book, n);
                   if (g.unreadable > 0) {
                     throw HttpError(409, "members",
                                     "group " + std::to_string(n) +
                                         " names entries that do not exist; edit its members "
                                         "first");
                   }
                   std::vector<unsigned short> members;
                   for (const TL_ListItem& m : g.members) members.push_back(m.RecordNumber);
                   g.group.Favourite = k;
                   tool::WriteGroup(book, g.group, members, n);
                 }
                 return json{{"favourite", k}};
               }));
    });
  });
  http_.Post("/api/import", [this](const Request& req, Response& res) {
    Handle(req, res, [&] { SendJson(res, 200, Import(req)); });
  });
}

int Editor::Run() {
  // The book must open before anything is offered.
  { tool::Book book(options_.book, tool::Book::Mode::kOpen); }
  Routes();
  int port = options_.port;
  if (port == 0) {
    port = http_.bind_to_any_port(options_.host);
  } else if (!http_.bind_to_port(options_.host, port)) {
    port = -1;
  }
  if (port <= 0) {
    throw tool::ToolError(tool::kExitUsage, "",
                          "cannot listen on " + options_.host + " port " +
                              std::to_string(options_.port) +
                              ": the port is taken, or the address is not one of this machine");
  }
  hosts_ = AcceptedHosts(options_.host, port);
  cookie_ = "telbook-" + std::to_string(port);
  scratch_ = tool::MakeUniqueDirectory("telbook-serve-");
  std::string url = "http://" + hosts_.front() + "/?token=" + token_;
  std::printf("%s\n", url.c_str());
  std::printf("serving %s; open the address above in a browser; Ctrl-C stops\n",
              options_.book.c_str());
  std::fflush(stdout);
  if (options_.open && !OpenInBrowser(url)) {
    std::fprintf(stderr, "telbook: cannot start the browser (xdg-open); open the address above\n");
  }
  std::string signal =
      RunUntilInterrupted([this] { http_.listen_after_bind(); }, [this] { http_.stop(); });
  std::remove(scratch_.c_str());
  std::printf("stopped%s; every change was saved when it was made\n",
              signal.empty() ? "" : (" by " + signal).c_str());
  return tool::kExitOk;
}

}  // namespace

int Serve(const ServeOptions& options) {
  Editor editor(options);
  return editor.Run();
}

}  // namespace web
}  // namespace telbook
