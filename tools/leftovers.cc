// Finding and removing leftover temporary files through the library's Env: the listing of a
// directory, the test whether a live handle holds a file, and the removal in one step with it.
#include "tools/leftovers.h"

#include <cctype>
#include <cstdio>
#include <cstring>

#include "platform/env.h"
#include "store/output_file.h"
#include "tools/check.h"

namespace telbook {
namespace tool {
namespace {

constexpr char kPrefix[] = "tel";
constexpr char kSuffix[] = ".tmp";
constexpr size_t kMostDigits = 8;

// Whether a name the listing found is one the library gives: the prefix, one to eight hex
// digits (the library's own, or those a system call made for an older version) and the suffix.
bool IsTemporaryName(const char* name) {
  size_t length = strlen(name);
  size_t fixed = sizeof(kPrefix) - 1 + sizeof(kSuffix) - 1;
  if (length <= fixed || length > fixed + kMostDigits) return false;
  for (size_t i = sizeof(kPrefix) - 1; i < length - (sizeof(kSuffix) - 1); ++i) {
    if (!isxdigit(static_cast<unsigned char>(name[i]))) return false;
  }
  return true;
}

bool CollectName(const char* name, void* context) {
  if (IsTemporaryName(name)) static_cast<std::vector<std::string>*>(context)->push_back(name);
  return true;
}

bool IdentityAt(Env* env, const std::string& path, FileIdentity* identity) {
  FileInfo info;
  if (!env->Inspect(path.c_str(), &info, nullptr) || info.kind == FileKind::kMissing) return false;
  *identity = info.identity;
  return true;
}

void Collect(Env* env, const std::string& dir, bool beside_book, const FileIdentity* book,
             std::vector<Leftover>* out) {
  std::vector<std::string> names;
  if (!env->ListDirectory(dir.c_str(), kPrefix, kSuffix, CollectName, &names, nullptr)) return;
  for (const std::string& name : names) {
    Leftover leftover;
    leftover.path = dir + name;
    FileInfo info;
    bool held = true;
    // Links and anything but a regular file are none of the library's; IsHeld refuses them.
    if (!env->IsHeld(leftover.path.c_str(), &held, nullptr) || held) continue;
    if (!env->Inspect(leftover.path.c_str(), &info, nullptr) || info.kind != FileKind::kRegular) {
      continue;
    }
    if (book != nullptr && SameFile(info.identity, *book)) continue;
    leftover.bytes = static_cast<int64_t>(info.identity.size);
    leftover.beside_book = beside_book;
    CheckReport report = CheckFile(leftover.path);
    leftover.phone_book = report.readable && report.findings.empty();
    out->push_back(leftover);
  }
}

}  // namespace

std::vector<Leftover> FindLeftovers(const std::string& book) {
  Env* env = Env::Default();
  std::vector<Leftover> leftovers;
  char target[kMaxPath];
  char book_dir[kMaxPath];
  char temp_dir[kMaxPath];
  FileIdentity book_id;
  bool have_book = IdentityAt(env, book, &book_id);
  bool have_book_dir =
      env->ResolveLink(book.c_str(), target, nullptr) && DirectoryOfPath(target, book_dir);
  if (have_book_dir) Collect(env, book_dir, true, have_book ? &book_id : nullptr, &leftovers);
  if (env->TempDirectory(temp_dir)) {
    FileIdentity a;
    FileIdentity b;
    bool same = have_book_dir && IdentityAt(env, book_dir, &a) && IdentityAt(env, temp_dir, &b) &&
                SameFile(a, b);
    if (!same) Collect(env, temp_dir, false, nullptr, &leftovers);
  }
  return leftovers;
}

void PrintLeftovers(const std::string& book, const std::vector<Leftover>& leftovers) {
  for (const Leftover& l : leftovers) {
    std::printf(
        "%s: leftover temporary file %s (%lld bytes, %s), held by no running program: "
        "telbook clean removes it\n",
        book.c_str(), l.path.c_str(), static_cast<long long>(l.bytes),
        l.phone_book ? "a whole phone book" : "not a whole phone book");
  }
}

nlohmann::json LeftoversJson(const std::vector<Leftover>& leftovers) {
  nlohmann::json list = nlohmann::json::array();
  for (const Leftover& l : leftovers) {
    list.push_back({{"path", l.path},
                    {"bytes", l.bytes},
                    {"beside book", l.beside_book},
                    {"phone book", l.phone_book}});
  }
  return list;
}

int CleanLeftovers(const std::string& book) {
  Env* env = Env::Default();
  std::vector<Leftover> leftovers = FindLeftovers(book);
  bool book_sound = false;
  for (const Leftover& l : leftovers) {
    if (l.beside_book && l.phone_book) {
      CheckReport report = CheckFile(book);
      book_sound = report.readable && report.findings.empty();
      break;
    }
  }
  int removed = 0;
  for (const Leftover& l : leftovers) {
    if (l.beside_book && l.phone_book && !book_sound) {
      std::printf(
          "kept %s: a whole phone book beside a damaged one, perhaps the only whole copy "
          "of a save that did not finish; copy it over %s, or remove it yourself\n",
          l.path.c_str(), book.c_str());
      continue;
    }
    bool gone = false;
    if (env->RemoveIfUnheld(l.path.c_str(), &gone, nullptr) && gone) {
      std::printf("removed %s (%lld bytes)\n", l.path.c_str(), static_cast<long long>(l.bytes));
      ++removed;
    }
  }
  return removed;
}

}  // namespace tool
}  // namespace telbook
