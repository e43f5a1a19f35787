// Terminal layout of records: columns measured in display width, so that names in kanji and
// half-width katakana line up alike.
#include "tools/display.h"

#include <cstdio>

#include "tools/text.h"

namespace telbook {
namespace tool {
namespace {

std::string FavouriteLabel(int k, const std::vector<std::string>& names) {
  if (k == 0) return "-";
  std::string label = std::to_string(k);
  if (k >= 1 && static_cast<size_t>(k) <= names.size() && !names[k - 1].empty()) {
    label += " (" + names[k - 1] + ")";
  }
  return label;
}

void Row(const std::string& label, const std::string& value) {
  std::printf("  %s %s\n", Fit(label, 15).c_str(), value.c_str());
}

}  // namespace

void PrintHeading(const std::string& title) {
  std::printf("\n%s\n", title.c_str());
  std::printf("%s\n", std::string(DisplayWidth(title), '-').c_str());
}

void PrintListTable(const std::vector<TL_ListItem>& items) {
  std::printf("  %s %s %s %s %s\n", Fit("No.", 6).c_str(), Fit("Name", 22).c_str(),
              Fit("Reading", 24).c_str(), Fit("Fax", 16).c_str(), "Affiliation");
  for (const TL_ListItem& item : items) {
    bool group = item.Kind == 2;
    std::string fax = group ? "(group)" : FromField(item.FaxNumber);
    std::string affiliation = group ? "" : FromField(item.Affiliation);
    std::string line = "  " + Fit(std::to_string(item.RecordNumber), 6) + " " +
                       Fit(FromField(item.Name), 22) + " " + Fit(FromField(item.Furigana), 24) +
                       " " + Fit(fax, 16) + " " + affiliation;
    while (!line.empty() && line.back() == ' ') line.pop_back();
    std::printf("%s\n", line.c_str());
  }
  if (items.empty()) std::printf("  (none)\n");
}

void PrintEntry(int number, const TL_Kojin& entry, const std::vector<std::string>& favourites) {
  Row("Number", std::to_string(number));
  for (const TextField& f : EntryTextFields()) {
    std::string value = GetText(entry, f);
    if (!value.empty()) Row(f.label, value);
  }
  Row("Line", LineTypeWord(entry.LineType));
  Row("Favourite", FavouriteLabel(entry.Favourite, favourites));
  if (entry.CommMode != 0) Row("Comm. mode", std::to_string(entry.CommMode));
  if (entry.RelayOutput != 0) Row("Relay output", std::to_string(entry.RelayOutput));
  if (entry.AltDestFlag == 1) Row("Alt. dest.", "in force (shown as Fax)");
}

void PrintGroup(const GroupRecord& g, const std::vector<std::string>& favourites) {
  Row("Number", std::to_string(g.number));
  Row("Name", FromField(g.group.Name));
  Row("Reading", FromField(g.group.Furigana));
  Row("Favourite", FavouriteLabel(g.group.Favourite, favourites));
  Row("Members", std::to_string(g.group.MemberCount));
  if (g.unreadable > 0) {
    Row("Unreadable", std::to_string(g.unreadable) + " member(s) name no entry");
  }
  PrintListTable(g.members);
}

}  // namespace tool
}  // namespace telbook
