// The reference workloads. SQLite runs with its defaults (rollback journal, full sync), its
// database file beside the phone book.
#include "bench/references.h"

#include <fcntl.h>
#include <spawn.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <vector>

namespace telbook {
namespace bench {

namespace {

constexpr const char* kCreateEntries =
    "CREATE TABLE entries (number INTEGER PRIMARY KEY, host_word1 INTEGER, host_word2 INTEGER,"
    " alt_dest_flag INTEGER, name TEXT, furigana TEXT, affiliation TEXT, fax_number TEXT,"
    " speed_dial TEXT, phone TEXT, email TEXT, memo TEXT, f_code TEXT, p_code TEXT,"
    " box_number TEXT, box_password TEXT, host_text1 TEXT, relay_id TEXT, broadcast_list TEXT,"
    " host_text2 TEXT, line_type INTEGER, favourite INTEGER, comm_mode INTEGER,"
    " host_byte1 INTEGER, host_byte2 INTEGER, relay_output INTEGER)";
constexpr const char* kCreateGroups =
    "CREATE TABLE groups (number INTEGER PRIMARY KEY, host_word1 INTEGER, host_word2 INTEGER,"
    " name TEXT, furigana TEXT, member_count INTEGER, favourite INTEGER, members BLOB)";
constexpr const char* kInsertEntry =
    "INSERT INTO entries VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)";
constexpr const char* kInsertGroup = "INSERT INTO groups VALUES (?,?,?,?,?,?,?,?)";

bool Exec(sqlite3* db, const char* sql) {
  char* message = nullptr;
  if (sqlite3_exec(db, sql, nullptr, nullptr, &message) == SQLITE_OK) return true;
  fprintf(stderr, "sqlite: %s\n", message != nullptr ? message : "?");
  sqlite3_free(message);
  return false;
}

void BindText(sqlite3_stmt* statement, int column, const char* text) {
  sqlite3_bind_text(statement, column, text, -1, SQLITE_STATIC);
}

bool InsertEntries(sqlite3* db, const BookData& data) {
  sqlite3_stmt* insert = nullptr;
  if (sqlite3_prepare_v2(db, kInsertEntry, -1, &insert, nullptr) != SQLITE_OK) return false;
  bool ok = true;
  for (size_t i = 0; i < data.entries.size() && ok; ++i) {
    const TL_Kojin& e = data.entries[i];
    int c = 1;
    sqlite3_bind_int(insert, c++, static_cast<int>(i + 1));
    sqlite3_bind_int(insert, c++, e.HostWord1);
    sqlite3_bind_int(insert, c++, e.HostWord2);
    sqlite3_bind_int(insert, c++, e.AltDestFlag);
    for (const char* text : {e.Name, e.Furigana, e.Affiliation, e.FaxNumber, e.SpeedDial, e.Phone,
                             e.EMail, e.Memo, e.FCode, e.PCode, e.BoxNumber, e.BoxPassword,
                             e.HostText1, e.RelayId, e.BroadcastList, e.HostText2}) {
      BindText(insert, c++, text);
    }
    for (uint8_t byte :
         {e.LineType, e.Favourite, e.CommMode, e.HostByte1, e.HostByte2, e.RelayOutput}) {
      sqlite3_bind_int(insert, c++, byte);
    }
    ok = sqlite3_step(insert) == SQLITE_DONE && sqlite3_reset(insert) == SQLITE_OK;
  }
  sqlite3_finalize(insert);
  return ok;
}

bool InsertGroups(sqlite3* db, const BookData& data) {
  sqlite3_stmt* insert = nullptr;
  if (sqlite3_prepare_v2(db, kInsertGroup, -1, &insert, nullptr) != SQLITE_OK) return false;
  std::vector<uint8_t> members;
  bool ok = true;
  for (size_t i = 0; i < data.groups.size() && ok; ++i) {
    const TL_Group& g = data.groups[i];
    members.clear();
    for (unsigned short n : data.members[i]) {
      members.push_back(static_cast<uint8_t>(n));
      members.push_back(static_cast<uint8_t>(n >> 8));
    }
    int c = 1;
    sqlite3_bind_int(insert, c++, static_cast<int>(16385 + i));
    sqlite3_bind_int(insert, c++, g.HostWord1);
    sqlite3_bind_int(insert, c++, g.HostWord2);
    BindText(insert, c++, g.Name);
    BindText(insert, c++, g.Furigana);
    sqlite3_bind_int(insert, c++, static_cast<int>(members.size() / 2));
    sqlite3_bind_int(insert, c++, g.Favourite);
    sqlite3_bind_blob(insert, c++, members.data(), static_cast<int>(members.size()), SQLITE_STATIC);
    ok = sqlite3_step(insert) == SQLITE_DONE && sqlite3_reset(insert) == SQLITE_OK;
  }
  sqlite3_finalize(insert);
  return ok;
}

// Steps every row of sql without reading any column.
bool StepAll(sqlite3* db, const char* sql, uint64_t* rows) {
  sqlite3_stmt* select = nullptr;
  if (sqlite3_prepare_v2(db, sql, -1, &select, nullptr) != SQLITE_OK) return false;
  int rc;
  while ((rc = sqlite3_step(select)) == SQLITE_ROW) ++*rows;
  sqlite3_finalize(select);
  return rc == SQLITE_DONE;
}

bool WriteAll(int fd, const uint8_t* bytes, size_t size) {
  while (size > 0) {
    ssize_t n = write(fd, bytes, size);
    if (n <= 0) return false;
    bytes += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

bool SqliteFill(const std::string& path, const BookData& data) {
  sqlite3* db = nullptr;
  if (sqlite3_open(path.c_str(), &db) != SQLITE_OK) {
    sqlite3_close(db);
    return false;
  }
  bool ok = Exec(db, "BEGIN") && Exec(db, kCreateEntries) && Exec(db, kCreateGroups) &&
            InsertEntries(db, data) && InsertGroups(db, data) && Exec(db, "COMMIT");
  return sqlite3_close(db) == SQLITE_OK && ok;
}

bool SqliteStep(const std::string& path, uint64_t* rows) {
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
    sqlite3_close(db);
    return false;
  }
  *rows = 0;
  bool ok = StepAll(db, "SELECT * FROM entries", rows) && StepAll(db, "SELECT * FROM groups", rows);
  return sqlite3_close(db) == SQLITE_OK && ok;
}

bool FlushedCopy(const std::string& from, const std::string& to) {
  std::string temp = to + ".part";
  int in = open(from.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return false;
  int out = open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (out < 0) {
    close(in);
    return false;
  }
  static uint8_t chunk[65536];
  bool ok = true;
  for (;;) {
    ssize_t n = read(in, chunk, sizeof chunk);
    if (n < 0) ok = false;
    if (n <= 0) break;
    if (!WriteAll(out, chunk, static_cast<size_t>(n))) {
      ok = false;
      break;
    }
  }
  close(in);
  ok = fsync(out) == 0 && ok;
  ok = close(out) == 0 && ok;
  return ok && rename(temp.c_str(), to.c_str()) == 0;
}

bool FlushedWrite(const void* bytes, size_t size, const std::string& to) {
  std::string temp = to + ".part";
  int out = open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (out < 0) return false;
  bool ok = WriteAll(out, static_cast<const uint8_t*>(bytes), size);
  ok = fsync(out) == 0 && ok;
  ok = close(out) == 0 && ok;
  return ok && rename(temp.c_str(), to.c_str()) == 0;
}

int RunProcess(const char* const* argv) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  int rc = posix_spawn(&pid, argv[0], &actions, nullptr, const_cast<char* const*>(argv), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) return -1;
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace bench
}  // namespace telbook
