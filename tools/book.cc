// Opening, changing, saving and closing a phone book through the library's interface, but for the
// open that holds the writers' lock (the library's own C++); the reasons of failures come from
// the error pair, refined by a look at the file where the pair says nothing.
#include "tools/book.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <CLI/CLI.hpp>

#include "interface/session.h"
#include "platform/env.h"
#include "store/book_header.h"
#include "store/errors.h"
#include "store/format.h"
#include "store/output_file.h"
#include "store/record_index.h"
#include "tools/check.h"
#include "tools/error_words.h"
#include "tools/tool_error.h"

namespace telbook {
namespace tool {
namespace {

ErrorPair PairOf(TL_FaxUtl* session) {
  ErrorPair pair;
  TL_getErrorInfo(session, &pair.category, &pair.detail);
  return pair;
}

bool IsPair(const ErrorPair& pair, uint16_t category, uint16_t detail) {
  return pair.category == category && pair.detail == detail;
}

std::string Seconds(double seconds) {
  char text[32];
  std::snprintf(text, sizeof(text), "%g second%s", seconds, seconds == 1 ? "" : "s");
  return text;
}

uint32_t Milliseconds(double seconds) {
  constexpr double kLongest = 86400.0 * 24;  // far past any wait a person means
  if (!(seconds > 0)) return 0;
  return static_cast<uint32_t>((seconds < kLongest ? seconds : kLongest) * 1000 + 0.5);
}

// The directory a save of the book at path writes its new file in: that of the file its links
// lead to.
std::string TargetDirectory(const std::string& path) {
  char target[kMaxPath];
  char dir[kMaxPath];
  if (!Env::Default()->ResolveLink(path.c_str(), target, nullptr) ||
      !DirectoryOfPath(target, dir)) {
    return path;
  }
  return dir;
}

// The pair in words; a temporary directory that is missing or not writable is named.
std::string Words(const ErrorPair& pair) {
  std::string words = PairWords(pair.category, pair.detail);
  if (pair.category == category::kDataBase &&
      (pair.detail == detail::kNoDirectory || pair.detail == detail::kDirectoryNotWritable)) {
    char dir[kMaxPath] = {};
    Env::Default()->TempDirectory(dir);
    words += std::string(": the temporary directory ") + dir +
             (pair.detail == detail::kNoDirectory ? " is missing or is not a directory"
                                                  : " is not writable");
  }
  return words;
}

// Why a file that exists is no phone book, from its first bytes; empty when its start looks
// like one.
std::string LookAtStart(const std::string& path) {
  FILE* f = fopen(path.c_str(), "rb");
  if (f == nullptr) return std::string("cannot be read: ") + strerror(errno);
  uint8_t head[format::kMagicSize + format::kVersionSize] = {};
  size_t n = fread(head, 1, sizeof(head), f);
  fclose(f);
  if (n == 0) return "the file is empty: not a phone book";
  const bool v2_magic = memcmp(head, format::kMagicV2, format::kMagicSize) == 0;
  const bool v3_magic = memcmp(head, format::kMagicV3, format::kMagicSize) == 0;
  if (n < sizeof(head) || (!v2_magic && !v3_magic)) {
    return std::string("not a phone book (it does not begin with ") + format::kMagicV2 + " or " +
           format::kMagicV3 + ")";
  }
  if (!book_header::MagicFits(head, book_header::Version(head))) {
    return std::string("not a phone book: its magic ") +
           (v3_magic ? format::kMagicV3 : format::kMagicV2) + " does not match its version text";
  }
  return std::string();
}

}  // namespace

int64_t FileSize(const std::string& path) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return -1;
  return static_cast<int64_t>(st.st_size);
}

Book::Book(const std::string& path, Mode mode, double wait_seconds)
    : path_(path), wait_seconds_(wait_seconds) {
  session_ = TL_CreateFaxUtl();
  if (session_ == nullptr) throw ToolError(kExitBook, path, "out of memory for a session");
  if (mode == Mode::kCreate) {
    struct stat st;
    if (stat(path.c_str(), &st) == 0) {
      TL_DestroyFaxUtl(session_);
      throw ToolError(kExitBook, path, "a file of this name exists already; not replaced");
    }
  }
  short status;
  switch (mode) {
    case Mode::kCreate:
      status = TL_createDataBase(session_, path.c_str());
      break;
    case Mode::kChange:
      status = FromHandle(session_)->OpenToChange(path.c_str(), Milliseconds(wait_seconds));
      break;
    case Mode::kOpen:
    default:
      status = TL_openDataBase(session_, path.c_str());
      break;
  }
  if (status != 0) {
    ErrorPair pair = PairOf(session_);
    bool in_use = status == kInUseStatus || IsPair(pair, category::kDataBase, detail::kInUse);
    std::string reason = mode == Mode::kCreate ? "cannot create the phone book: " + Words(pair)
                                               : OpenFailureReason(status);
    TL_DestroyFaxUtl(session_);
    session_ = nullptr;
    throw ToolError(in_use ? kExitInUse : kExitBook, path, reason);
  }
  open_ = true;
}

std::string Book::OpenFailureReason(short status) const {
  if (status == kInUseStatus) return "the phone book is in use by another program";
  ErrorPair pair = PairOf(session_);
  if (IsPair(pair, category::kDataBase, detail::kInUse)) {
    return "another program is changing the phone book: it held the book's writers' lock for " +
           Seconds(wait_seconds_) + " (--wait); nothing was changed";
  }
  if (IsPair(pair, category::kDataBase, detail::kReadOnly)) {
    return "the phone book is read-only: it may be read, not changed; nothing was changed";
  }
  struct stat st;
  if (stat(path_.c_str(), &st) != 0) return std::string("cannot open: ") + strerror(errno);
  if (S_ISDIR(st.st_mode)) return "cannot open: it is a directory";
  if (IsPair(pair, category::kDataBase, detail::kNotWritableKind)) {
    return "cannot open: it is not a regular file";
  }
  std::string start = LookAtStart(path_);
  if (!start.empty()) return start;
  return "cannot open the phone book: " + Words(pair);
}

Book::~Book() {
  if (session_ == nullptr) return;
  if (open_) TL_closeDataBase(session_, 1);
  TL_DestroyFaxUtl(session_);
}

void Book::Check(short status, const std::string& what) const {
  if (status != 0) Fail(what);
}

void Book::Fail(const std::string& what) const {
  throw ToolError(kExitBook, path_, what + ": " + Words(PairOf(session_)));
}

void Book::Save() {
  short status = TL_closeDataBase(session_, 0);
  if (status == 0) {
    open_ = false;
    return;
  }
  // The library keeps the session open on its working copy after a failed save.
  ErrorPair pair = PairOf(session_);
  if (pair.category != category::kClose) {
    throw ToolError(kExitBook, path_,
                    "cannot save the phone book: " + Words(pair) + "; the file is unchanged");
  }
  switch (pair.detail) {
    case detail::kChanged:
      throw BookChanged(path_);
    case detail::kInUse:
      throw ToolError(kExitInUse, path_,
                      "another program is changing the phone book: it held the book's writers' "
                      "lock for too long; nothing was saved");
    case detail::kReadOnly:
      throw ToolError(kExitBook, path_,
                      "the phone book is read-only: it may be read, not changed; nothing was "
                      "saved");
    case detail::kDirectoryNotWritable:
    case detail::kNoDirectory:
      throw ToolError(
          kExitBook, path_,
          "cannot save: the new file is written beside the phone book before it takes "
          "its place, and the directory " +
              TargetDirectory(path_) +
              (pair.detail == detail::kNoDirectory ? " is missing" : " is not writable") +
              "; the file is unchanged");
    case detail::kWriteFailed:
      // A write into a book of several links, or one held where held files cannot be replaced,
      // may have stopped part-way.
      if (!CheckFile(path_).findings.empty()) {
        throw ToolError(kExitBook, path_,
                        "cannot save: " + Words(pair) +
                            "; it was being written in place and may be damaged: see telbook "
                            "check, and save again");
      }
      break;
    case detail::kRecordFailed:
      // Most often a record the save cannot read.
      throw ToolError(kExitBook, path_,
                      "cannot save the phone book: " + Words(pair) +
                          " (if the book is damaged, telbook repair mends it); the file is "
                          "unchanged");
    default:
      break;
  }
  throw ToolError(kExitBook, path_,
                  "cannot save the phone book: " + Words(pair) + "; the file is unchanged");
}

void Book::Skip(const std::string& what, const std::string& reason) const {
  if (strict_) throw ToolError(kExitBook, path_, what + " cannot be read: " + reason);
  if (!skipped_.insert(what).second) return;
  std::fflush(stdout);
  std::fprintf(stderr, "telbook: %s: %s cannot be read: %s; skipped\n", path_.c_str(), what.c_str(),
               reason.c_str());
}

int Book::Finish(int status) const {
  if (skipped_.empty() || (status != kExitOk && status != kExitFindings)) return status;
  return kExitSkipped;
}

bool Book::Exists(long number) const {
  bool valid = (number >= format::kFirstPersonal && number <= format::kLastPersonal) ||
               (number >= format::kFirstGroup && number <= format::kLastGroup);
  if (!valid || !open_) return false;
  // The in-memory index, read only: asking the interface would read the record itself.
  FileStore& store = FromHandle(session_)->store;
  const uint8_t* slot =
      number > format::kGroupBase
          ? store.group_index() + format::kSlotSize * (number - format::kFirstGroup)
          : store.personal_index() + format::kSlotSize * (number - 1);
  return Slot::kind(slot) != format::kKindFree;
}

uint16_t Book::personal_count() const {
  unsigned short personal = 0;
  unsigned short groups = 0;
  Check(TL_readDataCount(session_, &personal, &groups), "cannot count the records");
  return personal;
}

uint16_t Book::group_count() const {
  unsigned short personal = 0;
  unsigned short groups = 0;
  Check(TL_readDataCount(session_, &personal, &groups), "cannot count the records");
  return groups;
}

void AddWaitOption(CLI::App* command, double* seconds) {
  command
      ->add_option("--wait", *seconds,
                   "seconds to wait while another program changes the book (default " +
                       std::to_string(static_cast<int>(kDefaultWaitSeconds)) +
                       "); then exit status 5")
      ->check(CLI::NonNegativeNumber);
}

void ChangeBook(const std::string& path, double wait_seconds, bool repeatable,
                const Change& change) {
  for (int attempt = 1;; ++attempt) {
    Book book(path, Book::Mode::kChange, wait_seconds);
    if (!change(book)) return;
    try {
      book.Save();
      return;
    } catch (const BookChanged&) {
      if (!repeatable || attempt == kChangeAttempts) throw;
    }
  }
}

}  // namespace tool
}  // namespace telbook
