// Making the import's plan: the file recognised and read, each card's texts composed (name
// order, reading sources, affiliation), converted to code page 932 and fitted to their fields,
// checked against the book for duplicates, and numbered; then the plan as JSON.
#include "tools/import_plan.h"

#include <algorithm>
#include <cstring>
#include <set>

#include "tools/cp932.h"
#include "tools/records.h"
#include "tools/text.h"
#include "tools/tool_error.h"
#include "tools/vcard_reader.h"

namespace telbook {
namespace tool {
namespace {

std::string Join(const std::string& a, const std::string& b) {
  if (a.empty()) return b;
  if (b.empty()) return a;
  return a + " " + b;
}

// The name a card is filed under: the source's formatted name, except that a Japanese name
// written given-first (or not at all) is put family first.
std::string ComposeName(const Contact& c) {
  bool japanese = HasJapaneseScript(c.family) || HasJapaneseScript(c.given);
  std::string parts = japanese ? Join(c.family, c.given) : Join(Join(c.given, c.middle), c.family);
  if (c.name.empty()) return parts.empty() && !c.organization.empty() ? c.organization[0] : parts;
  if (japanese && !c.family.empty() && !c.given.empty() &&
      WithoutBlanks(c.name) == WithoutBlanks(c.given + c.family)) {
    return parts;
  }
  return c.name;
}

// The reading the source gives, family first; empty when it gives none.
std::string SourceReading(const Contact& c) {
  if (!c.reading.empty()) return c.reading;
  return Join(c.family_reading, c.given_reading);
}

// Converts a card's UTF-8 texts to code page 932 fields, noting what was cut or replaced; the
// first text that cannot be held refuses the card.
class Fitter {
 public:
  Fitter(const ImportOptions& options, PlannedCard* card) : options_(options), card_(card) {}

  // False when the card is refused. A text cut under --strict is still cut, and
  // strict_refusal() says why the plan must not be applied.
  bool Put(std::string utf8, const char* label, char* field, size_t capacity, bool cuttable,
           bool memo = false) {
    std::string text;
    for (size_t i = 0; i < utf8.size(); ++i) {
      if (utf8[i] == '\n') {
        text += memo ? "\r\n" : " ";
      } else {
        text += utf8[i];
      }
    }
    std::string bytes;
    if (!Convert(text, label, &bytes)) return false;
    memset(field, 0, capacity);
    if (bytes.size() + 1 > capacity) {
      std::string sizes = std::to_string(bytes.size()) +
                          " bytes in code page 932; the field holds " +
                          std::to_string(capacity - 1);
      if (!cuttable) {
        card_->reason = std::string("the ") + label + " is " + sizes;
        return false;
      }
      if (options_.strict && strict_refusal_.empty()) {
        strict_refusal_ = std::string("the ") + label + " is " + sizes + " (--strict does not cut)";
      }
      size_t keep = 0;
      while (keep < bytes.size()) {
        uint8_t b = static_cast<uint8_t>(bytes[keep]);
        size_t n = (b >= 0x81 && b <= 0x9F) || b >= 0xE0 ? 2 : 1;
        if (keep + n > capacity - 1) break;
        keep += n;
      }
      card_->notes.push_back(std::string(label) + " cut to " + std::to_string(keep) +
                             " bytes (was " + std::to_string(bytes.size()) + ")");
      bytes.resize(keep);
    }
    memcpy(field, bytes.data(), bytes.size());
    return true;
  }

  template <size_t N>
  bool Put(const std::string& utf8, const char* label, char (&field)[N], bool cuttable,
           bool memo = false) {
    return Put(utf8, label, field, N, cuttable, memo);
  }

  const std::string& strict_refusal() const { return strict_refusal_; }

  // UTF-8 to code page 932; with --replace every character the code page lacks becomes "?".
  bool Convert(const std::string& utf8, const char* label, std::string* out) {
    std::string bad;
    if (cp932::FromUtf8(utf8, out, &bad)) return true;
    if (!options_.replace) {
      card_->reason = std::string("code page 932 cannot hold ") + bad + " (in the " + label + ")";
      return false;
    }
    out->clear();
    for (size_t i = 0; i < utf8.size();) {
      uint32_t cp = 0;
      size_t n = NextUtf8(utf8, i, &cp);
      std::string one;
      if (cp932::FromUtf8(utf8.substr(i, n), &one, &bad)) {
        *out += one;
      } else {
        *out += '?';
        card_->notes.push_back(bad + " replaced by ? (in the " + label + ")");
      }
      i += n;
    }
    return true;
  }

 private:
  const ImportOptions& options_;
  PlannedCard* card_;
  std::string strict_refusal_;
};

bool LooksLikeTextExport(const std::string& text) {
  size_t at = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
  if (at >= text.size() || (text[at] != 'K' && text[at] != 'G')) return false;
  size_t digits = at + 1;
  while (digits < text.size() && text[digits] >= '0' && text[digits] <= '9') ++digits;
  return digits > at + 1 && digits < text.size() && (text[digits] == ',' || text[digits] == '\r');
}

// Lowest free numbers of a range, in order, as many as wanted.
std::vector<int> FreeNumbers(const std::set<int>& used, int first, int last) {
  std::vector<int> free;
  for (int n = first; n <= last; ++n) {
    if (used.count(n) == 0) free.push_back(n);
  }
  return free;
}

std::string GroupKey(const Folder& folder, const std::string& name) {
  return WithoutBlanks(folder.Fold(name));
}

}  // namespace

bool ParseImportFormat(const std::string& name, ImportFormat* out) {
  if (name == "text") {
    *out = ImportFormat::kText;
  } else if (name == "vcard") {
    *out = ImportFormat::kVcard;
  } else if (name == "csv") {
    *out = ImportFormat::kCsv;
  } else {
    return false;
  }
  return true;
}

const char* ImportFormatName(ImportFormat format) {
  switch (format) {
    case ImportFormat::kText:
      return "text";
    case ImportFormat::kVcard:
      return "vcard";
    case ImportFormat::kCsv:
      return "csv";
    case ImportFormat::kAuto:
      break;
  }
  return "auto";
}

const char* CardFateName(CardFate fate) {
  switch (fate) {
    case CardFate::kDuplicate:
      return "duplicate";
    case CardFate::kRefused:
      return "refused";
    case CardFate::kNoFax:
      return "no-fax";
    case CardFate::kAdd:
      break;
  }
  return "add";
}

size_t ImportPlan::Count(CardFate fate) const {
  size_t n = 0;
  for (const PlannedCard& c : cards) n += c.fate == fate;
  return n;
}

bool ReadImportSource(const std::string& bytes, const ImportOptions& options, ImportSource* out,
                      FileProblem* problem) {
  *out = ImportSource();
  // The text is decoded once to recognise the format; a text export keeps its own bytes.
  std::string utf8;
  Encoding used = Encoding::kAuto;
  FileProblem decode_problem;
  bool decoded = DecodeFile(bytes, options.encoding, &utf8, &used, &decode_problem);
  ImportFormat format = options.format;
  if (format == ImportFormat::kAuto) {
    const std::string& look = decoded ? utf8 : bytes;
    format = bytes.empty() || LooksLikeTextExport(look) ? ImportFormat::kText
             : LooksLikeVcard(look)                     ? ImportFormat::kVcard
                                                        : ImportFormat::kCsv;
  }
  out->format = format;
  if (format == ImportFormat::kText) {
    // Code page 932 bytes are taken as they stand, as the library stored them; UTF-8 (or UTF-16
    // made UTF-8) is converted.
    Encoding encoding = options.encoding;
    size_t bom = 0;
    FileProblem ignored;
    if (encoding == Encoding::kAuto) encoding = DetectEncoding(bytes, &bom, &ignored);
    if (encoding == Encoding::kAuto) encoding = Encoding::kCp932;
    out->encoding = encoding;
    bool is_utf8 = encoding != Encoding::kCp932;
    const std::string& data =
        encoding == Encoding::kUtf8 || encoding == Encoding::kCp932 ? bytes : utf8;
    if ((encoding == Encoding::kUtf16Le || encoding == Encoding::kUtf16Be) && !decoded) {
      *problem = decode_problem;
      return false;
    }
    ImportProblem text_problem;
    if (!ParseTextExport(data.data(), data.size(), is_utf8, &out->text, &text_problem)) {
      problem->line = text_problem.line;
      problem->reason = text_problem.reason;
      return false;
    }
    return true;
  }
  if (!decoded) {
    *problem = decode_problem;
    return false;
  }
  out->encoding = used;
  if (format == ImportFormat::kVcard) return ReadVcards(utf8, used, &out->contacts, problem);
  return ReadCsvContacts(utf8, options.map, &out->contacts, &out->unused_columns, problem);
}

namespace {

class Planner {
 public:
  Planner(const ImportSource& source, const BookState& book, const ImportOptions& options,
          const ReadingDeriver& deriver, const Folder& folder)
      : source_(source),
        book_(book),
        options_(options),
        deriver_(deriver),
        folder_(folder),
        index_(folder) {}

  ImportPlan Make() {
    plan_.format = source_.format;
    plan_.encoding = source_.encoding;
    std::vector<std::string> readings;
    std::set<int> used;
    for (const BookState::Entry& e : book_.entries) {
      readings.push_back(e.reading);
      used.insert(e.number);
      index_.Add({e.number, e.name, e.reading, e.fax});
    }
    plan_.reading_form = MostUsedKanaForm(readings);
    plan_.readings_available = deriver_.available();
    if (source_.format == ImportFormat::kText) {
      PlanText();
    } else {
      for (const Contact& c : source_.contacts) PlanCard(c);
      if (!source_.unused_columns.empty()) {
        std::string list;
        for (const std::string& h : source_.unused_columns) list += (list.empty() ? "" : ", ") + h;
        plan_.notes.push_back("columns not used (name them with --map): " + list);
      }
      if (!options_.no_readings && !plan_.readings_available) {
        plan_.notes.push_back(
            "readings of names in kanji are not derived: this build of telbook has no reading "
            "dictionary");
      }
    }
    Number(used);
    return plan_;
  }

 private:
  void PlanText() {
    for (const ImportedEntry& e : source_.text.entries) {
      PlannedCard card;
      card.line = e.line;
      card.entry = e.entry;
      card.source_name = FromField(e.entry.Name);
      plan_.cards.push_back(card);
    }
    for (const ImportedGroup& g : source_.text.groups) {
      PlannedGroup group;
      group.name = FromField(g.group.Name);
      group.group = g.group;
      group.keep_empty = true;
      group.cards = g.members;
      plan_.groups.push_back(group);
    }
  }

  // The reading the card gets when the source has none.
  std::string DerivedReading(const Contact& c, const std::string& name, PlannedCard* card) {
    if (options_.no_readings || name.empty()) return std::string();
    if (!HasJapaneseScript(name)) {
      // Latin names are read as they are written, family name first when it is known.
      card->notes.push_back("reading as written");
      return c.family.empty() || c.given.empty() ? name : Join(c.family, Join(c.given, c.middle));
    }
    if (!deriver_.available()) return std::string();
    std::string katakana;
    if (!deriver_.Derive(WithoutLegalForm(name), &katakana)) {
      card->notes.push_back("no reading found for the name");
      return std::string();
    }
    card->reading_derived = true;
    card->notes.push_back("reading derived");
    return ToKanaForm(katakana, plan_.reading_form);
  }

  void PlanCard(const Contact& c) {
    PlannedCard card;
    card.line = c.line;
    std::string name = ComposeName(c);
    card.source_name = name;
    size_t index = plan_.cards.size();
    Fitter fit(options_, &card);
    if (!c.problem.empty()) {
      Refuse(&card, c.problem);
      return;
    }
    if (name.empty() && c.faxes.empty() && c.phones.empty() && c.emails.empty()) {
      Refuse(&card, "the card holds no name, company, number or address");
      return;
    }
    std::string reading = SourceReading(c);
    if (reading.empty()) reading = DerivedReading(c, name, &card);
    std::string affiliation;
    for (const std::string& part : c.organization) affiliation = Join(affiliation, part);
    affiliation = Join(affiliation, c.title);
    // A card of a company alone is filed under the company's name, not twice.
    if (c.family.empty() && c.given.empty() && affiliation == name) {
      affiliation.clear();
    }
    TL_Kojin& e = card.entry;
    std::string fax = c.faxes.empty() ? std::string() : c.faxes[0];
    std::string phone = c.phones.empty() ? std::string() : c.phones[0];
    std::string email = c.emails.empty() ? std::string() : c.emails[0];
    bool ok = fit.Put(name, "name", e.Name, true) &&
              fit.Put(reading, "reading", e.Furigana, true) &&
              fit.Put(affiliation, "affiliation", e.Affiliation, true) &&
              fit.Put(fax, "fax number", e.FaxNumber, false) &&
              fit.Put(phone, "phone number", e.Phone, false) &&
              fit.Put(email, "e-mail address", e.EMail, false) &&
              fit.Put(c.note, "memo", e.Memo, true, true);
    if (!ok) {
      Refuse(&card, card.reason);
      return;
    }
    if (!fit.strict_refusal().empty() && plan_.blocking.empty()) {
      plan_.blocking = Where(card) + ": " + fit.strict_refusal();
      plan_.blocking_status = kExitText;
    }
    for (size_t i = 1; i < c.faxes.size(); ++i)
      card.notes.push_back("fax " + c.faxes[i] + " not kept");
    for (size_t i = 1; i < c.phones.size(); ++i)
      card.notes.push_back("phone " + c.phones[i] + " not kept");
    for (size_t i = 1; i < c.emails.size(); ++i)
      card.notes.push_back("e-mail " + c.emails[i] + " not kept");
    if (options_.fax_only && fax.empty()) {
      card.fate = CardFate::kNoFax;
      card.reason = "no fax number (--fax-only)";
      plan_.cards.push_back(card);
      return;
    }
    DuplicateCandidate candidate{-static_cast<int>(index) - 1, FromField(e.Name),
                                 FromField(e.Furigana), FromField(e.FaxNumber)};
    for (const DuplicateIndex::Match& m : index_.Find(candidate)) {
      PlannedDuplicate d;
      if (m.id > 0) {
        d.entry = m.id;
      } else {
        d.card = -m.id - 1;
      }
      d.reason = m.reason;
      card.duplicates.push_back(d);
    }
    if (!card.duplicates.empty() && !options_.allow_duplicates) {
      card.fate = CardFate::kDuplicate;
      card.reason = "duplicates an entry (--allow-duplicates adds it)";
      plan_.cards.push_back(card);
      return;
    }
    index_.Add(candidate);
    if (!options_.no_groups) {
      for (const std::string& category : c.categories) JoinGroup(category, index, &card);
    }
    plan_.cards.push_back(card);
  }

  void Refuse(PlannedCard* card, const std::string& reason) {
    card->fate = CardFate::kRefused;
    card->reason = reason;
    plan_.cards.push_back(*card);
  }

  std::string Where(const PlannedCard& card) const {
    return "card " + std::to_string(plan_.cards.size() + 1) + " (line " +
           std::to_string(card.line) + ")";
  }

  void JoinGroup(const std::string& category, size_t card_index, PlannedCard* card) {
    std::string key = GroupKey(folder_, category);
    for (size_t g = 0; g < plan_.groups.size(); ++g) {
      if (GroupKey(folder_, plan_.groups[g].name) != key) continue;
      if (std::find(card->groups.begin(), card->groups.end(), g) != card->groups.end()) return;
      plan_.groups[g].cards.push_back(card_index);
      card->groups.push_back(g);
      return;
    }
    PlannedGroup group;
    group.name = category;
    for (const BookState::Group& existing : book_.groups) {
      if (GroupKey(folder_, existing.name) != key) continue;
      if (existing.unreadable > 0) {
        card->notes.push_back("group " + std::to_string(existing.number) + " \"" + existing.name +
                              "\" not extended: some of its members name no entry");
        return;
      }
      group.exists = true;
      group.number = existing.number;
      group.group = existing.group;
      group.kept_members = existing.members;
      break;
    }
    if (!group.exists) {
      PlannedCard scratch;
      Fitter fit(options_, &scratch);
      std::string reading;
      if (!options_.no_readings) {
        std::string katakana;
        if (!HasJapaneseScript(category)) {
          reading = category;
        } else if (deriver_.Derive(WithoutLegalForm(category), &katakana)) {
          reading = ToKanaForm(katakana, plan_.reading_form);
        }
      }
      if (!fit.Put(category, "group name", group.group.Name, true) ||
          !fit.Put(reading, "group reading", group.group.Furigana, true)) {
        card->notes.push_back("category \"" + category + "\" makes no group: " + scratch.reason);
        return;
      }
      group.notes = scratch.notes;
      group.name = FromField(group.group.Name);
    }
    group.cards.push_back(card_index);
    card->groups.push_back(plan_.groups.size());
    plan_.groups.push_back(group);
  }

  void Number(const std::set<int>& used) {
    std::vector<int> free = FreeNumbers(used, kFirstPersonal, kLastPersonal);
    plan_.free_entries = static_cast<int>(free.size());
    size_t next = 0;
    size_t adding = plan_.Count(CardFate::kAdd);
    for (PlannedCard& card : plan_.cards) {
      if (card.fate == CardFate::kAdd && next < free.size()) card.number = free[next++];
    }
    if (adding > free.size()) {
      plan_.blocking = "the phone book has room for " + std::to_string(free.size()) +
                       " more entries; " + std::to_string(adding - free.size()) + " of the " +
                       std::to_string(adding) + " entries to add would not fit";
      plan_.blocking_status = kExitBook;
    }
    std::set<int> used_groups;
    for (const BookState::Group& g : book_.groups) used_groups.insert(g.number);
    std::vector<int> free_groups = FreeNumbers(used_groups, kFirstGroup, kLastNewGroup);
    size_t next_group = 0;
    size_t new_groups = 0;
    for (PlannedGroup& g : plan_.groups) {
      if (g.exists) continue;
      ++new_groups;
      if (next_group < free_groups.size()) g.number = free_groups[next_group++];
    }
    if (new_groups > free_groups.size() && plan_.blocking.empty()) {
      plan_.blocking = "the phone book has room for " + std::to_string(free_groups.size()) +
                       " more groups; " + std::to_string(new_groups - free_groups.size()) +
                       " of the " + std::to_string(new_groups) + " groups to make would not fit";
      plan_.blocking_status = kExitBook;
    }
  }

  const ImportSource& source_;
  const BookState& book_;
  const ImportOptions& options_;
  const ReadingDeriver& deriver_;
  const Folder& folder_;
  DuplicateIndex index_;
  ImportPlan plan_;
};

}  // namespace

ImportPlan MakeImportPlan(const ImportSource& source, const BookState& book,
                          const ImportOptions& options, const ReadingDeriver& deriver,
                          const Folder& folder) {
  return Planner(source, book, options, deriver, folder).Make();
}

nlohmann::json ImportPlanJson(const ImportPlan& plan) {
  nlohmann::json j;
  j["format"] = ImportFormatName(plan.format);
  j["encoding"] = EncodingName(plan.encoding);
  j["reading-form"] = KanaFormName(plan.reading_form);
  j["readings-derivable"] = plan.readings_available;
  nlohmann::json cards = nlohmann::json::array();
  for (size_t i = 0; i < plan.cards.size(); ++i) {
    const PlannedCard& c = plan.cards[i];
    nlohmann::json card;
    card["card"] = i + 1;
    card["line"] = c.line;
    card["fate"] = CardFateName(c.fate);
    if (!c.reason.empty()) card["reason"] = c.reason;
    if (c.fate == CardFate::kAdd) card["number"] = c.number;
    card["source-name"] = c.source_name;
    if (c.fate != CardFate::kRefused) {
      card["name"] = FromField(c.entry.Name);
      card["furigana"] = FromField(c.entry.Furigana);
      card["affiliation"] = FromField(c.entry.Affiliation);
      card["fax"] = FromField(c.entry.FaxNumber);
      card["phone"] = FromField(c.entry.Phone);
      card["email"] = FromField(c.entry.EMail);
      card["memo"] = FromField(c.entry.Memo);
    }
    card["reading-derived"] = c.reading_derived;
    card["notes"] = c.notes;
    nlohmann::json duplicates = nlohmann::json::array();
    for (const PlannedDuplicate& d : c.duplicates) {
      nlohmann::json dj;
      if (d.entry > 0) {
        dj["entry"] = d.entry;
      } else {
        dj["card"] = d.card + 1;
      }
      dj["reason"] = d.reason == DuplicateReason::kFax ? "fax" : "name-and-reading";
      duplicates.push_back(dj);
    }
    card["duplicates"] = duplicates;
    nlohmann::json groups = nlohmann::json::array();
    for (size_t g : c.groups) groups.push_back(plan.groups[g].name);
    card["groups"] = groups;
    cards.push_back(card);
  }
  j["cards"] = cards;
  nlohmann::json groups = nlohmann::json::array();
  for (const PlannedGroup& g : plan.groups) {
    nlohmann::json group;
    group["name"] = g.name;
    group["furigana"] = FromField(g.group.Furigana);
    group["number"] = g.number;
    group["existing"] = g.exists;
    nlohmann::json members = nlohmann::json::array();
    for (size_t c : g.cards) members.push_back(c + 1);
    group["cards"] = members;
    group["kept-members"] = g.kept_members;
    group["notes"] = g.notes;
    groups.push_back(group);
  }
  j["groups"] = groups;
  j["notes"] = plan.notes;
  j["free-entries"] = plan.free_entries;
  if (!plan.blocking.empty()) j["blocking"] = plan.blocking;
  nlohmann::json summary;
  for (CardFate f : {CardFate::kAdd, CardFate::kDuplicate, CardFate::kRefused, CardFate::kNoFax}) {
    summary[CardFateName(f)] = plan.Count(f);
  }
  j["summary"] = summary;
  return j;
}

}  // namespace tool
}  // namespace telbook
