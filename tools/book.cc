// Opening, saving and closing a phone book through the library's interface only; the reasons of
// failures come from the error pair, refined by a look at the file where the pair says nothing.
#include "tools/book.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "interface/session.h"
#include "store/book_header.h"
#include "store/errors.h"
#include "store/format.h"
#include "store/record_index.h"
#include "tools/error_words.h"
#include "tools/tool_error.h"

namespace telbook {
namespace tool {
namespace {

std::string PairOf(TL_FaxUtl* session) {
  unsigned short category = 0;
  unsigned short detail = 0;
  TL_getErrorInfo(session, &category, &detail);
  return PairWords(category, detail);
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

Book::Book(const std::string& path, Mode mode) : path_(path) {
  session_ = TL_CreateFaxUtl();
  if (session_ == nullptr) throw ToolError(kExitBook, path, "out of memory for a session");
  if (mode == Mode::kCreate) {
    struct stat st;
    if (stat(path.c_str(), &st) == 0) {
      TL_DestroyFaxUtl(session_);
      throw ToolError(kExitBook, path, "a file of this name exists already; not replaced");
    }
  }
  short status = mode == Mode::kCreate ? TL_createDataBase(session_, path.c_str())
                                       : TL_openDataBase(session_, path.c_str());
  if (status != 0) {
    std::string reason = mode == Mode::kCreate ? "cannot create the phone book: " + PairOf(session_)
                                               : OpenFailureReason(status);
    TL_DestroyFaxUtl(session_);
    session_ = nullptr;
    throw ToolError(status == -2 ? kExitInUse : kExitBook, path, reason);
  }
  open_ = true;
}

std::string Book::OpenFailureReason(short status) const {
  if (status == -2) return "the phone book is in use by another program";
  struct stat st;
  if (stat(path_.c_str(), &st) != 0) return std::string("cannot open: ") + strerror(errno);
  if (S_ISDIR(st.st_mode)) return "cannot open: it is a directory";
  std::string start = LookAtStart(path_);
  if (!start.empty()) return start;
  return "cannot open the phone book: " + PairOf(session_);
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
  throw ToolError(kExitBook, path_, what + ": " + PairOf(session_));
}

void Book::Save() {
  short status = TL_closeDataBase(session_, 0);
  if (status != 0) {
    // The library keeps the session open on its working copy after a failed save.
    std::string reason = "cannot save the phone book: " + PairOf(session_);
    unsigned short category = 0;
    unsigned short cause = 0;
    TL_getErrorInfo(session_, &category, &cause);
    // (kClose, kRecordFailed): most often a record the save cannot read.
    if (category == category::kClose && cause == detail::kRecordFailed) {
      reason += " (if the book is damaged, telbook repair mends it)";
    }
    throw ToolError(kExitBook, path_, reason + "; the file is unchanged");
  }
  open_ = false;
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

void ChangeBook(const std::string& path, const Change& change) {
  Book book(path, Book::Mode::kOpen);
  if (change(book)) book.Save();
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

}  // namespace tool
}  // namespace telbook
