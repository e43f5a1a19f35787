// Readings through MeCab's C interface and the IPA dictionary (the reading is the eighth field
// of a word's features); without MeCab at build time no reading is derived. Kana forms and
// legal forms are plain tables.
#include "tools/readings.h"

#include <cstdint>
#include <cstring>
#include <vector>

#include "tools/text.h"

#if TELBOOK_HAVE_MECAB
#include <mecab.h>
#include <sys/stat.h>
#endif

namespace telbook {
namespace tool {
namespace {

bool IsHiragana(uint32_t cp) { return cp >= 0x3041 && cp <= 0x309F; }
bool IsKatakana(uint32_t cp) { return cp >= 0x30A1 && cp <= 0x30FA; }
bool IsHalfWidthKana(uint32_t cp) { return cp >= 0xFF66 && cp <= 0xFF9D; }
bool IsKanji(uint32_t cp) {
  return (cp >= 0x4E00 && cp <= 0x9FFF) || (cp >= 0x3400 && cp <= 0x4DBF) ||
         (cp >= 0xF900 && cp <= 0xFAFF) || (cp >= 0x20000 && cp <= 0x2FFFF) || cp == 0x3005 ||
         cp == 0x3006;
}

// Half-width forms of the katakana U+30A1 to U+30F6, in order.
const char* const kHalfWidth[] = {
    "ｧ",  "ｱ",  "ｨ",  "ｲ",  "ｩ",  "ｳ",  "ｪ",  "ｴ", "ｫ",  "ｵ",  "ｶ",  "ｶﾞ", "ｷ",  "ｷﾞ", "ｸ",
    "ｸﾞ", "ｹ",  "ｹﾞ", "ｺ",  "ｺﾞ", "ｻ",  "ｻﾞ", "ｼ", "ｼﾞ", "ｽ",  "ｽﾞ", "ｾ",  "ｾﾞ", "ｿ",  "ｿﾞ",
    "ﾀ",  "ﾀﾞ", "ﾁ",  "ﾁﾞ", "ｯ",  "ﾂ",  "ﾂﾞ", "ﾃ", "ﾃﾞ", "ﾄ",  "ﾄﾞ", "ﾅ",  "ﾆ",  "ﾇ",  "ﾈ",
    "ﾉ",  "ﾊ",  "ﾊﾞ", "ﾊﾟ", "ﾋ",  "ﾋﾞ", "ﾋﾟ", "ﾌ", "ﾌﾞ", "ﾌﾟ", "ﾍ",  "ﾍﾞ", "ﾍﾟ", "ﾎ",  "ﾎﾞ",
    "ﾎﾟ", "ﾏ",  "ﾐ",  "ﾑ",  "ﾒ",  "ﾓ",  "ｬ",  "ﾔ", "ｭ",  "ﾕ",  "ｮ",  "ﾖ",  "ﾗ",  "ﾘ",  "ﾙ",
    "ﾚ",  "ﾛ",  "ﾜ",  "ﾜ",  "ｲ",  "ｴ",  "ｦ",  "ﾝ", "ｳﾞ", "ｶ",  "ｹ"};
static_assert(sizeof(kHalfWidth) / sizeof(kHalfWidth[0]) == 0x30F6 - 0x30A1 + 1,
              "one half-width form per katakana");

// Legal forms, longest first where one holds another.
const char* const kLegalForms[] = {
    "特定非営利活動法人",
    "一般社団法人",
    "一般財団法人",
    "公益社団法人",
    "公益財団法人",
    "社会福祉法人",
    "医療法人社団",
    "医療法人財団",
    "独立行政法人",
    "国立大学法人",
    "株式会社",
    "有限会社",
    "合同会社",
    "合資会社",
    "合名会社",
    "相互会社",
    "医療法人",
    "学校法人",
    "宗教法人",
    "社団法人",
    "財団法人",
    "税理士法人",
    "弁護士法人",
    "司法書士法人",
    "行政書士法人",
    "NPO法人",
    "ＮＰＯ法人",
    "(株)",
    "（株）",
    "㈱",
    "(有)",
    "（有）",
    "㈲",
    "(合)",
    "（合）",
    "(同)",
    "（同）",
    "(資)",
    "（資）",
    "(名)",
    "（名）",
    "(社)",
    "（社）",
    "㈳",
    "(財)",
    "（財）",
    "㈶",
    "(医)",
    "（医）",
    "(学)",
    "（学）",
    "(福)",
    "（福）",
    "(特非)",
    "（特非）",
    "(一社)",
    "（一社）",
    "(一財)",
    "（一財）",
    "(公社)",
    "（公社）",
    "(公財)",
    "（公財）",
    "(ｶ)",
    "(ﾕ)",
};

}  // namespace

const char* KanaFormName(KanaForm form) {
  switch (form) {
    case KanaForm::kKatakana:
      return "katakana";
    case KanaForm::kHalfWidth:
      return "half-width katakana";
    case KanaForm::kHiragana:
      break;
  }
  return "hiragana";
}

KanaForm MostUsedKanaForm(const std::vector<std::string>& readings) {
  int counts[3] = {0, 0, 0};
  for (const std::string& r : readings) {
    for (size_t i = 0; i < r.size();) {
      uint32_t cp = 0;
      i += NextUtf8(r, i, &cp);
      if (IsHiragana(cp)) {
        ++counts[0];
      } else if (IsKatakana(cp)) {
        ++counts[1];
      } else if (IsHalfWidthKana(cp)) {
        ++counts[2];
      } else {
        continue;
      }
      break;
    }
  }
  if (counts[1] > counts[0] && counts[1] >= counts[2]) return KanaForm::kKatakana;
  if (counts[2] > counts[0] && counts[2] > counts[1]) return KanaForm::kHalfWidth;
  return KanaForm::kHiragana;
}

std::string ToKanaForm(const std::string& utf8, KanaForm form) {
  std::string out;
  for (size_t i = 0; i < utf8.size();) {
    uint32_t cp = 0;
    size_t n = NextUtf8(utf8, i, &cp);
    if (form == KanaForm::kHiragana && cp >= 0x30A1 && cp <= 0x30F3) {
      AppendUtf8(cp - 0x60, &out);
    } else if (form == KanaForm::kHiragana && (cp == 0x30FD || cp == 0x30FE)) {
      AppendUtf8(cp - 0x60, &out);
    } else if (form != KanaForm::kHiragana && cp >= 0x3041 && cp <= 0x3093) {
      cp += 0x60;
      if (form == KanaForm::kHalfWidth) {
        out += kHalfWidth[cp - 0x30A1];
      } else {
        AppendUtf8(cp, &out);
      }
    } else if (form != KanaForm::kHiragana && (cp == 0x309D || cp == 0x309E)) {
      AppendUtf8(cp + 0x60, &out);
    } else if (form == KanaForm::kHalfWidth && cp >= 0x30A1 && cp <= 0x30F6) {
      out += kHalfWidth[cp - 0x30A1];
    } else if (form == KanaForm::kHalfWidth && cp == 0x30FC) {
      out += "ｰ";
    } else if (form == KanaForm::kHalfWidth && cp == 0x30FB) {
      out += "･";
    } else {
      out.append(utf8, i, n);
    }
    i += n;
  }
  return out;
}

bool HasJapaneseScript(const std::string& utf8) {
  for (size_t i = 0; i < utf8.size();) {
    uint32_t cp = 0;
    i += NextUtf8(utf8, i, &cp);
    if (IsHiragana(cp) || IsKatakana(cp) || cp == 0x30FC || IsHalfWidthKana(cp) || IsKanji(cp)) {
      return true;
    }
  }
  return false;
}

std::string WithoutLegalForm(const std::string& utf8) {
  std::string name = TrimBlanks(utf8);
  bool changed = true;
  while (changed) {
    changed = false;
    for (const char* form : kLegalForms) {
      size_t n = strlen(form);
      if (name.size() <= n) continue;
      if (name.compare(0, n, form) == 0) {
        name = TrimBlanks(name.substr(n));
        changed = true;
      } else if (name.compare(name.size() - n, n, form) == 0) {
        name = TrimBlanks(name.substr(0, name.size() - n));
        changed = true;
      }
    }
  }
  return name.empty() ? TrimBlanks(utf8) : name;
}

#if TELBOOK_HAVE_MECAB

struct ReadingDeriver::Impl {
  mecab_t* tagger = nullptr;
  ~Impl() {
    if (tagger != nullptr) mecab_destroy(tagger);
  }
};

ReadingDeriver::ReadingDeriver() : impl_(new Impl) {
  // The IPA dictionary in UTF-8 where Debian puts it; else the one MeCab's own settings name.
  struct stat st;
  const char* ipadic = "/var/lib/mecab/dic/ipadic-utf8";
  if (stat(ipadic, &st) == 0 && S_ISDIR(st.st_mode)) {
    impl_->tagger = mecab_new2((std::string("-d ") + ipadic).c_str());
  }
  if (impl_->tagger == nullptr) impl_->tagger = mecab_new2("");
}

ReadingDeriver::~ReadingDeriver() = default;

bool ReadingDeriver::available() const { return impl_->tagger != nullptr; }

namespace {

// Appends the katakana reading of one word of the dictionary; false when it has none and is
// written in kanji.
bool ReadNode(const mecab_node_t* node, std::string* out) {
  std::string surface(node->surface, node->length);
  // IPA features: part of speech (four fields), conjugation (two), base form, reading, sound.
  std::vector<std::string> features;
  const char* f = node->feature;
  while (f != nullptr) {
    const char* comma = strchr(f, ',');
    features.emplace_back(f, comma == nullptr ? strlen(f) : static_cast<size_t>(comma - f));
    f = comma == nullptr ? nullptr : comma + 1;
  }
  if (node->stat == MECAB_NOR_NODE && features.size() > 7 && features[7] != "*") {
    *out += features[7];
    return true;
  }
  for (size_t i = 0; i < surface.size();) {
    uint32_t cp = 0;
    i += NextUtf8(surface, i, &cp);
    if (IsKanji(cp)) return false;
  }
  *out += ToKanaForm(surface, KanaForm::kKatakana);
  return true;
}

}  // namespace

bool ReadingDeriver::Derive(const std::string& utf8, std::string* katakana) const {
  katakana->clear();
  if (impl_->tagger == nullptr) return false;
  // The whole name at once: a given name reads best beside its family name.
  const mecab_node_t* node = mecab_sparse_tonode2(impl_->tagger, utf8.data(), utf8.size());
  if (node == nullptr) return false;
  for (; node != nullptr; node = node->next) {
    if (node->stat == MECAB_BOS_NODE || node->stat == MECAB_EOS_NODE) continue;
    // The blanks the dictionary skipped before the word are kept as they are.
    size_t blanks = node->rlength > node->length ? node->rlength - node->length : 0;
    katakana->append(node->surface - blanks, blanks);
    if (!ReadNode(node, katakana)) return false;
  }
  return true;
}

#else

struct ReadingDeriver::Impl {};
ReadingDeriver::ReadingDeriver() : impl_(new Impl) {}
ReadingDeriver::~ReadingDeriver() = default;
bool ReadingDeriver::available() const { return false; }
bool ReadingDeriver::Derive(const std::string&, std::string* katakana) const {
  katakana->clear();
  return false;
}

#endif

}  // namespace tool
}  // namespace telbook
