// The search's folding on Windows through LCMapStringEx: half-width katakana joined with their
// sound marks and every kana made full-width hiragana, case lowered; full-width Latin is then
// narrowed to ASCII, so that texts fold to the same strings as with ICU's NFKC on Linux.
#include <windows.h>

#include <cctype>
#include <string>

#include "tools/fold.h"
#include "tools/win32_wide.h"

namespace telbook {
namespace tool {
namespace {

constexpr DWORD kFoldFlags = LCMAP_FULLWIDTH | LCMAP_HIRAGANA | LCMAP_LOWERCASE;

}  // namespace

std::wstring Widen(const std::string& utf8) {
  if (utf8.empty()) return std::wstring();
  int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  if (n <= 0) return std::wstring();
  std::wstring out(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), &out[0], n);
  return out;
}

namespace {

std::string Narrow(const std::wstring& text) {
  if (text.empty()) return std::string();
  int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                              nullptr, nullptr);
  if (n <= 0) return std::string();
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], n, nullptr,
                      nullptr);
  return out;
}

std::string LowerAscii(std::string text) {
  for (char& c : text) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
  return text;
}

}  // namespace

struct Folder::Impl {};
Folder::Folder() : impl_(new Impl) {}
Folder::~Folder() = default;

std::string Folder::Fold(const std::string& utf8) const {
  std::wstring wide = Widen(utf8);
  if (wide.empty()) return LowerAscii(utf8);
  int n = LCMapStringEx(LOCALE_NAME_INVARIANT, kFoldFlags, wide.data(),
                        static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr, 0);
  if (n <= 0) return LowerAscii(utf8);
  std::wstring folded(static_cast<size_t>(n), L'\0');
  n = LCMapStringEx(LOCALE_NAME_INVARIANT, kFoldFlags, wide.data(), static_cast<int>(wide.size()),
                    &folded[0], n, nullptr, nullptr, 0);
  if (n <= 0) return LowerAscii(utf8);
  folded.resize(static_cast<size_t>(n));
  for (wchar_t& c : folded) {
    if (c >= 0xFF01 && c <= 0xFF5E) {
      c = static_cast<wchar_t>(c - 0xFF01 + 0x21);
    } else if (c == 0x3000) {
      c = L' ';
    }
  }
  return Narrow(folded);
}

}  // namespace tool
}  // namespace telbook
