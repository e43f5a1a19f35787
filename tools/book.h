// An open phone book as the tool holds it: one library session, the book's path, and the turn of
// every failed call into a ToolError naming the file and the reason in words. Every command that
// changes a book goes through ChangeBook: the writers' lock held from the open to the save, the
// wait for another writer, and the change made again on what another program saved meanwhile.
#ifndef TELBOOK_TOOLS_BOOK_H_
#define TELBOOK_TOOLS_BOOK_H_

#include <cstdint>
#include <functional>
#include <set>
#include <string>

#include "telbook.h"
#include "tools/tool_error.h"

namespace CLI {
class App;
}

namespace telbook {
namespace tool {

class Book {
 public:
  // kChange opens to change: the book's writers' lock is held from before the open until the
  // book is saved or closed, so that no other writer saves in between.
  enum class Mode { kOpen, kCreate, kChange };

  // Opens or creates the phone book at path; kChange waits up to wait_seconds for another
  // writer's hold of the lock. Throws ToolError with the reason when the library refuses:
  // kExitInUse when another program holds the book or its lock (past the wait), else kExitBook.
  Book(const std::string& path, Mode mode, double wait_seconds = 0);
  // Closes without saving: a command that failed leaves the file as it was.
  ~Book();
  Book(const Book&) = delete;
  Book& operator=(const Book&) = delete;

  TL_FaxUtl* session() const { return session_; }
  const std::string& path() const { return path_; }

  // Throws ToolError(kExitBook) "<what>: <the error pair in words>" for a status other than 0.
  void Check(short status, const std::string& what) const;
  [[noreturn]] void Fail(const std::string& what) const;

  // Saves the changes through the library and closes. Throws BookChanged when another program
  // changed the book since it was opened, ToolError otherwise; the file is then as it was
  // before the command (unless a write into it failed part-way, which the message says).
  void Save();

  // Reading around damage. A record named by `what` ("entry 5") that cannot be read ends the
  // command (ToolError(kExitBook)) while the book is strict, as it is unless a reading command
  // turns that off; otherwise it is reported once on standard error with the reason and passed
  // over.
  void set_strict(bool strict) { strict_ = strict; }
  void Skip(const std::string& what, const std::string& reason) const;
  size_t skipped() const { return skipped_.size(); }
  // The exit status of a command that read around damage: kExitSkipped in place of kExitOk and
  // kExitFindings when something was skipped, status otherwise.
  int Finish(int status) const;

  uint16_t personal_count() const;
  uint16_t group_count() const;
  int version() const { return TL_getFileVersion(session_); }

  // Whether a record has the number: an entry (1 to 9999) or a group (16385 to 26383) whose slot
  // is used, as the library's index says now. False for any other number.
  bool Exists(long number) const;

 private:
  std::string OpenFailureReason(short status) const;

  TL_FaxUtl* session_ = nullptr;
  std::string path_;
  bool open_ = false;
  bool strict_ = true;
  mutable std::set<std::string> skipped_;
  double wait_seconds_ = 0;
};

// A save refused because another program changed or replaced the book since it was opened.
class BookChanged : public ToolError {
 public:
  explicit BookChanged(const std::string& path)
      : ToolError(kExitInUse, path,
                  "another program changed the phone book while this command was changing it; "
                  "nothing was saved") {}
};

// How long a changing command waits for another writer unless --wait says otherwise.
constexpr double kDefaultWaitSeconds = 10;
// How many times a repeatable change is made in all when other programs keep changing the book.
constexpr int kChangeAttempts = 5;

// Adds --wait SECONDS to a command that changes a book.
void AddWaitOption(CLI::App* command, double* seconds);

// What a command does to an open phone book: its reads and its changes through the library,
// returning whether it changed anything (nothing is saved otherwise). A repeatable change may run
// more than once, each time on a fresh open of the book, when another program saved the book
// between the open and the save of an earlier run: it looks at the book as it finds it and
// starts its report afresh (it prints nothing itself), and applying it again must be harmless (a
// record to delete that is already gone, a member to add that is already there, is no error but
// a note). It throws ToolError to fail the command, the book unchanged.
using Change = std::function<bool(Book& book)>;

// The one way a command changes a phone book: opens it to change (Mode::kChange, waiting up to
// wait_seconds for another writer), runs the change, and saves when the change says so. When
// another program changed the book meanwhile and the change is repeatable, the book is opened
// again and the change made again on what that program saved, up to kChangeAttempts times in
// all. Throws ToolError (the book then as it was) when the book cannot be opened or saved, or the
// change fails; BookChanged (kExitInUse) once the attempts are spent or for a change made once.
void ChangeBook(const std::string& path, double wait_seconds, bool repeatable,
                const Change& change);

// Size of a file in bytes, -1 when it cannot be had.
int64_t FileSize(const std::string& path);

}  // namespace tool
}  // namespace telbook

#endif  // TELBOOK_TOOLS_BOOK_H_
