// Phone book images with records written byte by byte, independent of the library's encoders,
// for the tests of reading, tabs and groups.
#ifndef TELBOOK_TESTS_RECORDS_BOOK_BUILDER_H_
#define TELBOOK_TESTS_RECORDS_BOOK_BUILDER_H_

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "test_util.h"

namespace telbook {
namespace test {

// A stored personal entry record laid out by hand: sixteen strings from 57, extension block at
// 43 (linked from 28 unless `link_extension` is false), optionally an alternate destination
// block appended after the strings.
struct KojinImage {
  uint8_t kind = 1;
  std::vector<std::string> main = std::vector<std::string>(13);
  std::vector<std::string> ext = std::vector<std::string>(3);
  bool link_extension = true;
  bool has_alt = false;
  uint8_t alt_flag = 1;
  std::string alt_text;
  uint16_t host_word1 = 0, host_word2 = 0;
  uint8_t line_type = 0, comm_mode = 0, host_byte1 = 0, host_byte2 = 0, relay_output = 0;

  Bytes Build() const {
    Bytes r(57, 0);
    r[0] = kind;
    auto append = [&r](const std::string& s) {
      uint16_t at = static_cast<uint16_t>(r.size());
      r.insert(r.end(), s.begin(), s.end());
      r.push_back(0);
      return at;
    };
    for (int n = 0; n < 13; ++n) PutU16(&r, 2 + 2 * n, append(main[n]));
    PutU16(&r, 28, link_extension ? 43 : 0);
    PutU16(&r, 30, host_word1);
    PutU16(&r, 32, host_word2);
    r[34] = line_type;
    r[35] = comm_mode;
    r[36] = host_byte1;
    r[37] = host_byte2;
    r[38] = relay_output;
    r[43] = '0', r[44] = '2', r[45] = '0', r[46] = '0';
    for (int n = 0; n < 3; ++n) PutU16(&r, 47 + 2 * n, append(ext[n]));
    if (has_alt) {
      uint16_t block = static_cast<uint16_t>(r.size());
      r.resize(r.size() + 7, 0);
      r[block + 4] = alt_flag;
      PutU16(&r, 53, block);
      PutU16(&r, block + 5, append(alt_text));
    }
    return r;
  }
};

// A stored group record laid out by hand.
inline Bytes GroupImage(const std::string& name, const std::string& reading,
                        std::initializer_list<uint16_t> places, uint16_t n_members,
                        uint16_t host_word1 = 0, uint16_t host_word2 = 0) {
  Bytes r(16, 0);
  r[0] = 2;
  PutU16(&r, 2, host_word1);
  PutU16(&r, 4, host_word2);
  PutU16(&r, 12, n_members);
  PutU16(&r, 14, static_cast<uint16_t>(places.size() - n_members));
  for (uint16_t p : places) {
    r.push_back(static_cast<uint8_t>(p));
    r.push_back(static_cast<uint8_t>(p >> 8));
  }
  PutU16(&r, 6, static_cast<uint16_t>(r.size()));
  r.insert(r.end(), name.begin(), name.end());
  r.push_back(0);
  PutU16(&r, 8, static_cast<uint16_t>(r.size()));
  r.insert(r.end(), reading.begin(), reading.end());
  r.push_back(0);
  return r;
}

// An image being filled: records are appended after the fixed part and their slots set.
class BookBuilder {
 public:
  explicit BookBuilder(const char* magic = "KVTL", const char* version = "0200")
      : book_(version[1] == '1' ? EmptyBookV1(magic, version) : EmptyBook(magic, version)) {}

  // Appends a record and points personal slot n (1 to 9999) at it.
  void Personal(int n, const Bytes& record, uint8_t tab) {
    SetPersonalSlot(&book_, n, record.empty() ? 1 : record[0], tab,
                    static_cast<uint16_t>(record.size()), Append(record));
    PutU16(&book_, 8, static_cast<uint16_t>(GetU16(book_, 8) + 1));
  }
  // Appends a record and points group slot n (1 to 9999) at it.
  void Group(int n, const Bytes& record, uint8_t tab) {
    SetGroupSlot(&book_, n, 2, tab, static_cast<uint16_t>(record.size()), Append(record));
    PutU16(&book_, 10, static_cast<uint16_t>(GetU16(book_, 10) + 1));
  }
  uint32_t Append(const Bytes& record) {
    uint32_t at = static_cast<uint32_t>(book_.size());
    book_.insert(book_.end(), record.begin(), record.end());
    return at;
  }
  Bytes& bytes() { return book_; }

 private:
  Bytes book_;
};

// Shift-JIS spellings used by the tests.
constexpr const char kHiraA[] = "\x82\xa0";   // あ
constexpr const char kHiraKa[] = "\x82\xa9";  // か
constexpr const char kHiraSa[] = "\x82\xb3";  // さ
constexpr const char kKataVu[] = "\x83\x94";  // ヴ
constexpr const char kChouon[] = "\x81\x5b";  // ー
constexpr const char kKanji[] = "\x93\x63";   // 田

}  // namespace test
}  // namespace telbook

#endif  // TELBOOK_TESTS_RECORDS_BOOK_BUILDER_H_
