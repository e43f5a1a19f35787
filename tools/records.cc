// Reads and writes of personal entries and groups, tab walks and the enumeration, through the
// library's interface; every refusal becomes a ToolError with the error pair in words.
#include "tools/records.h"

#include <cstddef>
#include <cstring>

#include "browse/tab_browser.h"
#include "records/group_codec.h"
#include "records/kojin_codec.h"
#include "records/reading_class.h"
#include "store/format.h"
#include "tools/book.h"
#include "tools/text.h"
#include "tools/tool_error.h"

namespace telbook {
namespace tool {
namespace {

#define TELBOOK_FIELD(key, label, member) \
  TextField { key, label, offsetof(TL_Kojin, member), sizeof(TL_Kojin::member) }

const std::vector<TextField> kFields = {
    TELBOOK_FIELD("name", "Name", Name),
    TELBOOK_FIELD("furigana", "Reading", Furigana),
    TELBOOK_FIELD("affiliation", "Affiliation", Affiliation),
    TELBOOK_FIELD("fax", "Fax", FaxNumber),
    TELBOOK_FIELD("speed-dial", "Speed dial", SpeedDial),
    TELBOOK_FIELD("phone", "Phone", Phone),
    TELBOOK_FIELD("email", "E-mail", EMail),
    TELBOOK_FIELD("memo", "Memo", Memo),
    TELBOOK_FIELD("fcode", "F-code", FCode),
    TELBOOK_FIELD("pcode", "P-code", PCode),
    TELBOOK_FIELD("box-number", "Box number", BoxNumber),
    TELBOOK_FIELD("box-password", "Box password", BoxPassword),
    TELBOOK_FIELD("relay-id", "Relay ID", RelayId),
    TELBOOK_FIELD("broadcast-list", "Broadcast list", BroadcastList),
};

#undef TELBOOK_FIELD

const char* const kRows[] = {"あ", "か", "さ", "た", "な", "は", "ま", "や", "ら", "わ"};

}  // namespace

const std::vector<TextField>& EntryTextFields() { return kFields; }

const TextField* FindTextField(const std::string& key) {
  for (const TextField& f : kFields) {
    if (key == f.key) return &f;
  }
  return nullptr;
}

std::string GetText(const TL_Kojin& entry, const TextField& field) {
  return FromField(reinterpret_cast<const char*>(&entry) + field.offset, field.capacity);
}

void SetText(TL_Kojin* entry, const TextField& field, const std::string& utf8) {
  std::string text = ToBook(utf8, std::string("--") + field.key, field.capacity);
  char* place = reinterpret_cast<char*>(entry) + field.offset;
  memset(place, 0, field.capacity);
  memcpy(place, text.data(), text.size());
}

const char* LineTypeWord(uint8_t line_type) {
  return line_type == 0 ? "outside" : line_type == 1 ? "internal" : "none";
}

uint8_t ParseLineType(const std::string& text) {
  if (text == "outside" || text == "0") return 0;
  if (text == "internal" || text == "1") return 1;
  if (text == "none" || text == "2") return 2;
  throw ToolError(kExitUsage, "",
                  "--line-type must be outside, internal or none, not \"" + text + "\"");
}

nlohmann::json EntryJson(int number, const TL_Kojin& entry) {
  nlohmann::json j;
  j["number"] = number;
  j["kind"] = "entry";
  for (const TextField& f : kFields) j[f.key] = GetText(entry, f);
  j["line-type"] = LineTypeWord(entry.LineType);
  j["favourite"] = entry.Favourite;
  j["comm-mode"] = entry.CommMode;
  j["relay-output"] = entry.RelayOutput;
  j["alternate-destination"] = entry.AltDestFlag == 1;
  return j;
}

nlohmann::json ListItemJson(const TL_ListItem& item) {
  nlohmann::json j;
  j["number"] = item.RecordNumber;
  bool group = item.Kind == 2;
  j["kind"] = group ? "group" : "entry";
  j["name"] = FromField(item.Name);
  j["furigana"] = FromField(item.Furigana);
  if (!group) {
    j["affiliation"] = FromField(item.Affiliation);
    j["fax"] = FromField(item.FaxNumber);
    j["speed-dial"] = FromField(item.SpeedDial);
    j["phone"] = FromField(item.Phone);
    j["email"] = FromField(item.EMail);
    j["memo"] = FromField(item.Memo);
  }
  return j;
}

bool IsPersonalNumber(long number) { return number >= kFirstPersonal && number <= kLastPersonal; }
bool IsGroupNumber(long number) { return number >= kFirstGroup && number <= kLastGroup; }

TL_Kojin ReadEntry(const Book& book, long number) {
  if (!IsPersonalNumber(number)) {
    throw ToolError(kExitUsage, book.path(),
                    "record number " + std::to_string(number) +
                        " is out of range: entries are 1 to 9999, groups 16385 to 26383");
  }
  if (!book.Exists(number)) {
    throw ToolError(kExitUsage, book.path(), "no entry " + std::to_string(number));
  }
  TL_Kojin entry{};
  if (TL_readKojin(book.session(), &entry, static_cast<unsigned short>(number)) != 0) {
    book.Fail("cannot read entry " + std::to_string(number));
  }
  return entry;
}

int WriteEntry(const Book& book, const TL_Kojin& entry, int number) {
  unsigned short used = static_cast<unsigned short>(number);
  short status = TL_writeKojin(book.session(), &entry, &used, kNoHostValue);
  if (status == 5) {
    throw ToolError(kExitBook, book.path(), "the phone book is full: it holds 9999 entries");
  }
  if (status != 0) book.Fail("cannot write the entry");
  return used;
}

GroupRecord ReadGroup(const Book& book, long number) {
  if (!IsGroupNumber(number)) {
    throw ToolError(
        kExitUsage, book.path(),
        "record number " + std::to_string(number) + " is no group's: groups are 16385 to 26383");
  }
  if (!book.Exists(number)) {
    throw ToolError(kExitUsage, book.path(), "no group " + std::to_string(number));
  }
  GroupRecord g;
  g.number = static_cast<int>(number);
  TL_FaxUtl* s = book.session();
  if (TL_openGroup(s, static_cast<unsigned short>(number)) != 0) {
    book.Fail("cannot open group " + std::to_string(number));
  }
  if (TL_readGroupData(s, &g.group) != 0) {
    TL_closeGroup(s);
    book.Fail("cannot read group " + std::to_string(number));
  }
  // Each member read moves on, failed or not; the walk ends when none is left.
  for (int i = 0; i <= kMaxMembers * 2; ++i) {
    TL_ListItem item{};
    if (TL_readGroupMember(s, &item) == 0) {
      g.members.push_back(item);
      continue;
    }
    unsigned short category = 0;
    unsigned short detail = 0;
    TL_getErrorInfo(s, &category, &detail);
    if (category == 9 && detail == 10) break;  // no member left
    if (category == 9) break;                  // the group is gone
    ++g.unreadable;
  }
  TL_closeGroup(s);
  return g;
}

int WriteGroup(const Book& book, const TL_Group& group, const std::vector<unsigned short>& members,
               int number) {
  if (members.size() > static_cast<size_t>(kMaxMembers)) {
    throw ToolError(kExitUsage, book.path(), "a group holds at most 9999 members");
  }
  unsigned short used = static_cast<unsigned short>(number);
  short status = TL_writeGroup(book.session(), &group, &used,
                               static_cast<unsigned short>(members.size()), members.data());
  if (status == 5) {
    throw ToolError(kExitBook, book.path(), "the phone book is full: it holds 5000 groups");
  }
  if (status != 0) book.Fail("cannot write the group");
  return used;
}

void RequireWholeGroup(const Book& book, const GroupRecord& group, const std::string& change,
                       const std::string& advice) {
  if (group.unreadable == 0) return;
  throw ToolError(kExitBook, book.path(),
                  "group " + std::to_string(group.number) + " lists " +
                      std::to_string(group.unreadable) +
                      (group.unreadable == 1 ? " member that names" : " members that name") +
                      " no readable entry; " + change + " would drop " +
                      (group.unreadable == 1 ? "it" : "them") + " (" + advice + ")");
}

nlohmann::json GroupJson(const GroupRecord& g) {
  nlohmann::json j;
  j["number"] = g.number;
  j["kind"] = "group";
  j["name"] = FromField(g.group.Name);
  j["furigana"] = FromField(g.group.Furigana);
  j["favourite"] = g.group.Favourite;
  j["member-count"] = g.group.MemberCount;
  nlohmann::json members = nlohmann::json::array();
  for (const TL_ListItem& m : g.members) members.push_back(ListItemJson(m));
  j["members"] = members;
  if (g.unreadable > 0) j["unreadable-members"] = g.unreadable;
  return j;
}

std::vector<TL_ListItem> AllRecords(const Book& book) {
  TL_FaxUtl* s = book.session();
  unsigned short count = 0;
  TL_endSRCH(s);
  if (TL_beginSRCH(s, &count) != 0) book.Fail("cannot walk the records");
  std::vector<TL_ListItem> items;
  for (unsigned i = 0; i < count; ++i) {
    TL_ListItem item{};
    if (TL_readSrchData(s, &item) != 0) {
      TL_endSRCH(s);
      book.Fail("cannot read record " + std::to_string(i + 1) + " of " + std::to_string(count));
    }
    // The walk ran out before the count the header announced: nothing was delivered.
    if (item.RecordNumber == 0) break;
    items.push_back(item);
  }
  TL_endSRCH(s);
  return items;
}

std::vector<TL_ListItem> TabRecords(const Book& book, int tab_code) {
  TL_FaxUtl* s = book.session();
  TL_closeTag(s);
  if (TL_openTag(s, tab_code) != 0) book.Fail("cannot open the tab");
  unsigned short count = 0;
  if (TL_readTagWeightCount(s, tab_code, &count) != 0) {
    TL_closeTag(s);
    book.Fail("cannot count the tab's records");
  }
  std::vector<TL_ListItem> items;
  for (unsigned i = 0; i < count; ++i) {
    TL_ListItem item{};
    if (TL_readTagData(s, tab_code, &item) != 0) {
      TL_closeTag(s);
      book.Fail("cannot read the tab's records");
    }
    if (item.RecordNumber == 0) break;  // records left the tab since it was opened
    items.push_back(item);
  }
  TL_closeTag(s);
  return items;
}

int TabCount(const Book& book, int tab_code) {
  TL_FaxUtl* s = book.session();
  TL_closeTag(s);
  unsigned short count = 0;
  if (TL_openTag(s, tab_code) != 0 || TL_readTagWeightCount(s, tab_code, &count) != 0) {
    TL_closeTag(s);
    book.Fail("cannot count the tab's records");
  }
  TL_closeTag(s);
  return count;
}

std::vector<Tab> Tabs(const std::vector<std::string>& favourite_names) {
  std::vector<Tab> tabs;
  for (int row = 0; row < 10; ++row) tabs.push_back({row + 1, kRows[row]});
  tabs.push_back({reading_class::kOther, "other"});
  for (int k = 1; k <= 5; ++k) {
    std::string name =
        static_cast<size_t>(k) <= favourite_names.size() ? favourite_names[k - 1] : "";
    tabs.push_back({format::TabCode(0, static_cast<uint8_t>(k)),
                    name.empty() ? "fav. " + std::to_string(k) : name});
  }
  return tabs;
}

int ParseTabCode(const std::string& text) {
  for (int row = 0; row < 10; ++row) {
    if (text == kRows[row]) return row + 1;
  }
  if (text == "other") return reading_class::kOther;
  size_t used = 0;
  long code = -1;
  try {
    code = std::stol(text, &used, 0);
  } catch (const std::exception&) {
    used = 0;
  }
  uint8_t mask = 0;
  uint8_t value = 0;
  bool valid = used == text.size() && code >= 0 && code <= 0xFF &&
               DecodeTabCode(static_cast<uint8_t>(code), &mask, &value);
  if (!valid) {
    throw ToolError(kExitUsage, "",
                    "--tab must be a row (あ か さ た な は ま や ら わ), \"other\", or a tab "
                    "code 0x01 to 0x0B or 0x10 to 0x50, not \"" +
                        text + "\"");
  }
  return static_cast<int>(code);
}

size_t EncodedLength(const TL_Kojin& entry) {
  uint8_t buffer[kojin::kEncodeCapacity];
  return EncodeKojin(entry, buffer, sizeof(buffer));
}

size_t EncodedLength(const TL_Group& group, size_t members) {
  std::vector<uint16_t> places(members, 0);
  std::vector<uint8_t> buffer(group::EncodeCapacity(static_cast<uint32_t>(members)));
  return EncodeGroup(group, places.data(), static_cast<uint16_t>(members), buffer.data(),
                     buffer.size());
}

}  // namespace tool
}  // namespace telbook
