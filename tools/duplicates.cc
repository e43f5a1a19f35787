// The duplicate rule: keys by fax digits and by folded name and reading, and the grouping of
// entries that share a key, directly or through others.
#include "tools/duplicates.h"

#include <algorithm>
#include <numeric>

namespace telbook {
namespace tool {

const char* DuplicateReasonWords(DuplicateReason reason) {
  return reason == DuplicateReason::kFax ? "the same fax number" : "the same name and reading";
}

std::string FaxDigits(const std::string& fax) {
  std::string digits;
  for (size_t i = 0; i < fax.size(); ++i) {
    char c = fax[i];
    if (c >= '0' && c <= '9') {
      digits += c;
    } else if (fax.compare(i, 2, "\xEF\xBC") == 0 && i + 2 < fax.size() &&
               static_cast<unsigned char>(fax[i + 2]) >= 0x90 &&
               static_cast<unsigned char>(fax[i + 2]) <= 0x99) {
      digits += static_cast<char>('0' + static_cast<unsigned char>(fax[i + 2]) - 0x90);
      i += 2;
    }
  }
  return digits;
}

std::string DuplicateIndex::NameKey(const DuplicateCandidate& c) const {
  if (c.name.empty()) return std::string();
  std::string key;
  for (const std::string* text : {&c.name, &c.reading}) {
    std::string folded = folder_.Fold(*text);
    folded.erase(std::remove_if(folded.begin(), folded.end(),
                                [](char ch) { return ch == ' ' || ch == '\t'; }),
                 folded.end());
    key += folded;
    key += '\n';
  }
  return key;
}

std::vector<DuplicateIndex::Match> DuplicateIndex::Find(const DuplicateCandidate& c) const {
  std::vector<Match> matches;
  auto seen = [&matches](int id) {
    return std::any_of(matches.begin(), matches.end(), [id](const Match& m) { return m.id == id; });
  };
  std::string digits = FaxDigits(c.fax);
  if (!digits.empty()) {
    auto range = by_fax_.equal_range(digits);
    for (auto it = range.first; it != range.second; ++it) {
      if (!seen(it->second)) matches.push_back({it->second, DuplicateReason::kFax});
    }
  }
  std::string name = NameKey(c);
  if (!name.empty()) {
    auto range = by_name_.equal_range(name);
    for (auto it = range.first; it != range.second; ++it) {
      if (!seen(it->second)) matches.push_back({it->second, DuplicateReason::kNameAndReading});
    }
  }
  return matches;
}

void DuplicateIndex::Add(const DuplicateCandidate& c) {
  std::string digits = FaxDigits(c.fax);
  if (!digits.empty()) by_fax_.emplace(digits, c.id);
  std::string name = NameKey(c);
  if (!name.empty()) by_name_.emplace(name, c.id);
}

std::vector<DuplicateGroup> FindDuplicates(const std::vector<DuplicateCandidate>& entries,
                                           const Folder& folder) {
  // Union-find over positions; each entry is joined to the first earlier one of each match.
  std::vector<size_t> parent(entries.size());
  std::iota(parent.begin(), parent.end(), 0);
  auto root = [&parent](size_t i) {
    while (parent[i] != i) i = parent[i] = parent[parent[i]];
    return i;
  };
  std::vector<std::vector<DuplicateReason>> reasons(entries.size());
  DuplicateIndex index(folder);
  for (size_t i = 0; i < entries.size(); ++i) {
    DuplicateCandidate c = entries[i];
    c.id = static_cast<int>(i);
    for (const DuplicateIndex::Match& m : index.Find(c)) {
      size_t a = root(static_cast<size_t>(m.id));
      size_t b = root(i);
      if (a != b) parent[std::max(a, b)] = std::min(a, b);
      reasons[i].push_back(m.reason);
    }
    index.Add(c);
  }
  std::map<size_t, DuplicateGroup> groups;
  for (size_t i = 0; i < entries.size(); ++i) {
    DuplicateGroup& g = groups[root(i)];
    g.ids.push_back(entries[i].id);
    for (DuplicateReason r : reasons[i]) {
      if (std::find(g.reasons.begin(), g.reasons.end(), r) == g.reasons.end()) {
        g.reasons.push_back(r);
      }
    }
  }
  std::vector<DuplicateGroup> out;
  for (auto& [first, g] : groups) {
    if (g.ids.size() > 1) out.push_back(std::move(g));
  }
  return out;
}

}  // namespace tool
}  // namespace telbook
