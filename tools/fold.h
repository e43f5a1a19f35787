// Folding of text for the search: the differences Japanese users expect a search to ignore
// (hiragana and katakana, half-width and full-width forms, upper and lower case) taken out.
#ifndef TELBOOK_TOOLS_FOLD_H_
#define TELBOOK_TOOLS_FOLD_H_

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace telbook {
namespace tool {

class Folder {
 public:
  Folder();
  ~Folder();
  Folder(const Folder&) = delete;
  Folder& operator=(const Folder&) = delete;

  // The folded form of UTF-8 text: compatibility forms normalised (full-width Latin to ASCII,
  // half-width katakana to full-width with their sound marks joined), katakana to hiragana,
  // lower case. Two texts the user would call the same fold to the same string.
  std::string Fold(const std::string& utf8) const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// Folds the code page 932 texts of a phone book to what Folder::Fold makes of their UTF-8, for a
// search through every record: each character is converted and folded once, when it is first
// met, and looked up after that. The characters whose folding depends on the one before them
// (the half-width sound marks, which join the kana they follow, and the prolonged sound marks,
// which take its vowel) are folded together with it; a text holding a Greek capital sigma,
// lowered by the letters around it, is folded whole.
class Cp932Folder {
 public:
  explicit Cp932Folder(const Folder& folder) : folder_(folder) {}
  Cp932Folder(const Cp932Folder&) = delete;
  Cp932Folder& operator=(const Cp932Folder&) = delete;

  // The folded UTF-8 of a code page 932 text; valid until the next call.
  const std::string& Fold(std::string_view cp932);

 private:
  // The folding of the character whose code page bytes make code (one byte, or a lead byte and
  // the next), or -1 when those two bytes are no character and the lead byte stands alone.
  int Character(uint16_t code, std::string_view bytes);

  const Folder& folder_;
  std::vector<int> characters_ = std::vector<int>(0x10000, kUnknown);
  std::vector<std::string> folded_;
  std::unordered_map<std::string, std::string> joined_;
  std::string out_;
  static constexpr int kUnknown = -2;
  static constexpr int kNoCharacter = -1;
};

}  // namespace tool
}  // namespace telbook

#endif  // TELBOOK_TOOLS_FOLD_H_
