// The reading order of names and readings: the Japanese dictionary order, in which hiragana,
// katakana and their half-width forms of one sound sort together, as sort keys to compare.
#ifndef TELBOOK_TOOLS_READING_ORDER_H_
#define TELBOOK_TOOLS_READING_ORDER_H_

#include <memory>
#include <string>

namespace telbook {
namespace tool {

// One implementation per platform: ICU's Japanese collator (posix_reading_order.cc, plain byte
// order of the UTF-8 text where the tool is built without ICU), the system's Japanese sort keys
// behind CompareStringEx on Windows (win32_reading_order.cc).
class ReadingOrder {
 public:
  ReadingOrder();
  ~ReadingOrder();
  ReadingOrder(const ReadingOrder&) = delete;
  ReadingOrder& operator=(const ReadingOrder&) = delete;

  // A key of UTF-8 text: texts in reading order have keys in byte order (std::string's <).
  // Texts that differ only where the order sees no difference may share a key.
  std::string Key(const std::string& utf8) const;
  // Negative, 0 or positive as a sorts before, with or after b.
  int Compare(const std::string& a, const std::string& b) const;
  // False when the order is plain byte order (no collator in this build or on this system).
  bool collated() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace tool
}  // namespace telbook

#endif  // TELBOOK_TOOLS_READING_ORDER_H_
