// The reading order through ICU's collator for Japanese; without ICU, byte order of the UTF-8.
#include "tools/reading_order.h"

#if TELBOOK_HAVE_ICU
#include <unicode/coll.h>
#include <unicode/locid.h>
#include <unicode/unistr.h>
#endif

namespace telbook {
namespace tool {

#if TELBOOK_HAVE_ICU

struct ReadingOrder::Impl {
  std::unique_ptr<icu::Collator> collator;
};

ReadingOrder::ReadingOrder() : impl_(new Impl) {
  UErrorCode status = U_ZERO_ERROR;
  impl_->collator.reset(icu::Collator::createInstance(icu::Locale::getJapanese(), status));
  if (U_FAILURE(status)) impl_->collator.reset();
}

std::string ReadingOrder::Key(const std::string& utf8) const {
  if (!impl_->collator) return utf8;
  icu::UnicodeString text = icu::UnicodeString::fromUTF8(utf8);
  std::string key(64, '\0');
  for (;;) {
    int32_t n = impl_->collator->getSortKey(text, reinterpret_cast<uint8_t*>(&key[0]),
                                            static_cast<int32_t>(key.size()));
    if (n <= 0) return utf8;
    if (static_cast<size_t>(n) <= key.size()) {
      key.resize(static_cast<size_t>(n) - 1);  // without the terminating zero
      return key;
    }
    key.assign(static_cast<size_t>(n), '\0');
  }
}

int ReadingOrder::Compare(const std::string& a, const std::string& b) const {
  if (!impl_->collator) return a.compare(b);
  UErrorCode status = U_ZERO_ERROR;
  UCollationResult r = impl_->collator->compareUTF8(a, b, status);
  if (U_FAILURE(status)) return a.compare(b);
  return r == UCOL_LESS ? -1 : r == UCOL_GREATER ? 1 : 0;
}

bool ReadingOrder::collated() const { return impl_->collator != nullptr; }

#else

struct ReadingOrder::Impl {};
ReadingOrder::ReadingOrder() : impl_(new Impl) {}
std::string ReadingOrder::Key(const std::string& utf8) const { return utf8; }
int ReadingOrder::Compare(const std::string& a, const std::string& b) const { return a.compare(b); }
bool ReadingOrder::collated() const { return false; }

#endif

ReadingOrder::~ReadingOrder() = default;

}  // namespace tool
}  // namespace telbook
