// The binary interface of telbook.dll as the host sees it: undecorated export names, only system
// DLLs imported, and every function removing from the stack exactly what its convention says.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <vector>

namespace {

enum class Pops { kCallee, kCaller };

// How each 32-bit argument slot of a test call is filled. Every call is made on a session with
// no phone book open, so the phone book functions refuse; settings calls run inside a registry
// of the test's own (see RegistryOverride).
//   S  the test's session
//   D  a session of its own, which the call destroys
//   P  a pointer to a fresh zero-filled buffer (an empty string, an all-zero structure)
//   0  the value 0
constexpr size_t kMaxSlots = 8;

struct Export {
  const char* name;
  Pops pops;
  const char* slots;  // one letter per argument slot, session included
};

// Every function of the interface, with its convention and its argument slots. A function added
// to the DLL is added here too; the tests below name any export that is missing.
const Export kExports[] = {
    {"DllEntryPoint", Pops::kCallee, "000"},
    {"TL_CreateFaxUtl", Pops::kCaller, ""},
    {"TL_DestroyFaxUtl", Pops::kCaller, "D"},
    {"TL_getErrorInfo", Pops::kCallee, "SPP"},
    {"TL_createDataBase", Pops::kCallee, "SP"},
    {"TL_openDataBase", Pops::kCallee, "SP"},
    {"TL_closeDataBase", Pops::kCallee, "S0"},
    {"TL_getFileVersion", Pops::kCaller, "S"},
    {"TL_readDataCount", Pops::kCallee, "SPP"},
    {"TL_readKojin", Pops::kCallee, "SP0"},
    {"TL_writeKojin", Pops::kCallee, "SPP0"},
    {"TL_openGroup", Pops::kCallee, "S0"},
    {"TL_closeGroup", Pops::kCallee, "S"},
    {"TL_readGroupData", Pops::kCallee, "SP"},
    {"TL_readGroupMember", Pops::kCallee, "SP"},
    {"TL_writeGroup", Pops::kCallee, "SPP0P"},
    {"TL_deleteKojin", Pops::kCallee, "S0"},
    {"TL_deleteGroup", Pops::kCallee, "S0"},
    {"TL_readOkonomi", Pops::kCallee, "S0P"},
    {"TL_writeOkonomi", Pops::kCallee, "S0P"},
    {"TL_openTag", Pops::kCallee, "S0"},
    {"TL_closeTag", Pops::kCallee, "S"},
    {"TL_readTagWeightCount", Pops::kCallee, "S0P"},
    {"TL_readTagData", Pops::kCallee, "S0P"},
    {"TL_beginSRCH", Pops::kCallee, "SP"},
    {"TL_readSrchData", Pops::kCallee, "SP"},
    {"TL_endSRCH", Pops::kCallee, "S"},
    {"TL_writeSrchData", Pops::kCallee, "SP0P00PP"},
    {"TL_ReadFaxFileInfo", Pops::kCaller, "SP"},
    {"TL_WriteFaxFileInfo", Pops::kCaller, "S0"},
    {"TL_WriteKeyWordInfo", Pops::kCaller, "SP"},
    {"TL_IniInfoGetFileName", Pops::kCaller, "SP"},
    {"TL_IniInfoGetKeyWordInfo", Pops::kCaller, "SP"},
    {"TL_IniInfoSetKeyWordInfo", Pops::kCaller, "SP"},
    {"TL_IniInfoGetCurrSrchItem", Pops::kCallee, "SP"},
    {"TL_IniInfoSetCurrSrchItem", Pops::kCallee, "S0"},
    {"TL_IniInfoGetCurrSrchKeyWord", Pops::kCallee, "SP"},
    {"TL_IniInfoSetCurrSrchKeyWord", Pops::kCallee, "S0"},
    {"TL_IniInfoGetCurrSrchCondition", Pops::kCallee, "SP"},
    {"TL_IniInfoSetCurrSrchCondition", Pops::kCallee, "S0"},
    {"TL_IniInfoSetFuriganaTab", Pops::kCaller, "S0"},
    {"TL_IniInfoGetFuriganaTab", Pops::kCaller, "SP"},
    {"TL_IniInfoSetPhoneBookColumn", Pops::kCaller, "SP"},
    {"TL_IniInfoGetPhoneBookColumn", Pops::kCaller, "SP"},
    {"TL_IniInfoSetPhoneBookSort", Pops::kCaller, "SP"},
    {"TL_IniInfoGetPhoneBookSort", Pops::kCaller, "SP"},
    {"TL_IniInfoSetRecipentsColumn", Pops::kCaller, "SP"},
    {"TL_IniInfoGetRecipentsColumn", Pops::kCaller, "SP"},
    {"TL_IniInfoSetSearchInfo", Pops::kCaller, "SP"},
    {"TL_IniInfoGetSearchInfo", Pops::kCaller, "SP"},
};

const Export* FindExport(const std::string& name) {
  for (const Export& e : kExports) {
    if (name == e.name) return &e;
  }
  return nullptr;
}

}  // namespace

// Pushes n argument slots (args[0] last, so that it ends on top), calls fn, and returns how many
// bytes the call removed from the stack; the stack is restored either way. The result register
// is stored through result when it is not null.
extern "C" int32_t telbook_measure_call(const void* fn, const uint32_t* args, uint32_t n,
                                        uint32_t* result);
__asm__(
    ".text\n"
    ".globl _telbook_measure_call\n"
    "_telbook_measure_call:\n"
    "  pushl %ebp\n"
    "  movl %esp, %ebp\n"
    "  pushl %ebx\n"
    "  pushl %esi\n"
    "  pushl %edi\n"
    "  movl 12(%ebp), %esi\n"
    "  movl 16(%ebp), %ecx\n"
    "1:\n"
    "  testl %ecx, %ecx\n"
    "  jz 2f\n"
    "  pushl -4(%esi,%ecx,4)\n"
    "  decl %ecx\n"
    "  jmp 1b\n"
    "2:\n"
    "  movl %esp, %edi\n"
    "  movl 8(%ebp), %eax\n"
    "  call *%eax\n"
    "  movl 20(%ebp), %ecx\n"
    "  testl %ecx, %ecx\n"
    "  jz 3f\n"
    "  movl %eax, (%ecx)\n"
    "3:\n"
    "  movl %esp, %eax\n"
    "  subl %edi, %eax\n"
    "  leal -12(%ebp), %esp\n"
    "  popl %edi\n"
    "  popl %esi\n"
    "  popl %ebx\n"
    "  popl %ebp\n"
    "  ret\n");

namespace {

// The library, loaded the way a host loads it.
class Library {
 public:
  Library() : module_(LoadLibraryA(TELBOOK_DLL_PATH)), error_(GetLastError()) {}
  ~Library() {
    if (module_ != nullptr) FreeLibrary(module_);
  }
  Library(const Library&) = delete;
  Library& operator=(const Library&) = delete;

  HMODULE module() const { return module_; }
  DWORD load_error() const { return error_; }
  const void* Find(const char* name) const {
    return reinterpret_cast<const void*>(GetProcAddress(module_, name));
  }

  // The names of the export directory, read from the loaded image.
  std::vector<std::string> ExportNames() const {
    std::vector<std::string> names;
    const uint8_t* base = reinterpret_cast<const uint8_t*>(module_);
    const IMAGE_NT_HEADERS32* nt = NtHeaders();
    const IMAGE_DATA_DIRECTORY& dir =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    if (dir.VirtualAddress == 0) return names;
    const auto* exports =
        reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + dir.VirtualAddress);
    const auto* rvas = reinterpret_cast<const DWORD*>(base + exports->AddressOfNames);
    for (DWORD i = 0; i < exports->NumberOfNames; ++i) {
      names.emplace_back(reinterpret_cast<const char*>(base + rvas[i]));
    }
    return names;
  }

  // The DLL names of the import directory.
  std::vector<std::string> ImportNames() const {
    std::vector<std::string> names;
    const uint8_t* base = reinterpret_cast<const uint8_t*>(module_);
    const IMAGE_DATA_DIRECTORY& dir =
        NtHeaders()->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (dir.VirtualAddress == 0) return names;
    const auto* desc = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress);
    for (; desc->Name != 0; ++desc) {
      names.emplace_back(reinterpret_cast<const char*>(base + desc->Name));
    }
    return names;
  }

 private:
  const IMAGE_NT_HEADERS32* NtHeaders() const {
    const uint8_t* base = reinterpret_cast<const uint8_t*>(module_);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    return reinterpret_cast<const IMAGE_NT_HEADERS32*>(base + dos->e_lfanew);
  }

  HMODULE module_;
  DWORD error_;
};

// Points HKEY_CURRENT_USER of this process at a key of the test's own, so that settings calls
// neither read nor change the user's settings; the key is deleted at the end.
class RegistryOverride {
 public:
  RegistryOverride() {
    char name[64];
    snprintf(name, sizeof name, "Software\\telbook-abi-test-%lu",
             static_cast<unsigned long>(GetCurrentProcessId()));
    path_ = name;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, path_.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_ALL_ACCESS, nullptr, &key_, nullptr) != ERROR_SUCCESS) {
      key_ = nullptr;
      return;
    }
    ok_ = RegOverridePredefKey(HKEY_CURRENT_USER, key_) == ERROR_SUCCESS;
  }
  ~RegistryOverride() {
    if (ok_) RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
    if (key_ != nullptr) {
      RegCloseKey(key_);
      RegDeleteTreeA(HKEY_CURRENT_USER, path_.c_str());
      RegDeleteKeyA(HKEY_CURRENT_USER, path_.c_str());
    }
  }
  RegistryOverride(const RegistryOverride&) = delete;
  RegistryOverride& operator=(const RegistryOverride&) = delete;
  bool ok() const { return ok_; }

 private:
  std::string path_;
  HKEY key_ = nullptr;
  bool ok_ = false;
};

bool IsDecorated(const std::string& name) {
  return name.empty() || name[0] == '_' || name[0] == '?' || name.find('@') != std::string::npos;
}

std::string Lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return s;
}

class AbiTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(lib_.module(), nullptr)
        << "LoadLibraryA(\"" << TELBOOK_DLL_PATH << "\") failed with error " << lib_.load_error()
        << " (126: a DLL it imports is missing; link it -static)";
  }
  Library lib_;
};

TEST(AbiTableTest, TableIsWellFormed) {
  std::set<std::string> seen;
  for (const Export& e : kExports) {
    SCOPED_TRACE(e.name);
    EXPECT_TRUE(seen.insert(e.name).second) << "listed twice";
    EXPECT_LE(strlen(e.slots), kMaxSlots);
    EXPECT_EQ(strspn(e.slots, "SDP0"), strlen(e.slots)) << "unknown slot letter";
  }
  // The interface's 46 functions, the two deletes, the error pair reader and the entry point.
  EXPECT_EQ(seen.size(), 50u);
}

TEST_F(AbiTest, ExportsOnlyUndecoratedNamesOfTheTable) {
  std::vector<std::string> names = lib_.ExportNames();
  ASSERT_FALSE(names.empty()) << "telbook.dll exports nothing";
  for (const std::string& name : names) {
    EXPECT_FALSE(IsDecorated(name)) << "telbook.dll exports the decorated name " << name;
    EXPECT_NE(FindExport(name), nullptr)
        << "telbook.dll exports " << name << ", which is not in kExports of " << __FILE__
        << ": add it there with its convention and argument slots";
  }
  std::vector<std::string> missing;
  for (const Export& e : kExports) {
    if (std::find(names.begin(), names.end(), e.name) == names.end()) missing.push_back(e.name);
  }
  std::string list;
  for (const std::string& m : missing) list += " " + m;
  EXPECT_TRUE(missing.empty()) << "telbook.dll does not export:" << list;
}

TEST_F(AbiTest, ExportsTheSessionAndPhoneBookFunctions) {
  for (const char* name : {"DllEntryPoint", "TL_CreateFaxUtl", "TL_DestroyFaxUtl",
                           "TL_getErrorInfo", "TL_createDataBase", "TL_openDataBase",
                           "TL_closeDataBase", "TL_getFileVersion", "TL_readDataCount"}) {
    EXPECT_NE(lib_.Find(name), nullptr) << name << " is not exported";
  }
}

TEST_F(AbiTest, ImportsOnlySystemLibraries) {
  const std::set<std::string> system = {"kernel32.dll", "advapi32.dll", "msvcrt.dll", "user32.dll"};
  std::vector<std::string> imports = lib_.ImportNames();
  EXPECT_FALSE(imports.empty());
  for (const std::string& dll : imports) {
    EXPECT_EQ(system.count(Lower(dll)), 1u) << "telbook.dll imports " << dll;
  }
}

TEST_F(AbiTest, EntryPointReportsSuccessForEveryReason) {
  const void* entry = lib_.Find("DllEntryPoint");
  ASSERT_NE(entry, nullptr);
  for (uint32_t reason : {0u, 1u, 2u, 3u}) {  // process detach, attach; thread attach, detach
    const uint32_t args[3] = {0, reason, 0};
    uint32_t result = 0;
    EXPECT_EQ(telbook_measure_call(entry, args, 3, &result), 12);
    EXPECT_EQ(result, 1u) << "reason " << reason;
  }
}

// Callee-pops functions remove four bytes per argument, caller-pops ones remove nothing.
TEST_F(AbiTest, EveryExportRemovesExactlyItsArguments) {
  RegistryOverride registry;
  ASSERT_TRUE(registry.ok()) << "cannot point HKEY_CURRENT_USER at a test key";

  using Create = void*(__cdecl*)();
  using Destroy = void(__cdecl*)(void*);
  auto create = reinterpret_cast<Create>(lib_.Find("TL_CreateFaxUtl"));
  auto destroy = reinterpret_cast<Destroy>(lib_.Find("TL_DestroyFaxUtl"));
  ASSERT_NE(create, nullptr);
  ASSERT_NE(destroy, nullptr);

  int called = 0;
  for (const Export& e : kExports) {
    const void* fn = lib_.Find(e.name);
    if (fn == nullptr) continue;
    SCOPED_TRACE(e.name);
    void* session = create();
    ASSERT_NE(session, nullptr);
    std::vector<std::vector<uint8_t>> buffers;
    uint32_t args[kMaxSlots] = {};
    const uint32_t n = static_cast<uint32_t>(strlen(e.slots));
    void* destroyed_by_call = nullptr;
    for (uint32_t i = 0; i < n; ++i) {
      switch (e.slots[i]) {
        case 'S':
          args[i] = reinterpret_cast<uintptr_t>(session);
          break;
        case 'D':
          destroyed_by_call = create();
          ASSERT_NE(destroyed_by_call, nullptr);
          args[i] = reinterpret_cast<uintptr_t>(destroyed_by_call);
          break;
        case 'P':
          buffers.emplace_back(4096, 0);
          args[i] = reinterpret_cast<uintptr_t>(buffers.back().data());
          break;
        default:
          args[i] = 0;
          break;
      }
    }
    uint32_t result = 0;
    const int32_t removed = telbook_measure_call(fn, args, n, &result);
    const int32_t expected = e.pops == Pops::kCallee ? static_cast<int32_t>(4 * n) : 0;
    EXPECT_EQ(removed, expected) << e.name << " (" << n << " argument slots, "
                                 << (e.pops == Pops::kCallee ? "callee" : "caller")
                                 << " pops) removed " << removed << " bytes";
    if (std::string(e.name) == "TL_CreateFaxUtl" && result != 0) {
      destroy(reinterpret_cast<void*>(static_cast<uintptr_t>(result)));
    }
    destroy(session);
    ++called;
  }
  EXPECT_GE(called, 9);
}

}  // namespace
