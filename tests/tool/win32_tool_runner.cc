// Process plumbing of the end-to-end tests on Windows: CreateProcessW with the tool's standard
// streams on pipes, the arguments passed as UTF-16 so that any text arrives intact; scratch
// directories made below GetTempPathA.
#include <windows.h>

#include <algorithm>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <utility>

#include "tests/tool/tool_runner.h"

namespace telbook {
namespace tooltest {
namespace {

std::wstring Widen(const std::string& utf8) {
  if (utf8.empty()) return std::wstring();
  int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring out(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), &out[0], n);
  return out;
}

// One argument quoted so that CommandLineToArgvW and the C runtime give it back unchanged:
// backslashes are literal except before a quote, where they are doubled.
std::wstring Quote(const std::wstring& arg) {
  if (!arg.empty() && arg.find_first_of(L" \t\n\v\"") == std::wstring::npos) return arg;
  std::wstring out = L"\"";
  for (size_t i = 0;; ++i) {
    size_t backslashes = 0;
    while (i < arg.size() && arg[i] == L'\\') {
      ++i;
      ++backslashes;
    }
    if (i == arg.size()) {
      out.append(backslashes * 2, L'\\');
      break;
    }
    if (arg[i] == L'"') {
      out.append(backslashes * 2 + 1, L'\\');
    } else {
      out.append(backslashes, L'\\');
    }
    out.push_back(arg[i]);
  }
  out.push_back(L'"');
  return out;
}

// The tool lies beside the test program.
std::wstring ToolPath() {
  wchar_t self[MAX_PATH + 1];
  DWORD n = GetModuleFileNameW(nullptr, self, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) throw std::runtime_error("GetModuleFileNameW");
  std::wstring path(self, n);
  size_t slash = path.find_last_of(L"\\/");
  return path.substr(0, slash + 1) + Widen(TELBOOK_TOOL_PATH);
}

void ReadPipe(HANDLE pipe, std::string* sink) {
  char buffer[4096];
  DWORD n = 0;
  while (ReadFile(pipe, buffer, sizeof(buffer), &n, nullptr) && n > 0) sink->append(buffer, n);
}

// Sets an environment variable for the processes started until the object is gone.
class ScopedVariable {
 public:
  ScopedVariable(const wchar_t* name, const std::wstring& value) : name_(name) {
    wchar_t old[32768];
    DWORD n = GetEnvironmentVariableW(name, old, 32768);
    had_ = n > 0 && n < 32768;
    if (had_) old_.assign(old, n);
    SetEnvironmentVariableW(name, value.c_str());
  }
  ~ScopedVariable() { SetEnvironmentVariableW(name_, had_ ? old_.c_str() : nullptr); }
  ScopedVariable(const ScopedVariable&) = delete;
  ScopedVariable& operator=(const ScopedVariable&) = delete;

 private:
  const wchar_t* name_;
  bool had_ = false;
  std::wstring old_;
};

std::string Narrow(const std::wstring& text) {
  if (text.empty()) return std::string();
  int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                              nullptr, nullptr);
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], n, nullptr,
                      nullptr);
  return out;
}

// The names in a directory, whatever their characters (as UTF-8), with their attributes.
std::vector<std::pair<std::wstring, DWORD>> Entries(const std::wstring& dir) {
  std::vector<std::pair<std::wstring, DWORD>> entries;
  WIN32_FIND_DATAW found;
  HANDLE find = FindFirstFileW((dir + L"\\*").c_str(), &found);
  if (find == INVALID_HANDLE_VALUE) return entries;
  do {
    std::wstring name = found.cFileName;
    if (name != L"." && name != L"..") entries.emplace_back(name, found.dwFileAttributes);
  } while (FindNextFileW(find, &found));
  FindClose(find);
  return entries;
}

void RemoveTree(const std::wstring& path) {
  for (const auto& [name, attributes] : Entries(path)) {
    std::wstring full = path + L"\\" + name;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
      RemoveTree(full);
    } else {
      SetFileAttributesW(full.c_str(), FILE_ATTRIBUTE_NORMAL);
      DeleteFileW(full.c_str());
    }
  }
  RemoveDirectoryW(path.c_str());
}

}  // namespace

Result RunTool(const std::vector<std::string>& args, const std::string& tmpdir,
               const std::string* input) {
  // The environment is the process's, and a handle made inheritable goes to any tool started
  // meanwhile: tools are started one at a time, even from several threads.
  static std::mutex starting;
  std::unique_lock<std::mutex> start_lock(starting);
  SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
  HANDLE out_read, out_write, err_read, err_write;
  if (!CreatePipe(&out_read, &out_write, &inherit, 0)) throw std::runtime_error("CreatePipe");
  if (!CreatePipe(&err_read, &err_write, &inherit, 0)) throw std::runtime_error("CreatePipe");
  SetHandleInformation(out_read, HANDLE_FLAG_INHERIT, 0);
  SetHandleInformation(err_read, HANDLE_FLAG_INHERIT, 0);
  HANDLE null_in = INVALID_HANDLE_VALUE;
  HANDLE in_write = INVALID_HANDLE_VALUE;
  if (input != nullptr) {
    if (!CreatePipe(&null_in, &in_write, &inherit, static_cast<DWORD>(input->size() + 4096))) {
      throw std::runtime_error("CreatePipe");
    }
    SetHandleInformation(in_write, HANDLE_FLAG_INHERIT, 0);
  } else {
    null_in = CreateFileA("NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                          OPEN_EXISTING, 0, nullptr);
  }

  std::wstring tool = ToolPath();
  std::wstring command_line = Quote(tool);
  for (const std::string& a : args) command_line += L" " + Quote(Widen(a));

  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = null_in;
  startup.hStdOutput = out_write;
  startup.hStdError = err_write;
  PROCESS_INFORMATION process = {};
  BOOL started = FALSE;
  {
    // The tool's temporary directory, and the library's, is GetTempPathA's answer: %TMP% first.
    std::wstring temp = Widen(tmpdir);
    std::unique_ptr<ScopedVariable> tmp, temp_var;
    if (!tmpdir.empty()) {
      tmp.reset(new ScopedVariable(L"TMP", temp));
      temp_var.reset(new ScopedVariable(L"TEMP", temp));
    }
    // Wine, when busy, now and then fails a start with ERROR_INTERNAL_ERROR; a start that
    // failed ran nothing, so it is tried again a few times.
    for (int attempt = 0; attempt < 5 && !started; ++attempt) {
      if (attempt > 0) Sleep(200);
      started = CreateProcessW(tool.c_str(), &command_line[0], nullptr, nullptr, TRUE, 0, nullptr,
                               nullptr, &startup, &process);
      if (!started && GetLastError() != ERROR_INTERNAL_ERROR) break;
    }
  }
  CloseHandle(out_write);
  CloseHandle(err_write);
  if (null_in != INVALID_HANDLE_VALUE) CloseHandle(null_in);
  start_lock.unlock();
  if (in_write != INVALID_HANDLE_VALUE) {
    // The tool reads all of its input before it writes: the whole input goes in first.
    DWORD written = 0;
    if (started)
      WriteFile(in_write, input->data(), static_cast<DWORD>(input->size()), &written, nullptr);
    CloseHandle(in_write);
  }
  Result run;
  if (!started) {
    CloseHandle(out_read);
    CloseHandle(err_read);
    run.err = "cannot start the tool: error " + std::to_string(GetLastError());
    return run;
  }
  // Both pipes are drained at once, so that a full one never stalls the tool.
  std::thread err_reader(ReadPipe, err_read, &run.err);
  ReadPipe(out_read, &run.out);
  err_reader.join();
  CloseHandle(out_read);
  CloseHandle(err_read);
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hProcess);
  CloseHandle(process.hThread);
  // A crash ends the process with an exception code, never with a small status.
  run.status = code <= 255 ? static_cast<int>(code) : -1;
  return run;
}

Scratch::Scratch() {
  char base[MAX_PATH + 1];
  DWORD n = GetTempPathA(sizeof(base), base);
  if (n == 0 || n > MAX_PATH) throw std::runtime_error("GetTempPathA");
  static unsigned counter = 0;
  for (int attempt = 0; attempt < 1000; ++attempt) {
    std::string path = std::string(base) + "tooltest-" + std::to_string(GetCurrentProcessId()) +
                       "-" + std::to_string(++counter);
    if (CreateDirectoryA(path.c_str(), nullptr)) {
      path_ = path;
      return;
    }
    if (GetLastError() != ERROR_ALREADY_EXISTS) break;
  }
  throw std::runtime_error("CreateDirectoryA");
}

Scratch::~Scratch() { RemoveTree(Widen(path_)); }

std::vector<std::string> Scratch::List() const {
  std::vector<std::string> names;
  for (const auto& entry : Entries(Widen(path_))) names.push_back(Narrow(entry.first));
  std::sort(names.begin(), names.end());
  return names;
}

bool Exists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool MakeHardLink(const std::string& existing, const std::string& link) {
  return CreateHardLinkA(link.c_str(), existing.c_str(), nullptr) != FALSE;
}

bool MakeReadOnly(const std::string& path) {
  return SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY) != FALSE;
}

void MakeWritable(const std::string& path) {
  SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
}

}  // namespace tooltest
}  // namespace telbook
