// The tool's one way to write a file the user named, an export's destination: the library's own,
// so that the tool's exports keep links, permissions and devices as the library's exports do,
// and refuse what they refuse.
#ifndef TELBOOK_TOOLS_DESTINATION_H_
#define TELBOOK_TOOLS_DESTINATION_H_

#include <string>

namespace telbook {
namespace tool {

class Book;

// Writes bytes to dest whole before dest is touched: a new file replaces it in one step (links
// followed, permissions kept), or the bytes are written into a file of several links, a FIFO,
// a device or a socket. The open book itself, a directory and a read-only file are refused.
// Throws ToolError(kExitFile) naming dest, which is then as it was.
void WriteDestination(const Book& book, const std::string& dest, const std::string& bytes);

// Throws the ToolError(kExitFile) of an export from book to dest that the library refused, in
// words from the pair the book's session recorded.
[[noreturn]] void DestinationFailed(const Book& book, const std::string& dest);

}  // namespace tool
}  // namespace telbook

#endif  // TELBOOK_TOOLS_DESTINATION_H_
