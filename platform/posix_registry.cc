// The POSIX registry store: key paths to directories, value names to files, escaped names, and
// atomic value writes. Every failure is a plain false or null; nothing here records an error.
#include "platform/posix_registry.h"

#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <new>

#include "platform/posix_io.h"

namespace telbook {
namespace posix_registry {

namespace {

constexpr char kValueSuffix[] = ".value";
constexpr char kTempSuffix[] = ".XXXXXX";
constexpr mode_t kDirectoryMode = 0700;

const char* NonEmptyVariable(const char* name) {
  const char* value = getenv(name);
  return (value != nullptr && value[0] != '\0') ? value : nullptr;
}

bool IsKeptByte(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == ' ' ||
         c == '_' || c == '-';
}

bool IsDirectory(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Makes the directory when it is missing; true when a directory is there afterwards.
bool MakeDirectory(const std::string& path) {
  if (mkdir(path.c_str(), kDirectoryMode) == 0) return true;
  return errno == EEXIST && IsDirectory(path);
}

// Makes every missing directory of an absolute or relative path.
bool MakeDirectories(const std::string& path) {
  if (IsDirectory(path)) return true;
  for (size_t slash = path.find('/', 1); slash != std::string::npos;
       slash = path.find('/', slash + 1)) {
    if (!MakeDirectory(path.substr(0, slash))) return false;
  }
  return MakeDirectory(path);
}

std::string ValuePath(KeyHandle key, const char* name) {
  return key->directory + "/" + EscapeName(name) + kValueSuffix;
}

}  // namespace

std::string RootDirectory() {
  if (const char* dir = NonEmptyVariable("TELBOOK_REGISTRY_DIR")) return dir;
  if (const char* config = NonEmptyVariable("XDG_CONFIG_HOME")) {
    return std::string(config) + "/telbook/registry";
  }
  if (const char* home = NonEmptyVariable("HOME")) {
    return std::string(home) + "/.config/telbook/registry";
  }
  return std::string();
}

std::string EscapeName(const char* name) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  if (name == nullptr) return out;
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(name); *p != 0; ++p) {
    if (IsKeptByte(*p)) {
      out.push_back(static_cast<char>(*p));
    } else {
      out.push_back('%');
      out.push_back(kHex[*p >> 4]);
      out.push_back(kHex[*p & 0x0F]);
    }
  }
  return out;
}

KeyHandle OpenKey(const char* path, bool create) {
  try {
    std::string directory = RootDirectory();
    if (directory.empty() || path == nullptr) return nullptr;
    while (directory.size() > 1 && directory.back() == '/') directory.pop_back();
    if (create && !MakeDirectories(directory)) return nullptr;
    if (path[0] != '\0') {
      const char* part = path;
      for (;;) {
        const char* end = strchr(part, '\\');
        size_t length = end != nullptr ? static_cast<size_t>(end - part) : strlen(part);
        if (length == 0) return nullptr;
        directory += "/" + EscapeName(std::string(part, length).c_str());
        if (create && !MakeDirectory(directory)) return nullptr;
        if (end == nullptr) break;
        part = end + 1;
      }
    }
    if (!IsDirectory(directory)) return nullptr;
    return new PlatformKey{std::move(directory)};
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

bool QueryValue(KeyHandle key, const char* name, void* buffer, uint32_t capacity,
                uint32_t* length) {
  if (key == nullptr || length == nullptr || (buffer == nullptr && capacity > 0)) return false;
  try {
    int fd = open(ValuePath(key, name).c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return false;
    struct stat st;
    bool ok =
        fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && static_cast<uint64_t>(st.st_size) <= capacity;
    uint8_t* out = static_cast<uint8_t*>(buffer);
    uint32_t done = 0;
    // Reads one byte past the capacity, so that a value grown since fstat is still refused.
    while (ok) {
      uint8_t extra;
      uint8_t* into = done < capacity ? out + done : &extra;
      size_t want = done < capacity ? capacity - done : 1;
      ssize_t n = read(fd, into, want);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) ok = false;
      if (n <= 0) break;
      if (done >= capacity) ok = false;
      done += static_cast<uint32_t>(n);
    }
    close(fd);
    if (!ok) return false;
    *length = done;
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

bool SetValue(KeyHandle key, const char* name, const void* data, uint32_t length) {
  if (key == nullptr || (data == nullptr && length > 0)) return false;
  try {
    std::string target = ValuePath(key, name);
    std::string temp = target + kTempSuffix;
    int fd = mkostemp(&temp[0], O_CLOEXEC);
    if (fd < 0) return false;
    bool ok = posix_io::WriteAll(fd, static_cast<const uint8_t*>(data), length) && fsync(fd) == 0;
    if (close(fd) != 0) ok = false;
    if (ok) ok = rename(temp.c_str(), target.c_str()) == 0;
    if (!ok) {
      unlink(temp.c_str());
      return false;
    }
    posix_io::SyncDirectory(key->directory.c_str());
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

void CloseKey(KeyHandle key) { delete key; }

}  // namespace posix_registry
}  // namespace telbook
