// What the web editor shows of the phone book: every record as a row, the index tabs with their
// records, the favourite names, the reading order of each column and the folded texts of the
// search, read through the library in one open and kept while the file stays the same.
#ifndef TELBOOK_TOOLS_WEB_BOOK_VIEW_H_
#define TELBOOK_TOOLS_WEB_BOOK_VIEW_H_

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace telbook {
namespace tool {
class Book;
class Folder;
class ReadingOrder;
}  // namespace tool

namespace web {

// The columns of a tab's list, in the order of a row's texts.
enum Column { kName, kReading, kAffiliation, kFax, kPhone, kColumnCount };

struct Row {
  int number = 0;
  int kind = 0;       // the list item's kind: 2 a group, else a personal entry
  int favourite = 0;  // 0, or the favourite category 1 to 5 whose tab holds the record
  std::array<std::string, kColumnCount> texts;  // UTF-8
  std::string email;
  std::string memo;
  std::array<int, kColumnCount> rank{};  // place in the column's order, from 0
};

struct TabView {
  int code = 0;
  std::vector<size_t> rows;  // indexes into BookView::rows, in the library's order
};

class BookView {
 public:
  // Reads the open book whole: the eleven reading tabs (every record is in exactly one) and the
  // five favourite tabs. Throws ToolError as the library's reads fail.
  BookView(const tool::Book& book, const std::string& version, const tool::ReadingOrder& order);

  const std::string& version() const { return version_; }
  const std::vector<std::string>& favourites() const { return favourites_; }
  const std::vector<Row>& rows() const { return rows_; }
  const std::vector<TabView>& tabs() const { return tabs_; }
  // Row of a record number, nullptr when the book has no such record.
  const Row* Find(int number) const;

  // {"version", "favourites", "tabs": [{"code", "label", "count"}], "entries", "groups"}.
  nlohmann::json Summary() const;
  // The rows of a tab as {"rows": [[number, kind, favourite, name, reading, affiliation, fax,
  // phone, rank of each of the five columns]...]}; throws std::out_of_range for a code that
  // selects no tab.
  nlohmann::json TabJson(int code) const;
  // The rows whose name, reading, affiliation, fax, phone, e-mail or memo hold the text, folded
  // as `telbook search` folds it; at most `limit` rows, and "more" set when there were others.
  nlohmann::json Search(const std::string& text, const tool::Folder& folder, size_t limit) const;

  static nlohmann::json RowJson(const Row& row);

 private:
  std::string version_;
  std::vector<std::string> favourites_;
  std::vector<Row> rows_;
  std::map<int, size_t> by_number_;
  std::vector<TabView> tabs_;
  // The folded texts of every row, made at the first search.
  mutable std::vector<std::string> folded_;
};

}  // namespace web
}  // namespace telbook

#endif  // TELBOOK_TOOLS_WEB_BOOK_VIEW_H_
