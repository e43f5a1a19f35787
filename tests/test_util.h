// Shared helpers of the tests: a scratch directory, whole-file reads and writes, sessions built
// on a chosen Env, and phone book images written byte by byte.
#ifndef TELBOOK_TESTS_TEST_UTIL_H_
#define TELBOOK_TESTS_TEST_UTIL_H_

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "interface/telbook.h"
#include "platform/env.h"

namespace telbook {
namespace test {

using Bytes = std::vector<uint8_t>;

// A fresh directory below the system's temporary directory, removed with its files at the end.
// While it lives it is also the temporary directory of the library (TMPDIR or TMP).
class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  const std::string& path() const { return path_; }
  std::string File(const std::string& name) const;
  // Names of the files in the directory, sorted.
  std::vector<std::string> List() const;

 private:
  std::string path_;
  std::string saved_tmp_;
  bool had_tmp_ = false;
};

bool ReadFile(const std::string& path, Bytes* out);
Bytes ReadFileOrDie(const std::string& path);
void WriteFile(const std::string& path, const Bytes& data);
bool FileExists(const std::string& path);

// Whether the file system of dir makes temporary files without a name (Linux O_TMPFILE).
bool HasUnnamedFiles(const std::string& dir);

// A second name for a file; the read-only permission or attribute, and back.
bool MakeHardLink(const std::string& existing, const std::string& link);
bool MakeReadOnly(const std::string& path);
void MakeWritable(const std::string& path);

void PutU16(Bytes* b, size_t at, uint16_t v);
void PutU32(Bytes* b, size_t at, uint32_t v);
uint16_t GetU16(const Bytes& b, size_t at);
uint32_t GetU32(const Bytes& b, size_t at);

// An empty phone book image: "KVTL" "0200" (or the given magic and version), counts 0, limits,
// favourites count 5, all slots free. Version-1 images end after the low index halves.
Bytes EmptyBook(const char* magic = "KVTL", const char* version = "0200");
Bytes EmptyBookV1(const char* magic = "KVTL", const char* version = "0100");
// Fills personal slot n (from 1) or group slot n of an image.
void SetPersonalSlot(Bytes* book, int n, uint8_t kind, uint8_t tab, uint16_t length,
                     uint32_t offset);
void SetGroupSlot(Bytes* book, int n, uint8_t kind, uint8_t tab, uint16_t length, uint32_t offset);

// Copies text into a host field, cut to the field and terminated.
template <size_t N>
void SetText(char (&field)[N], const std::string& text) {
  size_t n = text.size() < N - 1 ? text.size() : N - 1;
  text.copy(field, n);
  field[n] = '\0';
}

// The one builder of host personal entries for tests: a name, a reading and a fax number,
// every other field zero.
TL_Kojin Kojin(const std::string& name, const std::string& furigana = "",
               const std::string& fax = "");
// An entry with every field set: each text its own (the memo holding a tab, the broadcast list
// a comma), a reading in the さ row, favourite 3, and every number non-zero.
TL_Kojin FullKojin();

// A session whose life ends with the scope.
class SessionHolder {
 public:
  SessionHolder() : s_(TL_CreateFaxUtl()) {}
  ~SessionHolder() { TL_DestroyFaxUtl(s_); }
  SessionHolder(const SessionHolder&) = delete;
  SessionHolder& operator=(const SessionHolder&) = delete;
  TL_FaxUtl* get() const { return s_; }
  operator TL_FaxUtl*() const { return s_; }

 private:
  TL_FaxUtl* s_;
};

// Installs an Env for the sessions created in its scope.
class ScopedSessionEnv {
 public:
  explicit ScopedSessionEnv(Env* env) { SetSessionEnv(env); }
  ~ScopedSessionEnv() { SetSessionEnv(nullptr); }
};

struct Pair {
  unsigned short category;
  unsigned short detail;
  bool operator==(const Pair& o) const { return category == o.category && detail == o.detail; }
};
inline std::ostream& operator<<(std::ostream& os, const Pair& p) {
  return os << "(" << p.category << ", " << p.detail << ")";
}
Pair ErrorOf(TL_FaxUtl* s);

// The names a session on dir/book may show in dir, sorted: the book and, while the session is
// changed, its working copy where that shows in the directory.
std::vector<std::string> BookAndWorkingCopy(const ScratchDir& dir, const std::string& book,
                                            TL_FaxUtl* s);

}  // namespace test
}  // namespace telbook

#endif  // TELBOOK_TESTS_TEST_UTIL_H_
