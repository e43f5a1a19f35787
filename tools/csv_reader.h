// Reader of address-book CSV files with a header row (RFC 4180 quoting): the columns of common
// webmail and desktop contacts exports, named in English or Japanese, matched to the parts of a
// card; other columns can be named with a map.
#ifndef TELBOOK_TOOLS_CSV_READER_H_
#define TELBOOK_TOOLS_CSV_READER_H_

#include <string>
#include <vector>

#include "tools/contact.h"

namespace telbook {
namespace tool {

// One "Header=field" of --map.
struct ColumnMapping {
  std::string header;
  std::string field;
};

// The field names a map may use, for the help and the messages.
const char* ColumnFieldNames();

// Parses "Fax=fax,Company=affiliation". False with the reason for an item without "=" or a
// field name that is not one of ColumnFieldNames().
bool ParseColumnMap(const std::string& text, std::vector<ColumnMapping>* out, std::string* why);

// Splits RFC 4180 records (quoted fields with commas, doubled quotes and line breaks; CR LF, LF
// or CR between records; tab-separated when the header row has tabs and no comma). Each record
// comes with the line it begins on. False with *problem for a quote that never closes or text
// after a closing quote.
bool SplitCsv(const std::string& utf8, std::vector<std::vector<std::string>>* records,
              std::vector<int>* lines, FileProblem* problem);

// Reads the contacts of a CSV file decoded to UTF-8. *unused gets the headers of columns that
// were not taken. False with *problem when no column holds a name, a row has more non-empty
// fields than the header, the quoting is broken, or the map names a column the header lacks
// (problem->usage set).
bool ReadCsvContacts(const std::string& utf8, const std::vector<ColumnMapping>& map,
                     std::vector<Contact>* out, std::vector<std::string>* unused,
                     FileProblem* problem);

}  // namespace tool
}  // namespace telbook

#endif  // TELBOOK_TOOLS_CSV_READER_H_
