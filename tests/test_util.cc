// Helpers shared by the tests; see test_util.h.
#include "test_util.h"

#if defined(_WIN32)
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#undef CopyFile
#undef DeleteFile
#undef ReplaceFile
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <ostream>
#include <random>

#include "interface/session.h"
#include "store/format.h"

namespace telbook {
namespace test {

namespace fs = std::filesystem;

namespace {
#if defined(_WIN32)
constexpr const char* kTmpVar = "TMP";
#else
constexpr const char* kTmpVar = "TMPDIR";
#endif

void SetVar(const char* name, const std::string& value) {
#if defined(_WIN32)
  _putenv_s(name, value.c_str());
#else
  setenv(name, value.c_str(), 1);
#endif
}
void UnsetVar(const char* name) {
#if defined(_WIN32)
  _putenv_s(name, "");
#else
  unsetenv(name);
#endif
}
}  // namespace

ScratchDir::ScratchDir() {
  std::random_device rd;
  std::mt19937_64 rng(rd());
  fs::path base = fs::temp_directory_path();
  for (;;) {
    fs::path p = base / ("telbook-test-" + std::to_string(rng() % 100000000));
    std::error_code ec;
    if (fs::create_directory(p, ec)) {
      path_ = p.string();
      break;
    }
  }
  const char* old = getenv(kTmpVar);
  had_tmp_ = old != nullptr;
  if (had_tmp_) saved_tmp_ = old;
  SetVar(kTmpVar, path_);
}

ScratchDir::~ScratchDir() {
  if (had_tmp_) {
    SetVar(kTmpVar, saved_tmp_);
  } else {
    UnsetVar(kTmpVar);
  }
  std::error_code ec;
  fs::remove_all(path_, ec);
}

std::string ScratchDir::File(const std::string& name) const {
  return (fs::path(path_) / name).string();
}

std::vector<std::string> ScratchDir::List() const {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(path_)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

bool ReadFile(const std::string& path, Bytes* out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  out->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return true;
}

Bytes ReadFileOrDie(const std::string& path) {
  Bytes b;
  if (!ReadFile(path, &b)) {
    fprintf(stderr, "cannot read %s\n", path.c_str());
    abort();
  }
  return b;
}

void WriteFile(const std::string& path, const Bytes& data) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
}

bool FileExists(const std::string& path) {
  std::error_code ec;
  return fs::exists(path, ec);
}

void PutU16(Bytes* b, size_t at, uint16_t v) {
  (*b)[at] = static_cast<uint8_t>(v);
  (*b)[at + 1] = static_cast<uint8_t>(v >> 8);
}
void PutU32(Bytes* b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) (*b)[at + i] = static_cast<uint8_t>(v >> (8 * i));
}
uint16_t GetU16(const Bytes& b, size_t at) {
  return static_cast<uint16_t>(b.at(at) | (b.at(at + 1) << 8));
}
uint32_t GetU32(const Bytes& b, size_t at) {
  return static_cast<uint32_t>(b.at(at)) | (static_cast<uint32_t>(b.at(at + 1)) << 8) |
         (static_cast<uint32_t>(b.at(at + 2)) << 16) | (static_cast<uint32_t>(b.at(at + 3)) << 24);
}

namespace {
Bytes Book(size_t size, const char* magic, const char* version) {
  Bytes b(size, 0);
  memcpy(b.data(), magic, 4);
  memcpy(b.data() + 4, version, 4);
  PutU16(&b, 12, 9999);
  PutU16(&b, 14, 5000);
  PutU16(&b, 32, 5);
  return b;
}
}  // namespace

Bytes EmptyBook(const char* magic, const char* version) {
  return Book(format::kFixedPartSize, magic, version);
}
Bytes EmptyBookV1(const char* magic, const char* version) {
  return Book(format::kFixedPartSizeV1, magic, version);
}

static void SetSlot(Bytes* book, uint32_t at, uint8_t kind, uint8_t tab, uint16_t length,
                    uint32_t offset) {
  (*book)[at] = kind;
  (*book)[at + 1] = tab;
  PutU16(book, at + 2, length);
  PutU32(book, at + 4, offset);
}

void SetPersonalSlot(Bytes* book, int n, uint8_t kind, uint8_t tab, uint16_t length,
                     uint32_t offset) {
  SetSlot(book, format::PersonalSlotOffset(static_cast<uint32_t>(n)), kind, tab, length, offset);
}
void SetGroupSlot(Bytes* book, int n, uint8_t kind, uint8_t tab, uint16_t length, uint32_t offset) {
  SetSlot(book, format::GroupSlotOffset(static_cast<uint32_t>(n)), kind, tab, length, offset);
}

bool HasUnnamedFiles(const std::string& dir) {
  char name[kMaxPath];
  Env* env = Env::Default();
  FileHandle file =
      env->CreateTempFile((dir + "/").c_str(), "tel", TempKind::kLinkable, name, nullptr);
  if (file == nullptr) return false;
  env->Close(file);
  if (name[0] == '\0') return true;
  env->DeleteFile(name);
  return false;
}

bool MakeHardLink(const std::string& existing, const std::string& link) {
#if defined(_WIN32)
  return CreateHardLinkA(link.c_str(), existing.c_str(), nullptr) != FALSE;
#else
  return ::link(existing.c_str(), link.c_str()) == 0;
#endif
}

bool MakeReadOnly(const std::string& path) {
#if defined(_WIN32)
  return SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY) != FALSE;
#else
  return chmod(path.c_str(), 0444) == 0;
#endif
}

void MakeWritable(const std::string& path) {
#if defined(_WIN32)
  SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
#else
  chmod(path.c_str(), 0644);
#endif
}

Pair ErrorOf(TL_FaxUtl* s) {
  Pair p{0xFFFF, 0xFFFF};
  TL_getErrorInfo(s, &p.category, &p.detail);
  return p;
}

TL_Kojin Kojin(const std::string& name, const std::string& furigana, const std::string& fax) {
  TL_Kojin k;
  memset(&k, 0, sizeof(k));
  SetText(k.Name, name);
  SetText(k.Furigana, furigana);
  SetText(k.FaxNumber, fax);
  return k;
}

TL_Kojin FullKojin() {
  TL_Kojin k = Kojin("Sato Hanako", "\x82\xb3\x82\xc6\x82\xa4", "03-1234-5678");  // さとう
  const struct {
    char* field;
    size_t capacity;
    const char* text;
  } texts[] = {
      {k.Affiliation, sizeof(k.Affiliation), "Sales"},
      {k.SpeedDial, sizeof(k.SpeedDial), "012"},
      {k.Phone, sizeof(k.Phone), "03-1234-0000"},
      {k.EMail, sizeof(k.EMail), "sato@example.jp"},
      {k.Memo, sizeof(k.Memo), "call\tfirst"},
      {k.FCode, sizeof(k.FCode), "1111"},
      {k.PCode, sizeof(k.PCode), "2222"},
      {k.BoxNumber, sizeof(k.BoxNumber), "33"},
      {k.BoxPassword, sizeof(k.BoxPassword), "44"},
      {k.HostText1, sizeof(k.HostText1), "h1"},
      {k.RelayId, sizeof(k.RelayId), "R9"},
      {k.BroadcastList, sizeof(k.BroadcastList), "001,002"},
      {k.HostText2, sizeof(k.HostText2), "h2"},
  };
  for (const auto& t : texts) snprintf(t.field, t.capacity, "%s", t.text);
  k.HostWord1 = 0xBEEF;
  k.HostWord2 = 0x0102;
  k.LineType = 1;
  k.Favourite = 3;
  k.CommMode = 5;
  k.HostByte1 = 6;
  k.HostByte2 = 7;
  k.RelayOutput = 1;
  return k;
}

std::vector<std::string> BookAndWorkingCopy(const ScratchDir& dir, const std::string& book,
                                            TL_FaxUtl* s) {
  std::vector<std::string> names = {book};
  if (FromHandle(s)->working_copy.modified() == 1) {
    // Named or not, a working copy that shows in the directory is held by the session's handle
    // (a file deleted on close shows until it is closed).
    Env* env = Env::Default();
    for (const std::string& name : dir.List()) {
      bool held = false;
      if (name != book && name.rfind("tel", 0) == 0 &&
          env->IsHeld(dir.File(name).c_str(), &held, nullptr) && held) {
        names.push_back(name);
      }
    }
  }
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace test
}  // namespace telbook
