// How records look on a terminal: a table of list items with aligned columns, an entry in full,
// a group with its members.
#ifndef TELBOOK_TOOLS_DISPLAY_H_
#define TELBOOK_TOOLS_DISPLAY_H_

#include <string>
#include <vector>

#include "telbook.h"
#include "tools/records.h"

namespace telbook {
namespace tool {

void PrintHeading(const std::string& title);
// One line per record: number, name, reading, fax (or member count for groups), affiliation.
void PrintListTable(const std::vector<TL_ListItem>& items);
void PrintEntry(int number, const TL_Kojin& entry, const std::vector<std::string>& favourites);
void PrintGroup(const GroupRecord& group, const std::vector<std::string>& favourites);

}  // namespace tool
}  // namespace telbook

#endif  // TELBOOK_TOOLS_DISPLAY_H_
