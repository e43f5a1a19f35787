// Exit statuses of the telbook tool and the failure that carries one up to main, where it is
// printed on standard error as "telbook: FILE: reason".
#ifndef TELBOOK_TOOLS_TOOL_ERROR_H_
#define TELBOOK_TOOLS_TOOL_ERROR_H_

#include <stdexcept>
#include <string>

namespace telbook {
namespace tool {

// Documented in README.md and in `telbook --help`; scripts rely on them.
enum ExitStatus : int {
  kExitOk = 0,
  kExitFindings = 1,  // check: the phone book is not sound; search: nothing matched
  kExitUsage = 2,     // bad command line, bad argument value, record number out of range
  kExitBook = 3,      // the phone book could not be created, opened, read, written or saved
  kExitText = 4,      // text that code page 932 cannot hold, or an unreadable input file
  kExitInUse = 5,     // the phone book is in use by another program
  kExitFile = 6,      // another file (export destination, import source) could not be used
  kExitSkipped = 7,   // records that could not be read were passed over; the rest is complete
};

class ToolError : public std::runtime_error {
 public:
  // file may be empty when the failure concerns no file.
  ToolError(int status, std::string file, const std::string& reason)
      : std::runtime_error(reason), status_(status), file_(std::move(file)) {}
  int status() const { return status_; }
  const std::string& file() const { return file_; }

 private:
  int status_;
  std::string file_;
};

}  // namespace tool
}  // namespace telbook

#endif  // TELBOOK_TOOLS_TOOL_ERROR_H_
