// An open phone book as the tool holds it: one library session, the book's path, and the turn of
// every failed call into a ToolError naming the file and the reason in words.
#ifndef TELBOOK_TOOLS_BOOK_H_
#define TELBOOK_TOOLS_BOOK_H_

#include <cstdint>
#include <functional>
#include <set>
#include <string>

#include "telbook.h"

namespace telbook {
namespace tool {

class Book {
 public:
  enum class Mode { kOpen, kCreate };

  // Opens or creates the phone book at path; throws ToolError (kExitBook, kExitInUse) with the
  // reason when the library refuses.
  Book(const std::string& path, Mode mode);
  // Closes without saving: a command that failed leaves the file as it was.
  ~Book();
  Book(const Book&) = delete;
  Book& operator=(const Book&) = delete;

  TL_FaxUtl* session() const { return session_; }
  const std::string& path() const { return path_; }

  // Throws ToolError(kExitBook) "<what>: <the error pair in words>" for a status other than 0.
  void Check(short status, const std::string& what) const;
  [[noreturn]] void Fail(const std::string& what) const;

  // Saves the changes through the library and closes; on failure throws, and the file is then
  // as it was before the command.
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
};

// What a command does to an open phone book: its reads and its changes through the library,
// returning whether it changed anything (nothing is saved otherwise). A change may run more than
// once, each time on a fresh open of the book, when the save of an earlier run could not be
// made: it looks at the book as it finds it and starts its report afresh, and applying it again
// must be harmless (a record to delete that is already gone, a member to add that is already
// there, is no error but a note). It throws ToolError to fail the command, the book unchanged.
using Change = std::function<bool(Book& book)>;

// The one way a command changes a phone book: opens it, runs the change, and saves when the
// change says so. Throws ToolError (the book then as it was) when the book cannot be opened or
// saved, or the change fails.
void ChangeBook(const std::string& path, const Change& change);

// Size of a file in bytes, -1 when it cannot be had.
int64_t FileSize(const std::string& path);

}  // namespace tool
}  // namespace telbook

#endif  // TELBOOK_TOOLS_BOOK_H_
