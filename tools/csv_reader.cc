// CSV contacts: the record splitter, the header names of common exports and what each column
// holds, and the rows made into cards.
#include "tools/csv_reader.h"

#include <cctype>
#include <cstdint>
#include <map>

#include "tools/text.h"

namespace telbook {
namespace tool {
namespace {

enum class Role {
  kNone,
  kName,
  kFamily,
  kGiven,
  kMiddle,
  kReading,
  kFamilyReading,
  kGivenReading,
  kOrganization,
  kDepartment,
  kTitle,
  kFax,
  kPhone,
  kEmail,
  kMemo,
  kGroups,
  kTypedPhone,  // "Phone 1 - Value": a fax when its type column says so
  kPhoneType,   // the type of a typed value: read with it, never alone
  kIgnore,      // named by the map as not wanted
};

// Field names of --map.
const std::map<std::string, Role>& FieldNames() {
  static const std::map<std::string, Role> kNames = {
      {"name", Role::kName},
      {"family-name", Role::kFamily},
      {"given-name", Role::kGiven},
      {"middle-name", Role::kMiddle},
      {"furigana", Role::kReading},
      {"reading", Role::kReading},
      {"family-reading", Role::kFamilyReading},
      {"given-reading", Role::kGivenReading},
      {"affiliation", Role::kOrganization},
      {"department", Role::kDepartment},
      {"title", Role::kTitle},
      {"fax", Role::kFax},
      {"phone", Role::kPhone},
      {"email", Role::kEmail},
      {"memo", Role::kMemo},
      {"groups", Role::kGroups},
      {"ignore", Role::kIgnore},
  };
  return kNames;
}

// A header as it is compared: full-width ASCII narrowed, ASCII lowered, blanks and the
// punctuation exports put between words dropped.
std::string Normalise(const std::string& header) {
  std::string out;
  for (size_t i = 0; i < header.size(); ++i) {
    uint8_t b = static_cast<uint8_t>(header[i]);
    // U+FF01 to U+FF5E are EF BC 81 to EF BD 9E.
    if (b == 0xEF && i + 2 < header.size()) {
      uint8_t b1 = static_cast<uint8_t>(header[i + 1]);
      uint8_t b2 = static_cast<uint8_t>(header[i + 2]);
      uint32_t cp = 0xF000 | ((b1 & 0x3F) << 6) | (b2 & 0x3F);
      if (cp >= 0xFF01 && cp <= 0xFF5E) {
        b = static_cast<uint8_t>(cp - 0xFF01 + 0x21);
        i += 2;
      }
    } else if (header.compare(i, 3, "\xE3\x80\x80") == 0) {  // U+3000
      i += 2;
      continue;
    }
    char c = static_cast<char>(tolower(b));
    if (b < 0x80 && (c == ' ' || c == '-' || c == '_' || c == '.' || c == ':' || c == '/' ||
                     c == '\'' || c == '\t')) {
      continue;
    }
    out += b < 0x80 ? c : static_cast<char>(b);
  }
  return out;
}

bool StartsWith(const std::string& s, const std::string& prefix) {
  return s.compare(0, prefix.size(), prefix) == 0;
}
bool EndsWith(const std::string& s, const std::string& suffix) {
  return s.size() >= suffix.size() &&
         s.compare(s.size() - suffix.size(), suffix.size(), suffix) == 0;
}
bool Has(const std::string& s, const std::string& part) {
  return s.find(part) != std::string::npos;
}

// What a column of a common export holds, by its normalised header.
Role KnownRole(const std::string& h) {
  static const std::map<std::string, Role> kExact = {
      {"name", Role::kName},
      {"fullname", Role::kName},
      {"displayname", Role::kName},
      {"名前", Role::kName},
      {"氏名", Role::kName},
      {"表示名", Role::kName},
      {"フルネーム", Role::kName},
      {"familyname", Role::kFamily},
      {"lastname", Role::kFamily},
      {"surname", Role::kFamily},
      {"姓", Role::kFamily},
      {"givenname", Role::kGiven},
      {"firstname", Role::kGiven},
      {"名", Role::kGiven},
      {"middlename", Role::kMiddle},
      {"additionalname", Role::kMiddle},
      {"reading", Role::kReading},
      {"yomi", Role::kReading},
      {"nameyomi", Role::kReading},
      {"yominame", Role::kReading},
      {"furigana", Role::kReading},
      {"フリガナ", Role::kReading},
      {"ふりがな", Role::kReading},
      {"よみ", Role::kReading},
      {"よみがな", Role::kReading},
      {"読み", Role::kReading},
      {"読みがな", Role::kReading},
      {"氏名(フリガナ)", Role::kReading},
      {"名前(フリガナ)", Role::kReading},
      {"氏名(ふりがな)", Role::kReading},
      {"名前(よみ)", Role::kReading},
      {"familynameyomi", Role::kFamilyReading},
      {"lastnameyomi", Role::kFamilyReading},
      {"givennameyomi", Role::kGivenReading},
      {"firstnameyomi", Role::kGivenReading},
      {"company", Role::kOrganization},
      {"companyname", Role::kOrganization},
      {"organization", Role::kOrganization},
      {"organisation", Role::kOrganization},
      {"会社", Role::kOrganization},
      {"会社名", Role::kOrganization},
      {"勤務先", Role::kOrganization},
      {"勤務先名", Role::kOrganization},
      {"組織", Role::kOrganization},
      {"所属", Role::kOrganization},
      {"department", Role::kDepartment},
      {"部署", Role::kDepartment},
      {"部署名", Role::kDepartment},
      {"部門", Role::kDepartment},
      {"jobtitle", Role::kTitle},
      {"役職", Role::kTitle},
      {"役職名", Role::kTitle},
      {"肩書", Role::kTitle},
      {"肩書き", Role::kTitle},
      {"notes", Role::kMemo},
      {"note", Role::kMemo},
      {"memo", Role::kMemo},
      {"メモ", Role::kMemo},
      {"備考", Role::kMemo},
      {"コメント", Role::kMemo},
      {"categories", Role::kGroups},
      {"category", Role::kGroups},
      {"groupmembership", Role::kGroups},
      {"groups", Role::kGroups},
      {"group", Role::kGroups},
      {"グループ", Role::kGroups},
      {"カテゴリ", Role::kGroups},
      {"カテゴリー", Role::kGroups},
      {"分類", Role::kGroups},
  };
  auto it = kExact.find(h);
  if (it != kExact.end()) return it->second;
  // 姓(フリガナ), 名(ふりがな), フリガナ(姓), 姓よみ and the like.
  for (const char* reading : {"フリガナ", "ふりがな", "よみ", "読み", "ヨミ"}) {
    if (!Has(h, reading)) continue;
    if (StartsWith(h, "名前") || StartsWith(h, "氏名")) return Role::kReading;
    if (StartsWith(h, "姓") || Has(h, "(姓)")) return Role::kFamilyReading;
    if (StartsWith(h, "名") || Has(h, "(名)")) return Role::kGivenReading;
    if (Has(h, "会社")) return Role::kNone;
  }
  if (StartsWith(h, "phonetic")) {
    if (Has(h, "last") || Has(h, "family")) return Role::kFamilyReading;
    if (Has(h, "first") || Has(h, "given")) return Role::kGivenReading;
    if (Has(h, "middle")) return Role::kNone;
    return Role::kReading;
  }
  if (StartsWith(h, "organization") || StartsWith(h, "organisation")) {
    if (Has(h, "yomi") || Has(h, "phonetic")) return Role::kNone;
    if (EndsWith(h, "name")) return Role::kOrganization;
    if (EndsWith(h, "department")) return Role::kDepartment;
    if (EndsWith(h, "title") && !Has(h, "jobdescription")) return Role::kTitle;
    return Role::kNone;
  }
  if (StartsWith(h, "phone") && EndsWith(h, "value")) return Role::kTypedPhone;
  if (StartsWith(h, "phone") && EndsWith(h, "type")) return Role::kPhoneType;
  if (StartsWith(h, "email") || StartsWith(h, "eメール") || StartsWith(h, "メール") ||
      StartsWith(h, "電子メール") || StartsWith(h, "携帯メール")) {
    if (EndsWith(h, "type") || EndsWith(h, "label")) return Role::kPhoneType;
    if (EndsWith(h, "displayname")) return Role::kNone;
    return Role::kEmail;
  }
  if (Has(h, "fax") || Has(h, "ファックス") || Has(h, "ファクス")) return Role::kFax;
  if (Has(h, "phone") || Has(h, "電話") || h == "携帯" || h == "tel" || EndsWith(h, "tel")) {
    return Role::kPhone;
  }
  return Role::kNone;
}

// Several values in one cell, as webmail exports write them: "a ::: b".
std::vector<std::string> Values(const std::string& cell) {
  std::vector<std::string> values;
  size_t at = 0;
  while (true) {
    size_t sep = cell.find(":::", at);
    std::string v =
        TrimBlanks(cell.substr(at, sep == std::string::npos ? std::string::npos : sep - at));
    if (!v.empty()) values.push_back(v);
    if (sep == std::string::npos) break;
    at = sep + 3;
  }
  return values;
}

std::vector<std::string> Categories(const std::string& cell) {
  std::vector<std::string> out;
  std::vector<std::string> parts;
  if (Has(cell, ":::")) {
    parts = Values(cell);
  } else {
    char separator = Has(cell, ";") ? ';' : ',';
    size_t at = 0;
    while (true) {
      size_t sep = cell.find(separator, at);
      parts.push_back(
          TrimBlanks(cell.substr(at, sep == std::string::npos ? std::string::npos : sep - at)));
      if (sep == std::string::npos) break;
      at = sep + 1;
    }
  }
  for (const std::string& p : parts) {
    // System groups of webmail exports ("* myContacts", "* starred") are no categories.
    if (p.empty() || p[0] == '*') continue;
    out.push_back(p);
  }
  return out;
}

std::string Lines(const std::string& s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\r') {
      if (i + 1 < s.size() && s[i + 1] == '\n') ++i;
      out += '\n';
    } else {
      out += s[i];
    }
  }
  return TrimBlanks(out);
}

}  // namespace

const char* ColumnFieldNames() {
  return "name, family-name, given-name, middle-name, furigana (or reading), family-reading, "
         "given-reading, affiliation, department, title, fax, phone, email, memo, groups, ignore";
}

bool ParseColumnMap(const std::string& text, std::vector<ColumnMapping>* out, std::string* why) {
  out->clear();
  size_t at = 0;
  while (at <= text.size()) {
    size_t comma = text.find(',', at);
    std::string item =
        TrimBlanks(text.substr(at, comma == std::string::npos ? std::string::npos : comma - at));
    at = comma == std::string::npos ? text.size() + 1 : comma + 1;
    if (item.empty()) continue;
    size_t eq = item.rfind('=');
    if (eq == std::string::npos || eq == 0) {
      *why = "--map: \"" + item + "\" is not HEADER=FIELD";
      return false;
    }
    ColumnMapping m{TrimBlanks(item.substr(0, eq)), TrimBlanks(item.substr(eq + 1))};
    for (char& c : m.field) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    if (FieldNames().count(m.field) == 0) {
      *why = "--map: \"" + m.field + "\" is no field; the fields are " + ColumnFieldNames();
      return false;
    }
    out->push_back(m);
  }
  return true;
}

bool SplitCsv(const std::string& text, std::vector<std::vector<std::string>>* records,
              std::vector<int>* lines, FileProblem* problem) {
  records->clear();
  lines->clear();
  *problem = FileProblem();
  size_t first_end = text.find_first_of("\r\n");
  std::string header = text.substr(0, first_end);
  char separator =
      header.find('\t') != std::string::npos && header.find(',') == std::string::npos ? '\t' : ',';
  int line = 1;
  size_t i = 0;
  while (i < text.size()) {
    std::vector<std::string> fields;
    int record_line = line;
    bool end_of_record = false;
    while (!end_of_record) {
      std::string field;
      if (i < text.size() && text[i] == '"') {
        int quote_line = line;
        ++i;
        while (true) {
          if (i >= text.size()) {
            problem->line = quote_line;
            problem->reason = "a quoted field that begins on this line never closes";
            return false;
          }
          if (text[i] == '"') {
            if (i + 1 < text.size() && text[i + 1] == '"') {
              field += '"';
              i += 2;
              continue;
            }
            ++i;
            break;
          }
          if (text[i] == '\n' ||
              (text[i] == '\r' && (i + 1 >= text.size() || text[i + 1] != '\n'))) {
            ++line;
          }
          field += text[i++];
        }
        if (i < text.size() && text[i] != separator && text[i] != '\r' && text[i] != '\n') {
          problem->line = line;
          problem->reason = "text follows the closing double quote of a field";
          return false;
        }
      } else {
        while (i < text.size() && text[i] != separator && text[i] != '\r' && text[i] != '\n') {
          field += text[i++];
        }
      }
      fields.push_back(field);
      if (i >= text.size()) {
        end_of_record = true;
      } else if (text[i] == separator) {
        ++i;
      } else {
        i += text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n' ? 2 : 1;
        ++line;
        end_of_record = true;
      }
    }
    bool blank = fields.size() == 1 && TrimBlanks(fields[0]).empty();
    if (!blank) {
      records->push_back(fields);
      lines->push_back(record_line);
    }
  }
  return true;
}

bool ReadCsvContacts(const std::string& utf8, const std::vector<ColumnMapping>& map,
                     std::vector<Contact>* out, std::vector<std::string>* unused,
                     FileProblem* problem) {
  out->clear();
  unused->clear();
  *problem = FileProblem();
  std::vector<std::vector<std::string>> records;
  std::vector<int> lines;
  if (!SplitCsv(utf8, &records, &lines, problem)) return false;
  if (records.empty()) return true;
  const std::vector<std::string>& header = records[0];
  std::vector<Role> roles(header.size(), Role::kNone);
  for (size_t c = 0; c < header.size(); ++c) roles[c] = KnownRole(Normalise(header[c]));
  for (const ColumnMapping& m : map) {
    bool found = false;
    for (size_t c = 0; c < header.size(); ++c) {
      if (TrimBlanks(header[c]) == m.header || Normalise(header[c]) == Normalise(m.header)) {
        roles[c] = FieldNames().at(m.field);
        found = true;
      }
    }
    if (!found) {
      problem->line = lines[0];
      problem->usage = true;
      problem->reason = "--map names the column \"" + m.header + "\", but the header row has none";
      return false;
    }
  }
  // The type column of each "Phone N - Value": the same header with "Type" for "Value".
  std::vector<int> type_column(header.size(), -1);
  bool named = false;
  for (size_t c = 0; c < header.size(); ++c) {
    Role r = roles[c];
    named = named || r == Role::kName || r == Role::kFamily || r == Role::kGiven ||
            r == Role::kOrganization;
    if (r == Role::kNone && !TrimBlanks(header[c]).empty()) unused->push_back(header[c]);
    if (r != Role::kTypedPhone) continue;
    std::string want = Normalise(header[c]);
    want = want.substr(0, want.size() - 5) + "type";
    for (size_t t = 0; t < header.size(); ++t) {
      if (Normalise(header[t]) == want) type_column[c] = static_cast<int>(t);
    }
  }
  if (!named) {
    problem->line = lines[0];
    problem->reason =
        "no column of the header row holds a name or a company (name one with --map, e.g. "
        "--map 'Kontakt=name')";
    return false;
  }
  for (size_t r = 1; r < records.size(); ++r) {
    const std::vector<std::string>& row = records[r];
    for (size_t c = header.size(); c < row.size(); ++c) {
      if (!TrimBlanks(row[c]).empty()) {
        problem->line = lines[r];
        problem->reason = "the row has " + std::to_string(row.size()) + " fields, more than the " +
                          std::to_string(header.size()) + " columns of the header row";
        return false;
      }
    }
    Contact contact;
    contact.line = lines[r];
    std::vector<std::string> readings;
    for (size_t c = 0; c < header.size() && c < row.size(); ++c) {
      std::string cell = Lines(row[c]);
      if (cell.empty()) continue;
      switch (roles[c]) {
        case Role::kName:
          if (contact.name.empty()) contact.name = cell;
          break;
        case Role::kFamily:
          if (contact.family.empty()) contact.family = cell;
          break;
        case Role::kGiven:
          if (contact.given.empty()) contact.given = cell;
          break;
        case Role::kMiddle:
          if (contact.middle.empty()) contact.middle = cell;
          break;
        case Role::kReading:
          if (contact.reading.empty()) contact.reading = cell;
          break;
        case Role::kFamilyReading:
          if (contact.family_reading.empty()) contact.family_reading = cell;
          break;
        case Role::kGivenReading:
          if (contact.given_reading.empty()) contact.given_reading = cell;
          break;
        case Role::kOrganization:
          contact.organization.insert(contact.organization.begin(), cell);
          break;
        case Role::kDepartment:
          contact.organization.push_back(cell);
          break;
        case Role::kTitle:
          if (contact.title.empty()) contact.title = cell;
          break;
        case Role::kFax:
          for (const std::string& v : Values(cell)) contact.faxes.push_back(v);
          break;
        case Role::kPhone:
          for (const std::string& v : Values(cell)) contact.phones.push_back(v);
          break;
        case Role::kTypedPhone: {
          int t = type_column[c];
          std::string type =
              t >= 0 && static_cast<size_t>(t) < row.size() ? Normalise(row[t]) : std::string();
          bool fax = Has(type, "fax") || Has(type, "ファックス") || Has(type, "ファクス");
          for (const std::string& v : Values(cell))
            (fax ? contact.faxes : contact.phones).push_back(v);
          break;
        }
        case Role::kEmail:
          for (const std::string& v : Values(cell)) contact.emails.push_back(v);
          break;
        case Role::kMemo:
          contact.note += (contact.note.empty() ? "" : "\n") + cell;
          break;
        case Role::kGroups:
          for (const std::string& g : Categories(cell)) contact.categories.push_back(g);
          break;
        case Role::kPhoneType:
        case Role::kIgnore:
        case Role::kNone:
          break;
      }
    }
    out->push_back(contact);
  }
  return true;
}

}  // namespace tool
}  // namespace telbook
