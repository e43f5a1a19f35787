// Readings of names: the reading a morphological dictionary gives a name written in kanji, the
// company legal forms a phone book does not file by, and the kana form (hiragana, katakana or
// half-width katakana) a book writes its readings in.
#ifndef TELBOOK_TOOLS_READINGS_H_
#define TELBOOK_TOOLS_READINGS_H_

#include <memory>
#include <string>
#include <vector>

namespace telbook {
namespace tool {

enum class KanaForm { kHiragana, kKatakana, kHalfWidth };
const char* KanaFormName(KanaForm form);

// The form most of the readings begin in; hiragana when none begins with kana, and on a tie.
KanaForm MostUsedKanaForm(const std::vector<std::string>& readings);

// Kana of UTF-8 text written in the form; everything else is kept. Characters the form has no
// place for in code page 932 (ヴ, ヵ, ヶ in hiragana) stay katakana.
std::string ToKanaForm(const std::string& utf8, KanaForm form);

// True when the text holds kana or kanji.
bool HasJapaneseScript(const std::string& utf8);

// The name without a company's legal form before or after it (株式会社, 有限会社, (株), ㈱ and
// the like), as a phone book files the company; the name itself when nothing else is left.
std::string WithoutLegalForm(const std::string& utf8);

// Derives readings with MeCab and its IPA dictionary when the tool was built with them.
class ReadingDeriver {
 public:
  ReadingDeriver();
  ~ReadingDeriver();
  ReadingDeriver(const ReadingDeriver&) = delete;
  ReadingDeriver& operator=(const ReadingDeriver&) = delete;

  // False when the tool was built without MeCab or its dictionary cannot be loaded.
  bool available() const;

  // The reading of a name in full-width katakana: each word read on its own and the blanks
  // between them kept; Latin letters, digits and kana read as written. False when no
  // dictionary is available or a word holding kanji has no reading in it.
  bool Derive(const std::string& utf8, std::string* katakana) const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace tool
}  // namespace telbook

#endif  // TELBOOK_TOOLS_READINGS_H_
