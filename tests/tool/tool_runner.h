// Runs the built telbook tool as a user would and captures what it prints and its exit status;
// a scratch directory per test holds the phone books and is the tool's temporary directory.
#ifndef TELBOOK_TESTS_TOOL_TOOL_RUNNER_H_
#define TELBOOK_TESTS_TOOL_TOOL_RUNNER_H_

#include <cstdint>
#include <string>
#include <vector>

namespace telbook {
namespace tooltest {

struct Result {
  int status = -1;  // exit status; -1 when the tool did not exit normally
  std::string out;
  std::string err;
};

// Runs the tool with the arguments; TMPDIR is set to tmpdir when it is not empty. Standard input
// is empty, or holds *input when it is given.
Result RunTool(const std::vector<std::string>& args, const std::string& tmpdir = "",
               const std::string* input = nullptr);

class Scratch {
 public:
  Scratch();
  ~Scratch();
  Scratch(const Scratch&) = delete;
  Scratch& operator=(const Scratch&) = delete;
  const std::string& path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }
  // Names in the directory, sorted.
  std::vector<std::string> List() const;
  // Runs the tool with this directory as its temporary directory.
  Result Tool(const std::vector<std::string>& args) const { return RunTool(args, path_); }
  // The same, with input on its standard input.
  Result ToolWithInput(const std::vector<std::string>& args, const std::string& input) const {
    return RunTool(args, path_, &input);
  }

 private:
  std::string path_;
};

std::string ReadAll(const std::string& path);
void WriteAll(const std::string& path, const std::string& bytes);
bool Exists(const std::string& path);
// A second name for a file; the read-only permission or attribute, and back.
bool MakeHardLink(const std::string& existing, const std::string& link);
bool MakeReadOnly(const std::string& path);
void MakeWritable(const std::string& path);

}  // namespace tooltest
}  // namespace telbook

#endif  // TELBOOK_TESTS_TOOL_TOOL_RUNNER_H_
