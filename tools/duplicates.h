// The rule that tells two entries of a phone book for the same addressee: the same fax number,
// compared by its digits alone, or the same name and reading once both are folded as the
// search folds them (and blanks dropped).
#ifndef TELBOOK_TOOLS_DUPLICATES_H_
#define TELBOOK_TOOLS_DUPLICATES_H_

#include <map>
#include <string>
#include <vector>

#include "tools/fold.h"

namespace telbook {
namespace tool {

// An entry as the rule sees it; texts in UTF-8.
struct DuplicateCandidate {
  int id = 0;  // the caller's: a record number, a card's index
  std::string name;
  std::string reading;
  std::string fax;
};

// Why two entries are taken for one.
enum class DuplicateReason { kFax, kNameAndReading };
const char* DuplicateReasonWords(DuplicateReason reason);

// The digits of a fax number (ASCII and full-width); "" when it has none.
std::string FaxDigits(const std::string& fax);

// Entries added one by one and looked up against those added before.
class DuplicateIndex {
 public:
  explicit DuplicateIndex(const Folder& folder) : folder_(folder) {}

  struct Match {
    int id;
    DuplicateReason reason;
  };
  // The entries added so far that the candidate duplicates, fax matches first, each id once.
  std::vector<Match> Find(const DuplicateCandidate& candidate) const;
  void Add(const DuplicateCandidate& candidate);

 private:
  std::string NameKey(const DuplicateCandidate& c) const;

  const Folder& folder_;
  std::multimap<std::string, int> by_fax_;
  std::multimap<std::string, int> by_name_;
};

// Groups of entries that are one addressee: entries joined by a shared fax number or by the same
// name and reading, and the entries joined to those, transitively. Each group holds two ids or
// more, in the order given; groups are ordered by their first id's position.
struct DuplicateGroup {
  std::vector<int> ids;
  std::vector<DuplicateReason> reasons;  // every reason that joined two of them, each once
};
std::vector<DuplicateGroup> FindDuplicates(const std::vector<DuplicateCandidate>& entries,
                                           const Folder& folder);

}  // namespace tool
}  // namespace telbook

#endif  // TELBOOK_TOOLS_DUPLICATES_H_
