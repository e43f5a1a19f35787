// The search's folding through ICU transliterators; without ICU, ASCII case alone is folded.
#include "tools/fold.h"

#include <cctype>

#if TELBOOK_HAVE_ICU
#include <unicode/translit.h>
#include <unicode/unistr.h>
#endif

#include "tools/tool_error.h"

namespace telbook {
namespace tool {

#if TELBOOK_HAVE_ICU

struct Folder::Impl {
  std::unique_ptr<icu::Transliterator> transliterator;
};

Folder::Folder() : impl_(new Impl) {
  UErrorCode status = U_ZERO_ERROR;
  impl_->transliterator.reset(icu::Transliterator::createInstance("NFKC; Katakana-Hiragana; Lower",
                                                                  UTRANS_FORWARD, status));
  if (U_FAILURE(status)) impl_->transliterator.reset();
}

Folder::~Folder() = default;

std::string Folder::Fold(const std::string& utf8) const {
  icu::UnicodeString text = icu::UnicodeString::fromUTF8(utf8);
  if (impl_->transliterator) {
    impl_->transliterator->transliterate(text);
  } else {
    text.toLower();
  }
  std::string out;
  text.toUTF8String(out);
  return out;
}

#else

struct Folder::Impl {};
Folder::Folder() : impl_(new Impl) {}
Folder::~Folder() = default;

std::string Folder::Fold(const std::string& utf8) const {
  std::string out = utf8;
  for (char& c : out) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
  return out;
}

#endif

}  // namespace tool
}  // namespace telbook
