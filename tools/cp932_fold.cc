// The search's folding of code page 932 texts, a character at a time through what was folded
// before; the same for every platform's Folder.
#include <string>

#include "tools/cp932.h"
#include "tools/fold.h"

namespace telbook {
namespace tool {
namespace {

bool IsLeadByte(uint8_t b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

// The length of the character at the start of text that folds with the one before it: ﾞ, ﾟ and
// ｰ (one byte each) and ー (0x81 0x5B); 0 for any other.
size_t JoinsThePrevious(std::string_view text) {
  const uint8_t b = static_cast<uint8_t>(text[0]);
  if (b == 0xDE || b == 0xDF || b == 0xB0) return 1;
  if (b == 0x81 && text.size() >= 2 && static_cast<uint8_t>(text[1]) == 0x5B) return 2;
  return 0;
}

constexpr char kCapitalSigma[] = "\x83\xB0";

}  // namespace

int Cp932Folder::Character(uint16_t code, std::string_view bytes) {
  int& known = characters_[code];
  if (known != kUnknown) return known;
  std::string utf8;
  bool exact = cp932::ToUtf8Strict(std::string(bytes), &utf8);
  if (bytes.size() == 2 && !exact) {
    known = kNoCharacter;
  } else {
    known = static_cast<int>(folded_.size());
    folded_.push_back(folder_.Fold(utf8));
  }
  return known;
}

const std::string& Cp932Folder::Fold(std::string_view text) {
  out_.clear();
  if (text.find(kCapitalSigma) != std::string_view::npos) {
    out_ = folder_.Fold(cp932::ToUtf8(std::string(text)));
    return out_;
  }
  size_t i = 0;
  while (i < text.size()) {
    const size_t start = i;
    const uint8_t b = static_cast<uint8_t>(text[i]);
    int character = kNoCharacter;
    if (IsLeadByte(b) && i + 1 < text.size()) {
      const uint16_t pair = static_cast<uint16_t>(b << 8 | static_cast<uint8_t>(text[i + 1]));
      character = Character(pair, text.substr(i, 2));
      if (character != kNoCharacter) i += 2;
    }
    if (character == kNoCharacter) character = Character(b, text.substr(i++, 1));
    bool joined = false;
    for (size_t n; i < text.size() && (n = JoinsThePrevious(text.substr(i))) != 0; i += n) {
      joined = true;
    }
    if (!joined) {
      out_ += folded_[static_cast<size_t>(character)];
      continue;
    }
    std::string bytes(text.substr(start, i - start));
    auto found = joined_.find(bytes);
    if (found == joined_.end()) {
      found = joined_.emplace(bytes, folder_.Fold(cp932::ToUtf8(bytes))).first;
    }
    out_ += found->second;
  }
  return out_;
}

}  // namespace tool
}  // namespace telbook
