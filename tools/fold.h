// Folding of text for the search: the differences Japanese users expect a search to ignore
// (hiragana and katakana, half-width and full-width forms, upper and lower case) taken out.
#ifndef TELBOOK_TOOLS_FOLD_H_
#define TELBOOK_TOOLS_FOLD_H_

#include <memory>
#include <string>

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

}  // namespace tool
}  // namespace telbook

#endif  // TELBOOK_TOOLS_FOLD_H_
