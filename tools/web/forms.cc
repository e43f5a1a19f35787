// Checking and applying the web editor's forms, with the tool's own fields and conversions.
#include "tools/web/forms.h"

#include <cstring>
#include <set>
#include <sstream>

#include "tools/cp932.h"
#include "tools/favourites.h"
#include "tools/records.h"
#include "tools/text.h"
#include "tools/tool_error.h"

namespace telbook {
namespace web {
namespace {

using nlohmann::json;

std::string TextOf(const json& j, const std::string& key) {
  if (!j.is_string()) throw FormError(key, key + ": must be text");
  return j.get<std::string>();
}

int NumberOf(const json& j, const std::string& key, int low, int high) {
  if (!j.is_number_integer() || j.get<long long>() < low || j.get<long long>() > high) {
    throw FormError(key, key + ": must be a whole number from " + std::to_string(low) + " to " +
                             std::to_string(high));
  }
  return j.get<int>();
}

// Converts for a place of `capacity` bytes with its terminator; the tool's message on failure.
std::string ToPlace(const std::string& text, const std::string& key, const std::string& label,
                    size_t capacity) {
  try {
    return tool::ToBook(text, label, capacity);
  } catch (const tool::ToolError& e) {
    throw FormError(key, e.what());
  }
}

struct Room {
  std::string key;
  size_t room;  // bytes of text, without the terminator
};

std::vector<Room> AllRooms() {
  std::vector<Room> rooms;
  for (const tool::TextField& f : tool::EntryTextFields()) rooms.push_back({f.key, f.capacity - 1});
  rooms.push_back({"group-name", sizeof(TL_Group::Name) - 1});
  rooms.push_back({"group-furigana", sizeof(TL_Group::Furigana) - 1});
  rooms.push_back({"favourite-name", tool::kFavouriteNameSize});
  return rooms;
}

}  // namespace

json FieldRooms() {
  json entry = json::array();
  for (const tool::TextField& f : tool::EntryTextFields()) {
    entry.push_back({{"key", f.key}, {"label", f.label}, {"room", f.capacity - 1}});
  }
  return {{"entry", entry},
          {"group",
           {{"name", sizeof(TL_Group::Name) - 1}, {"furigana", sizeof(TL_Group::Furigana) - 1}}},
          {"favourite", tool::kFavouriteNameSize}};
}

void ApplyEntryForm(const json& j, TL_Kojin* entry) {
  if (!j.is_object()) throw FormError("", "the entry must be a JSON object");
  for (const auto& [key, value] : j.items()) {
    if (const tool::TextField* f = tool::FindTextField(key)) {
      std::string text = ToPlace(TextOf(value, key), key, f->label, f->capacity);
      char* place = reinterpret_cast<char*>(entry) + f->offset;
      memset(place, 0, f->capacity);
      memcpy(place, text.data(), text.size());
    } else if (key == "line-type") {
      try {
        entry->LineType = tool::ParseLineType(TextOf(value, key));
      } catch (const tool::ToolError&) {
        throw FormError(key, "line-type: must be outside, internal or none");
      }
    } else if (key == "favourite") {
      entry->Favourite = static_cast<uint8_t>(NumberOf(value, key, 0, tool::kFavouriteCount));
    } else if (key == "comm-mode") {
      entry->CommMode = static_cast<uint8_t>(NumberOf(value, key, 0, 255));
    } else if (key == "relay-output") {
      entry->RelayOutput = static_cast<uint8_t>(NumberOf(value, key, 0, 255));
    } else if (key != "number" && key != "kind" && key != "alternate-destination") {
      throw FormError(key, "no entry field is called \"" + key + "\"");
    }
  }
}

GroupForm ParseGroupForm(const json& j, const TL_Group& base) {
  if (!j.is_object()) throw FormError("", "the group must be a JSON object");
  GroupForm form;
  form.group = base;
  if (j.contains("name")) {
    tool::SetField(form.group.Name,
                   ToPlace(TextOf(j["name"], "name"), "name", "Name", sizeof(form.group.Name)));
  }
  if (form.group.Name[0] == '\0') throw FormError("name", "a group needs a name");
  if (j.contains("furigana")) {
    tool::SetField(form.group.Furigana, ToPlace(TextOf(j["furigana"], "furigana"), "furigana",
                                                "Reading", sizeof(form.group.Furigana)));
  }
  if (j.contains("favourite")) {
    form.group.Favourite =
        static_cast<uint8_t>(NumberOf(j["favourite"], "favourite", 0, tool::kFavouriteCount));
  }
  if (j.contains("members")) {
    const json& members = j["members"];
    if (!members.is_array()) throw FormError("members", "members: must be a list of numbers");
    std::set<int> seen;
    for (const json& m : members) {
      int n = NumberOf(m, "members", tool::kFirstPersonal, tool::kLastPersonal);
      if (!seen.insert(n).second) {
        throw FormError("members", "members: entry " + std::to_string(n) + " is given twice");
      }
      form.members.push_back(static_cast<unsigned short>(n));
    }
    if (form.members.size() > static_cast<size_t>(tool::kMaxMembers)) {
      throw FormError("members", "a group holds at most 9999 members");
    }
  }
  return form;
}

json Measure(const json& j) {
  if (!j.is_object() || !j.contains("texts") || !j["texts"].is_array()) {
    throw FormError("texts", "texts: must be a list of [key, text] pairs");
  }
  std::vector<Room> rooms = AllRooms();
  json out = json::array();
  for (const json& pair : j["texts"]) {
    if (!pair.is_array() || pair.size() != 2 || !pair[0].is_string() || !pair[1].is_string()) {
      throw FormError("texts", "texts: must be a list of [key, text] pairs");
    }
    std::string key = pair[0].get<std::string>();
    const Room* room = nullptr;
    for (const Room& r : rooms) {
      if (r.key == key) room = &r;
    }
    if (room == nullptr) throw FormError(key, "no field is called \"" + key + "\"");
    std::string bytes;
    std::string bad;
    bool held = cp932::FromUtf8(pair[1].get<std::string>(), &bytes, &bad);
    out.push_back({{"key", key},
                   {"bytes", held ? bytes.size() : 0},
                   {"room", room->room},
                   {"bad", held ? "" : bad}});
  }
  return {{"fields", out}};
}

std::vector<unsigned short> ParseNumberList(const std::string& text, const std::string& what) {
  std::vector<unsigned short> numbers;
  std::stringstream in(text);
  std::string item;
  while (std::getline(in, item, ',')) {
    if (item.empty()) continue;
    size_t dash = item.find('-', 1);
    std::string first = item.substr(0, dash);
    std::string last = dash == std::string::npos ? first : item.substr(dash + 1);
    char* end1 = nullptr;
    char* end2 = nullptr;
    long a = strtol(first.c_str(), &end1, 10);
    long b = strtol(last.c_str(), &end2, 10);
    bool ok = !first.empty() && !last.empty() && *end1 == '\0' && *end2 == '\0' && a >= 1 &&
              b >= a && b <= tool::kLastGroup && b - a < 10000;
    if (!ok) throw FormError(what, what + ": \"" + item + "\" is no number or range of numbers");
    for (long n = a; n <= b; ++n) numbers.push_back(static_cast<unsigned short>(n));
    if (numbers.size() > 15000) throw FormError(what, what + ": too many numbers");
  }
  return numbers;
}

}  // namespace web
}  // namespace telbook
