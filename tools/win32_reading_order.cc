// The reading order on Windows: the sort keys of the ja-JP locale, which order text as
// CompareStringEx does, with kana type and width set aside before case and the rest.
#include <windows.h>

#include <string>

#include "tools/reading_order.h"

namespace telbook {
namespace tool {
namespace {

constexpr DWORD kOrderFlags = NORM_IGNOREKANATYPE | NORM_IGNOREWIDTH;

std::wstring Utf16(const std::string& utf8) {
  if (utf8.empty()) return std::wstring();
  int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  if (n <= 0) return std::wstring();
  std::wstring out(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), &out[0], n);
  return out;
}

}  // namespace

struct ReadingOrder::Impl {};

ReadingOrder::ReadingOrder() : impl_(new Impl) {}
ReadingOrder::~ReadingOrder() = default;

std::string ReadingOrder::Key(const std::string& utf8) const {
  std::wstring text = Utf16(utf8);
  if (text.empty()) return std::string();
  int n = LCMapStringEx(L"ja-JP", LCMAP_SORTKEY | kOrderFlags, text.c_str(),
                        static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr, 0);
  if (n <= 0) return utf8;
  std::string key(static_cast<size_t>(n), '\0');
  n = LCMapStringEx(L"ja-JP", LCMAP_SORTKEY | kOrderFlags, text.c_str(),
                    static_cast<int>(text.size()), reinterpret_cast<LPWSTR>(&key[0]), n, nullptr,
                    nullptr, 0);
  if (n <= 0) return utf8;
  key.resize(static_cast<size_t>(n) - 1);  // without the terminating zero
  return key;
}

int ReadingOrder::Compare(const std::string& a, const std::string& b) const {
  std::wstring wa = Utf16(a);
  std::wstring wb = Utf16(b);
  int r = CompareStringEx(L"ja-JP", kOrderFlags, wa.c_str(), static_cast<int>(wa.size()),
                          wb.c_str(), static_cast<int>(wb.size()), nullptr, nullptr, 0);
  if (r == 0) return a.compare(b);
  return r - CSTR_EQUAL;
}

bool ReadingOrder::collated() const { return true; }

}  // namespace tool
}  // namespace telbook
