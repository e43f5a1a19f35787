// UTF-8 to the UTF-16 of the Windows API, for the tool's calls that take wide text.
#ifndef TELBOOK_TOOLS_WIN32_WIDE_H_
#define TELBOOK_TOOLS_WIN32_WIDE_H_

#include <string>

namespace telbook {
namespace tool {

// The text as UTF-16; empty for empty text or bytes that are not UTF-8.
std::wstring Widen(const std::string& utf8);

}  // namespace tool
}  // namespace telbook

#endif  // TELBOOK_TOOLS_WIN32_WIDE_H_
