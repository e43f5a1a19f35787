// The web editor's picture of one version of the phone book, read through the library's tab
// walks, ordered with the reading order and searched with the tool's folding.
#include "tools/web/book_view.h"

#include <algorithm>
#include <numeric>
#include <stdexcept>

#include "tools/book.h"
#include "tools/favourites.h"
#include "tools/fold.h"
#include "tools/reading_order.h"
#include "tools/records.h"
#include "tools/text.h"

namespace telbook {
namespace web {
namespace {

constexpr int kReadingTabs = 11;
constexpr char kFieldBreak = '\x1F';  // between the folded fields of a row; never searched for

Row RowOf(const TL_ListItem& item) {
  Row row;
  row.number = item.RecordNumber;
  row.kind = item.Kind;
  row.texts[kName] = tool::FromField(item.Name);
  row.texts[kReading] = tool::FromField(item.Furigana);
  if (item.Kind != 2) {
    row.texts[kAffiliation] = tool::FromField(item.Affiliation);
    row.texts[kFax] = tool::FromField(item.FaxNumber);
    row.texts[kPhone] = tool::FromField(item.Phone);
    row.email = tool::FromField(item.EMail);
    row.memo = tool::FromField(item.Memo);
  }
  return row;
}

}  // namespace

BookView::BookView(const tool::Book& book, const std::string& version,
                   const tool::ReadingOrder& order)
    : version_(version), favourites_(tool::ReadFavouriteNames(book)) {
  for (int code = 1; code <= kReadingTabs; ++code) {
    TabView tab;
    tab.code = code;
    for (const TL_ListItem& item : tool::TabRecords(book, code)) {
      if (by_number_.count(item.RecordNumber) != 0) continue;
      by_number_[item.RecordNumber] = rows_.size();
      tab.rows.push_back(rows_.size());
      rows_.push_back(RowOf(item));
    }
    tabs_.push_back(std::move(tab));
  }
  for (int k = 1; k <= tool::kFavouriteCount; ++k) {
    TabView tab;
    tab.code = k << 4;
    for (const TL_ListItem& item : tool::TabRecords(book, tab.code)) {
      auto found = by_number_.find(item.RecordNumber);
      if (found == by_number_.end()) continue;
      rows_[found->second].favourite = k;
      tab.rows.push_back(found->second);
    }
    tabs_.push_back(std::move(tab));
  }
  // Each column's order: reading order for the texts of people, byte order for the numbers.
  for (int c = 0; c < kColumnCount; ++c) {
    bool collate = c == kName || c == kReading || c == kAffiliation;
    std::vector<std::string> keys;
    keys.reserve(rows_.size());
    for (const Row& row : rows_) keys.push_back(collate ? order.Key(row.texts[c]) : row.texts[c]);
    std::vector<size_t> sorted(rows_.size());
    std::iota(sorted.begin(), sorted.end(), 0);
    std::stable_sort(sorted.begin(), sorted.end(), [&](size_t a, size_t b) {
      if (keys[a] != keys[b]) return keys[a] < keys[b];
      return rows_[a].number < rows_[b].number;
    });
    for (size_t place = 0; place < sorted.size(); ++place) {
      rows_[sorted[place]].rank[c] = static_cast<int>(place);
    }
  }
}

const Row* BookView::Find(int number) const {
  auto found = by_number_.find(number);
  return found == by_number_.end() ? nullptr : &rows_[found->second];
}

nlohmann::json BookView::Summary() const {
  nlohmann::json tabs = nlohmann::json::array();
  std::vector<tool::Tab> labels = tool::Tabs(favourites_);
  for (size_t i = 0; i < tabs_.size() && i < labels.size(); ++i) {
    tabs.push_back(
        {{"code", tabs_[i].code}, {"label", labels[i].label}, {"count", tabs_[i].rows.size()}});
  }
  size_t groups = static_cast<size_t>(
      std::count_if(rows_.begin(), rows_.end(), [](const Row& r) { return r.kind == 2; }));
  return {{"version", version_},
          {"favourites", favourites_},
          {"tabs", tabs},
          {"entries", rows_.size() - groups},
          {"groups", groups}};
}

nlohmann::json BookView::RowJson(const Row& row) {
  nlohmann::json j = nlohmann::json::array({row.number, row.kind, row.favourite});
  for (const std::string& text : row.texts) j.push_back(text);
  for (int rank : row.rank) j.push_back(rank);
  return j;
}

nlohmann::json BookView::TabJson(int code) const {
  for (const TabView& tab : tabs_) {
    if (tab.code != code) continue;
    nlohmann::json rows = nlohmann::json::array();
    for (size_t index : tab.rows) rows.push_back(RowJson(rows_[index]));
    return {{"code", code}, {"rows", rows}};
  }
  throw std::out_of_range("no tab of code " + std::to_string(code));
}

nlohmann::json BookView::Search(const std::string& text, const tool::Folder& folder,
                                size_t limit) const {
  if (folded_.size() != rows_.size()) {
    folded_.clear();
    for (const Row& row : rows_) {
      std::string all;
      for (const std::string& t : row.texts) all += folder.Fold(t) + kFieldBreak;
      all += folder.Fold(row.email) + kFieldBreak + folder.Fold(row.memo);
      folded_.push_back(std::move(all));
    }
  }
  std::string needle = folder.Fold(text);
  needle.erase(std::remove(needle.begin(), needle.end(), kFieldBreak), needle.end());
  nlohmann::json rows = nlohmann::json::array();
  size_t found = 0;
  if (!needle.empty()) {
    for (size_t i = 0; i < rows_.size(); ++i) {
      if (folded_[i].find(needle) == std::string::npos) continue;
      if (++found <= limit) rows.push_back(RowJson(rows_[i]));
    }
  }
  return {{"rows", rows}, {"more", found > limit}, {"found", found}};
}

}  // namespace web
}  // namespace telbook
