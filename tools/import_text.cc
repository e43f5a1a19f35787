// Parser of the library's text export. A field that held a comma or a line break was written
// between double quotes, but quotes inside texts were not doubled, so where a field ends is not
// always plain from the bytes alone: the line is split by a bounded search over the places a
// quoted field may close, guided by the fixed number and kinds of the line's fields.
#include "tools/import_text.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <map>
#include <set>
#include <utility>

#include "tools/cp932.h"

namespace telbook {
namespace tool {
namespace {

constexpr int kMaxEntries = 9999;
constexpr int kMaxGroups = 5000;
constexpr unsigned kMaxMembers = 9999;
constexpr unsigned kMaxLineNumber = 9999;
// How far past its capacity a field's bytes may reach while the line is split: UTF-8 takes up to
// three bytes where code page 932 takes one. The exact capacity is checked after the split.
constexpr size_t kRawFactor = 4;
constexpr size_t kRawSlack = 16;
constexpr size_t kNumberBytes = 8;

enum class FieldKind { kText, kNumber };

struct FieldSpec {
  const char* label;
  FieldKind kind;
  size_t capacity;  // of the host field, terminator included; 0 for numbers
};

// Fields 2 to 16 of an entry line.
const FieldSpec kEntryFields[] = {
    {"name", FieldKind::kText, sizeof(TL_Kojin::Name)},
    {"reading", FieldKind::kText, sizeof(TL_Kojin::Furigana)},
    {"affiliation", FieldKind::kText, sizeof(TL_Kojin::Affiliation)},
    {"line type and fax number", FieldKind::kText, sizeof(TL_Kojin::FaxNumber) + 9},
    {"speed dial", FieldKind::kText, sizeof(TL_Kojin::SpeedDial)},
    {"phone", FieldKind::kText, sizeof(TL_Kojin::Phone)},
    {"e-mail", FieldKind::kText, sizeof(TL_Kojin::EMail)},
    {"memo", FieldKind::kText, sizeof(TL_Kojin::Memo)},
    {"communication mode", FieldKind::kNumber, 0},
    {"F-code", FieldKind::kText, sizeof(TL_Kojin::FCode)},
    {"P-code", FieldKind::kText, sizeof(TL_Kojin::PCode)},
    {"box number", FieldKind::kText, sizeof(TL_Kojin::BoxNumber)},
    {"box password", FieldKind::kText, sizeof(TL_Kojin::BoxPassword)},
    {"relay ID", FieldKind::kText, sizeof(TL_Kojin::RelayId)},
    {"relay output", FieldKind::kNumber, 0},
};
constexpr size_t kEntryFieldCount = sizeof(kEntryFields) / sizeof(kEntryFields[0]) + 1;
static_assert(kEntryFieldCount == 16, "an entry line has sixteen fields before its tail");

// Fields 2 to 4 of a group line; the member fields follow.
const FieldSpec kGroupFields[] = {
    {"name", FieldKind::kText, sizeof(TL_Group::Name)},
    {"reading", FieldKind::kText, sizeof(TL_Group::Furigana)},
    {"member count", FieldKind::kNumber, 0},
};

const char* const kLineWords[] = {"[Outline]", "[Inline]", "[None]"};

bool AllDigits(const std::string& s) {
  if (s.empty()) return false;
  for (char c : s) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

// Decimal value of a text of at most kNumberBytes digits; false for anything else.
bool ParseDecimal(const std::string& s, unsigned long* value) {
  if (!AllDigits(s) || s.size() > kNumberBytes) return false;
  *value = std::stoul(s);
  return true;
}

// "K12" or "G3" with a number 1 to 9999.
bool ParseLabel(const std::string& s, char letter, unsigned* number) {
  unsigned long n = 0;
  if (s.size() < 2 || s[0] != letter || !ParseDecimal(s.substr(1), &n)) return false;
  if (n < 1 || n > kMaxLineNumber) return false;
  *number = static_cast<unsigned>(n);
  return true;
}

// Splits the fields of one line after its first, trying each way a field starting with a double
// quote may close, and remembers the way that went farthest for the message when none fits.
class LineSplitter {
 public:
  // Checks the end of a line: `at` is the separator after the last of the fixed fields. Returns
  // the position after the line's CR LF, or false with the reason.
  using Finish = std::function<bool(size_t at, const std::vector<std::string>& fields, size_t* next,
                                    std::string* why)>;

  // Checks a field's text and takes it over into the record being read; false with the reason
  // when the field cannot hold it, and another split is tried.
  using Accept = std::function<bool(size_t index, const std::string& raw, std::string* why)>;

  LineSplitter(const char* data, size_t size, const FieldSpec* specs, size_t count, Accept accept,
               Finish finish)
      : data_(data),
        size_(size),
        specs_(specs),
        count_(count),
        accept_(std::move(accept)),
        finish_(std::move(finish)) {
    fields_.resize(count);
  }

  bool Split(size_t at, size_t* next) { return Step(at, 0, next); }
  const std::vector<std::string>& fields() const { return fields_; }
  const std::string& why() const { return why_; }

 private:
  bool IsSeparator(size_t p) const {
    return p < size_ &&
           (data_[p] == ',' || (data_[p] == '\r' && p + 1 < size_ && data_[p + 1] == '\n'));
  }

  void Note(size_t depth, const std::string& why) {
    if (why_.empty() || depth > why_depth_) {
      why_ = why;
      why_depth_ = depth;
    }
  }

  std::string FieldName(size_t index) const {
    return "field " + std::to_string(index + 2) + " (" + specs_[index].label + ")";
  }

  bool Step(size_t at, size_t index, size_t* next) {
    if (failed_.count({at, index}) != 0) return false;
    const FieldSpec& spec = specs_[index];
    size_t bound =
        spec.kind == FieldKind::kNumber ? kNumberBytes : spec.capacity * kRawFactor + kRawSlack;
    if (at < size_ && data_[at] == '"') {
      for (size_t q = at + 1; q < size_ && q - at - 1 <= bound; ++q) {
        if (data_[q] != '"' || !IsSeparator(q + 1)) continue;
        std::string content(data_ + at + 1, q - at - 1);
        // Only a text with a comma or a line break was quoted.
        if (content.find_first_of(",\r\n") == std::string::npos) continue;
        if (Try(std::move(content), q + 1, index, next)) return true;
      }
    }
    size_t e = at;
    while (e < size_ && e - at <= bound && data_[e] != ',' && data_[e] != '\r' &&
           data_[e] != '\n') {
      ++e;
    }
    if (e >= size_) {
      Note(index, "the line ends without CR LF (is the file cut short?)");
    } else if (e - at > bound) {
      Note(index, FieldName(index) + " is far too long");
    } else if (!IsSeparator(e)) {
      Note(index, FieldName(index) + " holds a line break outside double quotes");
    } else if (Try(std::string(data_ + at, e - at), e, index, next)) {
      return true;
    }
    // The end of a line depends on earlier fields (a relay ID brings a tail), the rest not.
    if (index + 1 < count_) failed_.insert({at, index});
    return false;
  }

  bool Try(std::string content, size_t sep, size_t index, size_t* next) {
    const FieldSpec& spec = specs_[index];
    if (spec.kind == FieldKind::kNumber && !AllDigits(content)) {
      Note(index, FieldName(index) + " is \"" + content.substr(0, 20) + "\", not a number");
      return false;
    }
    if (content.find('\0') != std::string::npos) {
      Note(index, FieldName(index) + " holds a zero byte");
      return false;
    }
    std::string refusal;
    if (!accept_(index, content, &refusal)) {
      Note(index, refusal);
      return false;
    }
    fields_[index] = std::move(content);
    if (index + 1 == count_) {
      std::string why;
      if (finish_(sep, fields_, next, &why)) return true;
      Note(count_, why);
      return false;
    }
    if (data_[sep] != ',') {
      Note(index, "the line ends after " + FieldName(index) + "; it is cut short");
      return false;
    }
    return Step(sep + 1, index + 1, next);
  }

  const char* data_;
  size_t size_;
  const FieldSpec* specs_;
  size_t count_;
  Accept accept_;
  Finish finish_;
  std::vector<std::string> fields_;
  std::set<std::pair<size_t, size_t>> failed_;
  std::string why_;
  size_t why_depth_ = 0;
};

// Converts a field's text to code page 932 and stores it in a host field of the given capacity;
// false with the reason when it cannot be held.
bool StoreText(const std::string& raw, bool utf8, char* field, size_t capacity, std::string* why) {
  std::string text;
  if (utf8) {
    std::string bad;
    if (!cp932::FromUtf8(raw, &text, &bad)) {
      *why = "code page 932 cannot hold " + bad;
      return false;
    }
  } else {
    text = raw;
  }
  if (text.size() + 1 > capacity) {
    *why = "is " + std::to_string(text.size()) + " bytes in code page 932; the field holds " +
           std::to_string(capacity - 1);
    return false;
  }
  memset(field, 0, capacity);
  memcpy(field, text.data(), text.size());
  return true;
}

template <size_t N>
bool StoreText(const std::string& raw, bool utf8, char (&field)[N], std::string* why) {
  return StoreText(raw, utf8, field, N, why);
}

bool StoreByte(const std::string& raw, uint8_t* value, std::string* why) {
  unsigned long n = 0;
  if (!ParseDecimal(raw, &n) || n > 255) {
    *why = "must be a number 0 to 255";
    return false;
  }
  *value = static_cast<uint8_t>(n);
  return true;
}

// Field `index` (0 for the second field of the line) of an entry line into the entry.
bool StoreEntryField(size_t index, const std::string& raw, bool utf8, TL_Kojin* e,
                     std::string* why) {
  switch (index) {
    case 0:
      return StoreText(raw, utf8, e->Name, why);
    case 1:
      return StoreText(raw, utf8, e->Furigana, why);
    case 2:
      return StoreText(raw, utf8, e->Affiliation, why);
    case 3:
      for (uint8_t word = 0; word < 3; ++word) {
        size_t n = strlen(kLineWords[word]);
        if (raw.compare(0, n, kLineWords[word]) == 0) {
          e->LineType = word;
          return StoreText(raw.substr(n), utf8, e->FaxNumber, why);
        }
      }
      *why = "must begin with [Outline], [Inline] or [None]";
      return false;
    case 4:
      return StoreText(raw, utf8, e->SpeedDial, why);
    case 5:
      return StoreText(raw, utf8, e->Phone, why);
    case 6:
      return StoreText(raw, utf8, e->EMail, why);
    case 7:
      return StoreText(raw, utf8, e->Memo, why);
    case 8:
      if (!StoreByte(raw, &e->CommMode, why)) return false;
      // The export exchanges the communication modes 1 and 2.
      if (e->CommMode == 1 || e->CommMode == 2) e->CommMode = static_cast<uint8_t>(3 - e->CommMode);
      return true;
    case 9:
      return StoreText(raw, utf8, e->FCode, why);
    case 10:
      return StoreText(raw, utf8, e->PCode, why);
    case 11:
      return StoreText(raw, utf8, e->BoxNumber, why);
    case 12:
      return StoreText(raw, utf8, e->BoxPassword, why);
    case 13:
      return StoreText(raw, utf8, e->RelayId, why);
    case 14:
      return StoreByte(raw, &e->RelayOutput, why);
    default:
      *why = "is one field too many";
      return false;
  }
}

// The first "\r\n" at or after from; size when there is none.
size_t FindLineEnd(const char* data, size_t size, size_t from) {
  for (size_t p = from; p + 1 < size; ++p) {
    if (data[p] == '\r' && data[p + 1] == '\n') return p;
  }
  return size;
}

class Parser {
 public:
  Parser(const char* data, size_t size, bool utf8, ImportedText* out, ImportProblem* problem)
      : data_(data), size_(size), utf8_(utf8), out_(out), problem_(problem) {}

  bool Run() {
    size_t at = 0;
    if (size_ >= 3 && memcmp(data_, "\xEF\xBB\xBF", 3) == 0) {
      if (!utf8_) {
        return Fail("the file begins with a UTF-8 byte order mark: import it with --utf8");
      }
      at = 3;
    }
    while (at < size_) {
      size_t next = 0;
      if (!Line(at, &next)) return false;
      for (size_t p = at; p < next; ++p) line_ += data_[p] == '\n';
      at = next;
    }
    return Resolve();
  }

 private:
  bool Fail(const std::string& reason) {
    problem_->line = line_;
    problem_->reason = reason;
    return false;
  }

  // A text of the file as it may be shown in a UTF-8 message.
  std::string Shown(const std::string& raw) const {
    std::string cut = raw.substr(0, 24);
    return utf8_ ? cut : cp932::ToUtf8(cut);
  }

  bool Line(size_t at, size_t* next) {
    size_t e = at;
    while (e < size_ && data_[e] != ',' && data_[e] != '\r' && data_[e] != '\n') ++e;
    std::string label(data_ + at, e - at);
    unsigned number = 0;
    if (ParseLabel(label, 'K', &number)) return Entry(label, number, e, next);
    if (ParseLabel(label, 'G', &number)) return Group(label, e, next);
    if (label.empty()) return Fail("an empty line; every line begins with K<number> or G<number>");
    return Fail("the line begins with \"" + Shown(label) +
                "\", not K<number> (an entry, 1 to 9999) or G<number> (a group)");
  }

  bool Entry(const std::string& label, unsigned k, size_t at, size_t* next) {
    if (static_cast<int>(out_->entries.size()) >= kMaxEntries) {
      return Fail("more than 9999 entry lines; a phone book holds 9999 entries");
    }
    auto first = seen_.emplace(k, std::make_pair(line_, out_->entries.size()));
    if (!first.second) {
      return Fail(label + " appears twice (first on line " +
                  std::to_string(first.first->second.first) + ")");
    }
    if (at >= size_ || data_[at] != ',') {
      return Fail(label + " ends after its first field; an entry line has 16");
    }
    ImportedEntry item;
    item.k = k;
    item.line = line_;
    TL_Kojin* e = &item.entry;
    bool utf8 = utf8_;
    auto accept = [e, utf8](size_t index, const std::string& raw, std::string* why) {
      if (StoreEntryField(index, raw, utf8, e, why)) return true;
      *why = "field " + std::to_string(index + 2) + " (" + kEntryFields[index].label + ") " + *why;
      return false;
    };
    const char* data = data_;
    size_t size = size_;
    auto finish = [e, utf8, data, size](size_t sep, const std::vector<std::string>&, size_t* end,
                                        std::string* why) {
      memset(e->BroadcastList, 0, sizeof(e->BroadcastList));
      if (data[sep] == '\r') {
        *end = sep + 2;
        return true;
      }
      if (e->RelayId[0] == '\0') {
        *why =
            "more than the 16 fields of an entry line (a broadcast list follows a relay ID only)";
        return false;
      }
      // The broadcast list is written as it stands, commas and all, up to the line's end.
      size_t stop = FindLineEnd(data, size, sep + 1);
      if (stop == size) {
        *why = "the line ends without CR LF (is the file cut short?)";
        return false;
      }
      std::string list(data + sep + 1, stop - sep - 1);
      if (list.find('\0') != std::string::npos) {
        *why = "the broadcast list holds a zero byte";
        return false;
      }
      if (!StoreText(list, utf8, e->BroadcastList, why)) {
        *why = "the broadcast list " + *why;
        return false;
      }
      *end = stop + 2;
      return true;
    };
    LineSplitter split(data_, size_, kEntryFields, kEntryFieldCount - 1, accept, finish);
    if (!split.Split(at + 1, next)) return Fail(label + ": " + split.why());
    out_->entries.push_back(item);
    return true;
  }

  bool Group(const std::string& label, size_t at, size_t* next) {
    if (static_cast<int>(out_->groups.size()) >= kMaxGroups) {
      return Fail("more than 5000 group lines; a phone book holds 5000 groups");
    }
    if (at >= size_ || data_[at] != ',') {
      return Fail(label + " ends after its first field; a group line has at least 4");
    }
    ImportedGroup item;
    item.line = line_;
    TL_Group* g = &item.group;
    bool utf8 = utf8_;
    auto accept = [g, utf8](size_t index, const std::string& raw, std::string* why) {
      bool ok = index == 0   ? StoreText(raw, utf8, g->Name, why)
                : index == 1 ? StoreText(raw, utf8, g->Furigana, why)
                             : true;  // the member count, checked with the members
      if (!ok)
        *why =
            "field " + std::to_string(index + 2) + " (" + kGroupFields[index].label + ") " + *why;
      return ok;
    };
    std::vector<unsigned> members;
    const char* data = data_;
    size_t size = size_;
    auto finish = [&members, data, size](size_t sep, const std::vector<std::string>& fields,
                                         size_t* end, std::string* why) {
      unsigned long count = 0;
      if (!ParseDecimal(fields[2], &count) || count > kMaxMembers) {
        *why = "the member count \"" + fields[2] + "\" is not a number 0 to 9999";
        return false;
      }
      members.clear();
      size_t p = sep;
      while (p < size && data[p] == ',' && members.size() <= kMaxMembers) {
        size_t e = p + 1;
        while (e < size && data[e] != ',' && data[e] != '\r' && data[e] != '\n') ++e;
        std::string field(data + p + 1, e - p - 1);
        unsigned k = 0;
        if (!ParseLabel(field, 'K', &k)) {
          *why = "member field " + std::to_string(members.size() + 1) + " is \"" +
                 field.substr(0, 24) + "\", not K<number>";
          return false;
        }
        members.push_back(k);
        p = e;
      }
      if (members.size() != count) {
        *why = "the member count says " + std::to_string(count) + " but the line names " +
               std::to_string(members.size()) + " members";
        return false;
      }
      if (p + 1 >= size || data[p] != '\r' || data[p + 1] != '\n') {
        *why = p >= size ? "the line ends without CR LF (is the file cut short?)"
                         : "a member field is followed by something other than a comma or CR LF";
        return false;
      }
      *end = p + 2;
      return true;
    };
    LineSplitter split(data_, size_, kGroupFields, 3, accept, finish);
    if (!split.Split(at + 1, next)) return Fail(label + ": " + split.why());
    item.group.MemberCount = static_cast<uint16_t>(members.size());
    pending_.push_back({label, members});
    out_->groups.push_back(item);
    return true;
  }

  // Turns the K numbers of the group lines into entries, now that every K line is known.
  bool Resolve() {
    for (size_t g = 0; g < out_->groups.size(); ++g) {
      ImportedGroup& group = out_->groups[g];
      for (unsigned k : pending_[g].second) {
        auto it = seen_.find(k);
        if (it == seen_.end()) {
          line_ = group.line;
          return Fail(pending_[g].first + " names K" + std::to_string(k) +
                      " as a member, but the file has no line K" + std::to_string(k));
        }
        group.members.push_back(it->second.second);
      }
    }
    return true;
  }

  const char* data_;
  size_t size_;
  bool utf8_;
  ImportedText* out_;
  ImportProblem* problem_;
  int line_ = 1;
  std::map<unsigned, std::pair<int, size_t>> seen_;  // K number -> line, index of the entry
  std::vector<std::pair<std::string, std::vector<unsigned>>> pending_;  // per group line
};

}  // namespace

bool ParseTextExport(const char* data, size_t size, bool utf8, ImportedText* out,
                     ImportProblem* problem) {
  *out = ImportedText();
  *problem = ImportProblem();
  return Parser(data, size, utf8, out, problem).Run();
}

}  // namespace tool
}  // namespace telbook
