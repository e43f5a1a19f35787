// The tool's operating system calls on Windows: the wide command line as UTF-8, a UTF-8 console,
// and CreateDirectoryA below GetTempPathA.
#include <fcntl.h>
#include <io.h>
#include <windows.h>
// shellapi.h needs the types of windows.h.
#include <shellapi.h>

#include <cstdio>
#include <string>

#include "tools/system.h"
#include "tools/tool_error.h"

namespace telbook {
namespace tool {
namespace {

// The system's words for a Win32 error code, without the trailing line break.
std::string ErrorWords(DWORD code) {
  char buffer[512];
  DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                           code, 0, buffer, sizeof(buffer), nullptr);
  std::string words(buffer, n);
  while (!words.empty() && (words.back() == '\n' || words.back() == '\r' || words.back() == ' ' ||
                            words.back() == '.')) {
    words.pop_back();
  }
  if (words.empty()) words = "system error " + std::to_string(code);
  return words;
}

std::string ToUtf8(const wchar_t* text) {
  int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (n <= 0) return std::string();
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, -1, &out[0], n, nullptr, nullptr);
  out.resize(static_cast<size_t>(n - 1));
  return out;
}

bool IsConsole(FILE* stream) {
  HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
  return handle != INVALID_HANDLE_VALUE && GetFileType(handle) == FILE_TYPE_CHAR;
}

// Writes every byte and flushes them to the device: ERROR_SUCCESS, or why not.
DWORD WriteAllAndFlush(HANDLE file, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    DWORD chunk =
        bytes.size() - done > 0x100000 ? 0x100000 : static_cast<DWORD>(bytes.size() - done);
    DWORD written = 0;
    if (!WriteFile(file, bytes.data() + done, chunk, &written, nullptr) || written == 0) break;
    done += written;
  }
  if (done != bytes.size()) {
    DWORD error = GetLastError();
    return error != ERROR_SUCCESS ? error : ERROR_WRITE_FAULT;
  }
  return FlushFileBuffers(file) ? ERROR_SUCCESS : GetLastError();
}

}  // namespace

const char kTemporaryDirectoryWords[] = "the temporary directory (%TMP%)";

std::vector<std::string> Utf8Arguments(int argc, char** argv) {
  int count = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (wide == nullptr) return std::vector<std::string>(argv, argv + argc);
  std::vector<std::string> arguments;
  for (int i = 0; i < count; ++i) arguments.push_back(ToUtf8(wide[i]));
  LocalFree(wide);
  return arguments;
}

void PrepareStandardStreams() {
  // A console shows the bytes in its output code page; a file or pipe takes them as they are,
  // without the C runtime's "\n" to "\r\n" translation.
  bool console = false;
  for (FILE* stream : {stdout, stderr}) {
    if (IsConsole(stream)) {
      console = true;
    } else {
      _setmode(_fileno(stream), _O_BINARY);
    }
  }
  if (console) SetConsoleOutputCP(CP_UTF8);
}

std::string ReadStandardInput() {
  _setmode(_fileno(stdin), _O_BINARY);
  std::string bytes;
  char buffer[65536];
  size_t n = 0;
  while ((n = fread(buffer, 1, sizeof(buffer), stdin)) > 0) bytes.append(buffer, n);
  if (ferror(stdin)) throw ToolError(kExitFile, "-", "cannot read standard input");
  return bytes;
}

void MakeDirectory(const std::string& path) {
  if (CreateDirectoryA(path.c_str(), nullptr)) return;
  DWORD error = GetLastError();
  DWORD attributes = GetFileAttributesA(path.c_str());
  if (error == ERROR_ALREADY_EXISTS && attributes != INVALID_FILE_ATTRIBUTES &&
      (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    return;
  }
  throw ToolError(kExitFile, path, "cannot make the directory: " + ErrorWords(error));
}

std::string MakeUniqueDirectory(const std::string& prefix) {
  char base[MAX_PATH + 1];
  DWORD n = GetTempPathA(sizeof(base), base);
  if (n == 0 || n > MAX_PATH) {
    throw ToolError(kExitFile, "", "no temporary directory: " + ErrorWords(GetLastError()));
  }
  // The suffix mixes the process id and the time, then steps on while the name is taken.
  unsigned long long seed =
      GetTickCount64() ^ (static_cast<unsigned long long>(GetCurrentProcessId()) << 20);
  static const char kDigits[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  DWORD error = ERROR_ALREADY_EXISTS;
  for (int attempt = 0; attempt < 1000 && error == ERROR_ALREADY_EXISTS; ++attempt) {
    seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
    std::string path = std::string(base) + prefix;
    unsigned long long bits = seed >> 16;
    for (int i = 0; i < 6; ++i, bits /= 36) path += kDigits[bits % 36];
    if (CreateDirectoryA(path.c_str(), nullptr)) return path;
    error = GetLastError();
  }
  throw ToolError(kExitFile, base, "cannot make a directory: " + ErrorWords(error));
}

// GetTempPathA reads %TMP% first, then %TEMP%; both are set, as full paths.
void UseAsTemporaryDirectory(const std::string& dir) {
  char full[MAX_PATH + 1];
  DWORD n = GetFullPathNameA(dir.c_str(), sizeof(full), full, nullptr);
  std::string path = n > 0 && n <= MAX_PATH ? std::string(full, n) : dir;
  SetEnvironmentVariableA("TMP", path.c_str());
  SetEnvironmentVariableA("TEMP", path.c_str());
}

bool WriteNewFile(const std::string& path, const std::string& bytes, const std::string&) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    DWORD error = GetLastError();
    if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) return false;
    throw ToolError(kExitFile, path, "cannot write: " + ErrorWords(error));
  }
  DWORD error = WriteAllAndFlush(file, bytes);
  if (!CloseHandle(file) && error == ERROR_SUCCESS) error = GetLastError();
  if (error != ERROR_SUCCESS) {
    DeleteFileA(path.c_str());
    throw ToolError(kExitFile, path, "cannot write: " + ErrorWords(error));
  }
  return true;
}

}  // namespace tool
}  // namespace telbook
