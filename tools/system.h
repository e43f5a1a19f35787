// The tool's few calls into the operating system, one implementation per platform
// (posix_system.cc, win32_system.cc): the command line, the standard streams and directories.
// Files the user named are written through the library (tools/destination.h).
#ifndef TELBOOK_TOOLS_SYSTEM_H_
#define TELBOOK_TOOLS_SYSTEM_H_

#include <string>
#include <vector>

namespace telbook {
namespace tool {

// Where a demo without DIR makes its directory, in words for the help.
extern const char kTemporaryDirectoryWords[];

// The command line as UTF-8 texts, the program first. On Windows it is read again from the wide
// command line, so that texts outside the ANSI code page arrive intact.
std::vector<std::string> Utf8Arguments(int argc, char** argv);

// Makes standard output and error carry UTF-8 bytes as they are: a Windows console is switched to
// the UTF-8 code page, redirected streams get no newline translation.
void PrepareStandardStreams();

// The whole of standard input as bytes, without newline translation. Throws
// ToolError(kExitFile) when it cannot be read.
std::string ReadStandardInput();

// Makes the directory unless it exists. Throws ToolError(kExitFile) naming it otherwise.
void MakeDirectory(const std::string& path);

// Makes a new directory, named prefix and a unique suffix, in the temporary directory and
// returns its path. Throws ToolError(kExitFile) when none can be made.
std::string MakeUniqueDirectory(const std::string& prefix);

// Makes dir the temporary directory of this process, where the library puts its working copies.
void UseAsTemporaryDirectory(const std::string& dir);

// Writes bytes to a new file at path, flushed to the device: false, with nothing written, when
// the name is taken. The file gets the permissions of the file at `like` (POSIX; on Windows
// those of its directory). Throws ToolError(kExitFile) naming it for any other failure, leaving
// no file behind.
bool WriteNewFile(const std::string& path, const std::string& bytes, const std::string& like);

}  // namespace tool
}  // namespace telbook

#endif  // TELBOOK_TOOLS_SYSTEM_H_
