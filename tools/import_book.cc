// The import's two meetings with the phone book: what it holds before the plan is made, and the
// writes that carry the plan out, through the library's interface.
#include "tools/book.h"
#include "tools/import_plan.h"
#include "tools/records.h"
#include "tools/text.h"

namespace telbook {
namespace tool {

BookState ReadBookState(const Book& book) {
  BookState state;
  for (const TL_ListItem& item : AllRecords(book)) {
    if (item.Kind == 2) {
      GroupRecord record = ReadGroup(book, item.RecordNumber);
      BookState::Group g;
      g.number = item.RecordNumber;
      g.group = record.group;
      g.name = FromField(record.group.Name);
      for (const TL_ListItem& m : record.members) g.members.push_back(m.RecordNumber);
      g.unreadable = record.unreadable;
      state.groups.push_back(g);
    } else {
      state.entries.push_back({item.RecordNumber, FromField(item.Name), FromField(item.Furigana),
                               FromField(item.FaxNumber)});
    }
  }
  return state;
}

ImportOutcome ApplyImportPlan(const ImportPlan& plan, const Book& book) {
  ImportOutcome outcome;
  outcome.entry_numbers.assign(plan.cards.size(), 0);
  outcome.group_numbers.assign(plan.groups.size(), 0);
  for (size_t i = 0; i < plan.cards.size(); ++i) {
    if (plan.cards[i].fate != CardFate::kAdd) continue;
    outcome.entry_numbers[i] = WriteEntry(book, plan.cards[i].entry, 0);
  }
  for (size_t i = 0; i < plan.groups.size(); ++i) {
    const PlannedGroup& g = plan.groups[i];
    std::vector<unsigned short> members = g.kept_members;
    for (size_t card : g.cards) {
      if (outcome.entry_numbers[card] != 0) {
        members.push_back(static_cast<unsigned short>(outcome.entry_numbers[card]));
      }
    }
    if (members.size() == g.kept_members.size() && !(g.keep_empty && !g.exists)) continue;
    outcome.group_numbers[i] = WriteGroup(book, g.group, members, g.exists ? g.number : 0);
  }
  return outcome;
}

}  // namespace tool
}  // namespace telbook
