// Exports' destinations through the library's OutputFile, and the reasons it refuses one in the
// words of what the user named.
#include "tools/destination.h"

#include <cstdint>

#include "interface/session.h"
#include "platform/env.h"
#include "store/errors.h"
#include "store/output_file.h"
#include "tools/book.h"
#include "tools/error_words.h"
#include "tools/tool_error.h"

namespace telbook {
namespace tool {
namespace {

// Where the new bytes for dest are made: beside the file its links lead to, or in the temporary
// directory for a destination that is written into.
std::string NewFileDirectory(const std::string& dest) {
  Env* env = Env::Default();
  char target[kMaxPath];
  char dir[kMaxPath];
  FileInfo info;
  if (!env->ResolveLink(dest.c_str(), target, nullptr)) return dest;
  if (env->Inspect(target, &info, nullptr) && info.kind != FileKind::kMissing &&
      (info.kind != FileKind::kRegular || info.links > 1)) {
    return env->TempDirectory(dir) ? dir : "the temporary directory";
  }
  return DirectoryOfPath(target, dir) ? dir : dest;
}

}  // namespace

void DestinationFailed(const Book& book, const std::string& dest) {
  ErrorPair pair;
  TL_getErrorInfo(book.session(), &pair.category, &pair.detail);
  std::string reason;
  if (pair.category == category::kClose) {
    switch (pair.detail) {
      case detail::kIsOpenBook:
        reason = "it is the phone book being exported (" + book.path() + "); not written";
        break;
      case detail::kNotWritableKind:
        reason =
            "it is a directory, a block device, or a file reached through a process's open "
            "files (such as /dev/stdout redirected to a file: name the file itself); not written";
        break;
      case detail::kReadOnly:
        reason = "it is read-only; not written";
        break;
      case detail::kNoDirectory:
      case detail::kDirectoryNotWritable:
        reason = "the export is written whole in " + NewFileDirectory(dest) +
                 " before it takes the destination's place, and that directory " +
                 (pair.detail == detail::kNoDirectory ? "is missing" : "is not writable") +
                 "; the destination is as it was";
        break;
      default:
        break;
    }
  }
  if (reason.empty()) {
    reason = "cannot export from " + book.path() + ": " + PairWords(pair.category, pair.detail) +
             (pair.detail == detail::kWriteFailed
                  ? "; a destination written into may hold part of the export"
                  : "; the destination is as it was");
  }
  throw ToolError(kExitFile, dest, reason);
}

void WriteDestination(const Book& book, const std::string& dest, const std::string& bytes) {
  FileStore* store = &FromHandle(book.session())->store;
  Env* env = store->env();
  OutputFile out(store);
  if (!out.BeginExport(dest.c_str(), category::kClose)) DestinationFailed(book, dest);
  size_t done = 0;
  while (done < bytes.size()) {
    constexpr size_t kPiece = 1 << 20;
    uint32_t length =
        static_cast<uint32_t>(bytes.size() - done < kPiece ? bytes.size() - done : kPiece);
    uint32_t count = 0;
    if (!env->Write(out.file(), bytes.data() + done, length, &count) || count != length) {
      store->RecordError(category::kClose, detail::kWriteFailed);
      out.Abandon();
      DestinationFailed(book, dest);
    }
    done += length;
  }
  if (!out.Commit(nullptr)) DestinationFailed(book, dest);
}

}  // namespace tool
}  // namespace telbook
