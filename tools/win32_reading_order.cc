// The reading order on Windows: the sort keys of the ja-JP locale, which order text as
// CompareStringEx does, with kana type and width set aside before case and the rest.
#include <windows.h>

#include <string>

#include "tools/reading_order.h"
#include "tools/win32_wide.h"

namespace telbook {
namespace tool {
namespace {

constexpr DWORD kOrderFlags = NORM_IGNOREKANATYPE | NORM_IGNOREWIDTH;

}  // namespace

struct ReadingOrder::Impl {};

ReadingOrder::ReadingOrder() : impl_(new Impl) {}
ReadingOrder::~ReadingOrder() = default;

std::string ReadingOrder::Key(const std::string& utf8) const {
  std::wstring text = Widen(utf8);
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
  std::wstring wa = Widen(a);
  std::wstring wb = Widen(b);
  int r = CompareStringEx(L"ja-JP", kOrderFlags, wa.c_str(), static_cast<int>(wa.size()),
                          wb.c_str(), static_cast<int>(wb.size()), nullptr, nullptr, 0);
  if (r == 0) return a.compare(b);
  return r - CSTR_EQUAL;
}

bool ReadingOrder::collated() const { return true; }

}  // namespace tool
}  // namespace telbook
