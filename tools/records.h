// Personal entries, groups, tabs and the enumeration as the tool uses them through the library:
// the text fields of the host structures by name, their conversion to UTF-8 and JSON, and reads
// and writes that throw ToolError with the reason instead of returning a status.
#ifndef TELBOOK_TOOLS_RECORDS_H_
#define TELBOOK_TOOLS_RECORDS_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "store/format.h"
#include "telbook.h"

namespace telbook {
namespace tool {

class Book;

constexpr int kFirstPersonal = format::kFirstPersonal;
constexpr int kLastPersonal = format::kLastPersonal;
constexpr int kFirstGroup = format::kFirstGroup;
constexpr int kLastGroup = format::kLastGroup;
constexpr int kLastNewGroup = format::kLastNewGroup;
constexpr int kMaxMembers = format::kMaxGroupMembers;
constexpr unsigned short kNoHostValue = 0xFFFF;

// A text field of the personal entry structure: its key (JSON key and command-line option
// without "--"), its label, and where it lies.
struct TextField {
  const char* key;
  const char* label;
  size_t offset;
  size_t capacity;
};
// Every text the user keeps, in display order (the host's own texts are left out).
const std::vector<TextField>& EntryTextFields();
const TextField* FindTextField(const std::string& key);

std::string GetText(const TL_Kojin& entry, const TextField& field);
// Converts and stores; throws ToolError(kExitText) when the text cannot be held.
void SetText(TL_Kojin* entry, const TextField& field, const std::string& utf8);

// "outside", "internal" or "none" for a line type byte.
const char* LineTypeWord(uint8_t line_type);
// Accepts those words or 0, 1, 2; throws ToolError(kExitUsage) for anything else.
uint8_t ParseLineType(const std::string& text);

nlohmann::json EntryJson(int number, const TL_Kojin& entry);
nlohmann::json ListItemJson(const TL_ListItem& item);

// Record numbers: 1 to 9999 personal entries, 16385 to 26383 groups.
bool IsPersonalNumber(long number);
bool IsGroupNumber(long number);

// Throws ToolError(kExitUsage) for a number outside 1 to 9999 or one that no entry has,
// kExitBook when the entry cannot be read.
TL_Kojin ReadEntry(const Book& book, long number);
// Stores under number (0 adds one); returns the number used. Throws when the book is full
// or the library refuses.
int WriteEntry(const Book& book, const TL_Kojin& entry, int number);

struct GroupRecord {
  int number = 0;
  TL_Group group{};
  std::vector<TL_ListItem> members;  // members that could be read, in member order
  int unreadable = 0;                // members naming no readable entry
};
// Throws ToolError(kExitUsage) for a number that is no group's or one that no group has,
// kExitBook when the group cannot be read.
GroupRecord ReadGroup(const Book& book, long number);
int WriteGroup(const Book& book, const TL_Group& group, const std::vector<unsigned short>& members,
               int number);
// A group read to be written again must hold every member it lists: one that names no readable
// entry would be lost. Throws ToolError(kExitBook) naming the group, what `change` would do, and
// `advice`, when it does not.
void RequireWholeGroup(const Book& book, const GroupRecord& group, const std::string& change,
                       const std::string& advice = "see `telbook check`");
nlohmann::json GroupJson(const GroupRecord& group);

// Every record through the library's enumeration: personal entries, then groups, slot order.
std::vector<TL_ListItem> AllRecords(const Book& book);
// The records of one tab, and its count alone.
std::vector<TL_ListItem> TabRecords(const Book& book, int tab_code);
int TabCount(const Book& book, int tab_code);

// The tabs the host shows: the eleven reading classes and the five favourite categories.
struct Tab {
  int code;
  std::string label;
};
std::vector<Tab> Tabs(const std::vector<std::string>& favourite_names);
// Parses a tab code given as hex ("0x02", "2"), a row's kana ("か"), or "other"; throws on a
// code the library would refuse.
int ParseTabCode(const std::string& text);

// Length in bytes the library's encoder gives a personal entry and a group of that many members:
// what a save keeps.
size_t EncodedLength(const TL_Kojin& entry);
size_t EncodedLength(const TL_Group& group, size_t members);

}  // namespace tool
}  // namespace telbook

#endif  // TELBOOK_TOOLS_RECORDS_H_
