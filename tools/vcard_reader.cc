// vCard reading: physical lines are unfolded (a leading blank continues a line; a
// quoted-printable value ending in "=" and base64 data of version 2.1 run on), each property is
// split into group, name, parameters and value, and the values a phone book keeps are decoded
// and gathered per card.
#include "tools/vcard_reader.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <memory>
#include <set>
#include <utility>

#include "tools/text.h"

namespace telbook {
namespace tool {
namespace {

std::string Upper(std::string s) {
  for (char& c : s) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
  return s;
}

// The start of a line for a message, cut at a character boundary.
std::string Excerpt(const std::string& utf8) {
  size_t n = 40;
  if (utf8.size() <= n) return utf8;
  while (n > 0 && (static_cast<unsigned char>(utf8[n]) & 0xC0) == 0x80) --n;
  return utf8.substr(0, n) + "...";
}

struct Line {
  int number = 0;
  std::string text;
};

// The part of a logical line before its value, in upper case, for the encoding tests; looked at
// as lines grow, so bounded (no name and parameters run that long).
std::string Head(const std::string& text) {
  return Upper(text.substr(0, std::min<size_t>(text.find(':'), 512)));
}

bool IsQuotedPrintable(const std::string& text) {
  return Head(text).find("QUOTED-PRINTABLE") != std::string::npos;
}

bool IsBase64(const std::string& text) {
  std::string head = Head(text);
  return head.find("BASE64") != std::string::npos || head.find("ENCODING=B") != std::string::npos;
}

std::vector<Line> Unfold(const std::string& text) {
  std::vector<Line> lines;
  bool qp_runs_on = false;
  bool base64_runs_on = false;
  int number = 0;
  for (size_t at = 0; at < text.size();) {
    size_t end = text.find_first_of("\r\n", at);
    if (end == std::string::npos) end = text.size();
    std::string physical = text.substr(at, end - at);
    if (end == text.size()) {
      at = end;
    } else if (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') {
      at = end + 2;
    } else {
      at = end + 1;
    }
    ++number;
    if (!lines.empty() && qp_runs_on) {
      lines.back().text += physical;
    } else if (!lines.empty() && !physical.empty() && (physical[0] == ' ' || physical[0] == '\t')) {
      lines.back().text += physical.substr(1);
    } else if (!lines.empty() && base64_runs_on && !physical.empty() &&
               physical.find(':') == std::string::npos) {
      lines.back().text += physical;
    } else {
      lines.push_back({number, physical});
      base64_runs_on = false;
    }
    Line& last = lines.back();
    qp_runs_on = !last.text.empty() && last.text.back() == '=' && IsQuotedPrintable(last.text);
    if (qp_runs_on) last.text.pop_back();
    if (physical.empty()) {
      base64_runs_on = false;
    } else if (IsBase64(last.text)) {
      base64_runs_on = true;
    }
  }
  return lines;
}

struct Property {
  std::string name;                                         // upper case, without its group
  std::vector<std::pair<std::string, std::string>> params;  // upper-case names
  std::set<std::string> types;                              // upper case
  std::string value;
};

std::string Unquote(const std::string& s) {
  if (s.size() >= 2 && s.front() == '"' && s.back() == '"') return s.substr(1, s.size() - 2);
  return s;
}

// Splits a list at separators outside double quotes.
std::vector<std::string> SplitOutsideQuotes(const std::string& s, char separator) {
  std::vector<std::string> parts;
  std::string part;
  bool quoted = false;
  for (char c : s) {
    if (c == '"') quoted = !quoted;
    if (c == separator && !quoted) {
      parts.push_back(part);
      part.clear();
    } else {
      part += c;
    }
  }
  parts.push_back(part);
  return parts;
}

bool ParseProperty(const std::string& text, Property* p) {
  size_t colon = std::string::npos;
  bool quoted = false;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '"') quoted = !quoted;
    if (text[i] == ':' && !quoted) {
      colon = i;
      break;
    }
  }
  if (colon == std::string::npos) return false;
  std::vector<std::string> head = SplitOutsideQuotes(text.substr(0, colon), ';');
  std::string name = Upper(TrimBlanks(head[0]));
  size_t dot = name.rfind('.');
  p->name = dot == std::string::npos ? name : name.substr(dot + 1);
  if (p->name.empty()) return false;
  for (size_t i = 1; i < head.size(); ++i) {
    std::string param = TrimBlanks(head[i]);
    if (param.empty()) continue;
    size_t eq = param.find('=');
    std::string key = Upper(TrimBlanks(param.substr(0, eq)));
    std::string value = eq == std::string::npos ? std::string() : TrimBlanks(param.substr(eq + 1));
    if (eq == std::string::npos) {
      // Version 2.1 names a parameter's value alone: "TEL;FAX;WORK", "N;QUOTED-PRINTABLE".
      static const std::set<std::string> kEncodings = {"QUOTED-PRINTABLE", "BASE64", "8BIT",
                                                       "7BIT"};
      value = key;
      key = kEncodings.count(key) != 0 ? "ENCODING" : "TYPE";
    }
    if (key == "TYPE") {
      for (const std::string& t : SplitOutsideQuotes(Unquote(value), ',')) {
        p->types.insert(Upper(TrimBlanks(Unquote(t))));
      }
    }
    p->params.emplace_back(key, value);
  }
  p->value = text.substr(colon + 1);
  return true;
}

std::string Param(const Property& p, const std::string& key) {
  for (const auto& [k, v] : p.params) {
    if (k == key) return v;
  }
  return std::string();
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

std::string DecodeQuotedPrintable(const std::string& s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '=' && i + 2 < s.size() && HexDigit(s[i + 1]) >= 0 && HexDigit(s[i + 2]) >= 0) {
      out += static_cast<char>(HexDigit(s[i + 1]) * 16 + HexDigit(s[i + 2]));
      i += 2;
    } else {
      out += s[i];
    }
  }
  return out;
}

bool DecodeBase64(const std::string& s, std::string* out) {
  out->clear();
  uint32_t bits = 0;
  int count = 0;
  for (char c : s) {
    int v;
    if (c >= 'A' && c <= 'Z') {
      v = c - 'A';
    } else if (c >= 'a' && c <= 'z') {
      v = c - 'a' + 26;
    } else if (c >= '0' && c <= '9') {
      v = c - '0' + 52;
    } else if (c == '+') {
      v = 62;
    } else if (c == '/') {
      v = 63;
    } else if (c == '=' || c == ' ' || c == '\t') {
      continue;
    } else {
      return false;
    }
    bits = (bits << 6) | static_cast<uint32_t>(v);
    count += 6;
    if (count >= 8) {
      count -= 8;
      *out += static_cast<char>((bits >> count) & 0xFF);
    }
  }
  return true;
}

// The value of a property as UTF-8 text, line breaks as "\n"; escapes are still in it.
bool DecodeValue(const Property& p, Encoding file_encoding, std::string* out, std::string* why) {
  std::string encoding = Upper(Param(p, "ENCODING"));
  std::string charset = Param(p, "CHARSET");
  std::string bytes;
  if (encoding == "QUOTED-PRINTABLE") {
    bytes = DecodeQuotedPrintable(p.value);
  } else if (encoding == "BASE64" || encoding == "B") {
    if (!DecodeBase64(p.value, &bytes)) {
      *why = "its base64 value holds a character base64 does not use";
      return false;
    }
  } else {
    // The file was decoded whole: the value is UTF-8 already.
    bytes = p.value;
    charset = "UTF-8";
  }
  if (!charset.empty()) {
    if (!DecodeCharset(bytes, charset, out, why)) return false;
  } else {
    const char* first = file_encoding == Encoding::kCp932 ? "CP932" : "UTF-8";
    if (!DecodeCharset(bytes, first, out, why) && !DecodeCharset(bytes, "CP932", out, why)) {
      return false;
    }
  }
  std::string text;
  for (size_t i = 0; i < out->size(); ++i) {
    char c = (*out)[i];
    if (c == '\r') {
      if (i + 1 < out->size() && (*out)[i + 1] == '\n') ++i;
      text += '\n';
    } else {
      text += c;
    }
  }
  *out = text;
  return true;
}

// Splits a value at unescaped separators (0 for none) and resolves the escapes of each part.
std::vector<std::string> Unescape(const std::string& s, char separator) {
  std::vector<std::string> parts(1);
  for (size_t i = 0; i < s.size(); ++i) {
    char c = s[i];
    if (c == '\\' && i + 1 < s.size()) {
      char e = s[++i];
      if (e == 'n' || e == 'N') {
        parts.back() += '\n';
      } else if (e == ',' || e == ';' || e == '\\' || e == ':') {
        parts.back() += e;
      } else {
        parts.back() += c;
        parts.back() += e;
      }
    } else if (separator != 0 && c == separator) {
      parts.emplace_back();
    } else {
      parts.back() += c;
    }
  }
  for (std::string& part : parts) part = TrimBlanks(part);
  return parts;
}

std::string Part(const std::vector<std::string>& parts, size_t i) {
  return i < parts.size() ? parts[i] : std::string();
}

// What one card said, before it becomes a Contact.
class CardBuilder {
 public:
  explicit CardBuilder(int line) { contact_.line = line; }

  void Fault(int line, const std::string& why) {
    if (contact_.problem.empty()) contact_.problem = "line " + std::to_string(line) + ": " + why;
  }

  void Take(const Property& p, int line, Encoding file_encoding) {
    static const std::set<std::string> kKept = {"FN",
                                                "N",
                                                "SORT-STRING",
                                                "X-PHONETIC-LAST-NAME",
                                                "X-PHONETIC-FIRST-NAME",
                                                "SOUND",
                                                "ORG",
                                                "TITLE",
                                                "TEL",
                                                "EMAIL",
                                                "NOTE",
                                                "CATEGORIES"};
    if (kKept.count(p.name) == 0) return;
    if (p.name == "SOUND" && p.types.count("X-IRMC-N") == 0) return;
    std::string value;
    std::string why;
    if (!DecodeValue(p, file_encoding, &value, &why)) {
      Fault(line, p.name + ": " + why);
      return;
    }
    if (p.name == "FN") {
      contact_.name = Unescape(value, 0)[0];
    } else if (p.name == "N") {
      n_ = Unescape(value, ';');
      std::string sort_as = Param(p, "SORT-AS");
      if (!sort_as.empty()) sort_as_ = Unescape(Unquote(sort_as), ',');
    } else if (p.name == "SORT-STRING") {
      sort_string_ = Unescape(value, 0)[0];
    } else if (p.name == "X-PHONETIC-LAST-NAME") {
      phonetic_last_ = Unescape(value, 0)[0];
    } else if (p.name == "X-PHONETIC-FIRST-NAME") {
      phonetic_first_ = Unescape(value, 0)[0];
    } else if (p.name == "SOUND") {
      irmc_ = Unescape(value, ';');
    } else if (p.name == "ORG") {
      if (!contact_.organization.empty()) return;
      for (const std::string& part : Unescape(value, ';')) {
        if (!part.empty()) contact_.organization.push_back(part);
      }
    } else if (p.name == "TITLE") {
      if (contact_.title.empty()) contact_.title = Unescape(value, 0)[0];
    } else if (p.name == "TEL") {
      std::string number = Unescape(value, 0)[0];
      if (Upper(number.substr(0, 4)) == "TEL:") number = number.substr(4);
      number = TrimBlanks(number.substr(0, number.find(';')));
      if (number.empty()) return;
      if (p.types.count("FAX") != 0) {
        contact_.faxes.push_back(number);
      } else if (p.types.count("PAGER") == 0) {
        contact_.phones.push_back(number);
      }
    } else if (p.name == "EMAIL") {
      std::string address = Unescape(value, 0)[0];
      if (Upper(address.substr(0, 7)) == "MAILTO:") address = address.substr(7);
      if (!address.empty()) contact_.emails.push_back(address);
    } else if (p.name == "NOTE") {
      std::string note = Unescape(value, 0)[0];
      if (note.empty()) return;
      contact_.note += (contact_.note.empty() ? "" : "\n") + note;
    } else if (p.name == "CATEGORIES") {
      for (const std::string& c : Unescape(value, ',')) {
        if (!c.empty()) contact_.categories.push_back(c);
      }
    }
  }

  Contact Finish() {
    contact_.family = Part(n_, 0);
    contact_.given = Part(n_, 1);
    contact_.middle = Part(n_, 2);
    // The first source of a reading that has one wins.
    std::vector<std::pair<std::string, std::string>> parts = {
        {Part(sort_as_, 0), Part(sort_as_, 1)},
        {phonetic_last_, phonetic_first_},
        {Part(irmc_, 0), Part(irmc_, 1)},
    };
    for (const auto& [family, given] : parts) {
      if (family.empty() && given.empty()) continue;
      // A whole reading that says the same keeps the spacing the parts lost.
      if (!sort_string_.empty() && WithoutBlanks(sort_string_) == WithoutBlanks(family + given)) {
        contact_.reading = sort_string_;
      } else {
        contact_.family_reading = family;
        contact_.given_reading = given;
      }
      return contact_;
    }
    contact_.reading = sort_string_;
    return contact_;
  }

 private:
  Contact contact_;
  std::vector<std::string> n_;
  std::vector<std::string> sort_as_;
  std::vector<std::string> irmc_;
  std::string phonetic_last_;
  std::string phonetic_first_;
  std::string sort_string_;
};

bool IsBeginVcard(const std::string& text) {
  Property p;
  return ParseProperty(text, &p) && p.name == "BEGIN" && Upper(TrimBlanks(p.value)) == "VCARD";
}

bool IsEndVcard(const std::string& text) {
  Property p;
  return ParseProperty(text, &p) && p.name == "END" && Upper(TrimBlanks(p.value)) == "VCARD";
}

}  // namespace

bool LooksLikeVcard(const std::string& utf8) {
  size_t at = utf8.find_first_not_of(" \t\r\n");
  if (at == std::string::npos) return false;
  size_t end = utf8.find_first_of("\r\n", at);
  return IsBeginVcard(utf8.substr(at, end == std::string::npos ? std::string::npos : end - at));
}

bool ReadVcards(const std::string& utf8, Encoding file_encoding, std::vector<Contact>* out,
                FileProblem* problem) {
  out->clear();
  *problem = FileProblem();
  std::vector<Line> lines = Unfold(utf8);
  std::unique_ptr<CardBuilder> card;
  int card_line = 0;
  int nested = 0;  // cards inside a card (an AGENT of version 2.1) are skipped
  for (const Line& line : lines) {
    if (TrimBlanks(line.text).empty()) continue;
    if (!card) {
      if (!IsBeginVcard(line.text)) {
        problem->line = line.number;
        problem->reason =
            "\"" + Excerpt(line.text) + "\" stands outside a card; a vCard begins with BEGIN:VCARD";
        return false;
      }
      card.reset(new CardBuilder(line.number));
      card_line = line.number;
      continue;
    }
    // Version 2.1 writes an agent's card on lines of its own; later versions escape it into
    // one value, which is skipped as an unknown property.
    if (IsBeginVcard(line.text)) {
      ++nested;
      continue;
    }
    if (IsEndVcard(line.text)) {
      if (nested > 0) {
        --nested;
        continue;
      }
      out->push_back(card->Finish());
      card.reset();
      continue;
    }
    if (nested > 0) continue;
    Property p;
    if (!ParseProperty(line.text, &p)) {
      card->Fault(line.number, "\"" + Excerpt(line.text) + "\" is no property (no colon)");
      continue;
    }
    card->Take(p, line.number, file_encoding);
  }
  if (card) {
    problem->line = card_line;
    problem->reason = "the card that begins here has no END:VCARD (is the file cut short?)";
    return false;
  }
  return true;
}

}  // namespace tool
}  // namespace telbook
