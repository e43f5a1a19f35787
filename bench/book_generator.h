// Phone books of a chosen size written through the public interface, with texts like a real
// office's: kana readings over every row, Latin names, commas, tabs, favourites and groups.
#ifndef TELBOOK_BENCH_BOOK_GENERATOR_H_
#define TELBOOK_BENCH_BOOK_GENERATOR_H_

#include <cstdint>
#include <vector>

#include "telbook.h"

namespace telbook {
namespace bench {

// Deterministic, so every run measures the same books.
class Rng {
 public:
  explicit Rng(uint64_t seed) : state_(seed * 0x9E3779B97F4A7C15ull + 1) {}
  uint32_t Next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 7;
    state_ ^= state_ << 17;
    return static_cast<uint32_t>(state_ >> 11);
  }
  uint32_t Below(uint32_t n) { return Next() % n; }

 private:
  uint64_t state_;
};

// The i-th personal entry of a generated book (i from 0).
void MakeEntry(uint32_t i, TL_Kojin* entry);
// The i-th group (i from 0).
void MakeGroup(uint32_t i, TL_Group* group);

struct BookShape {
  uint32_t entries = 0;
  uint32_t groups = 0;
  // Members of each group: consecutive record numbers from a spread start, or every entry.
  uint32_t members_per_group = 0;
  bool groups_hold_everyone = false;
};

// Every record of a book, made ahead so that timings hold no text generation.
struct BookData {
  std::vector<TL_Kojin> entries;
  std::vector<TL_Group> groups;
  std::vector<std::vector<unsigned short>> members;  // record numbers, one list per group
};
BookData Generate(const BookShape& shape);

// Writes the entries and groups into the open phone book of session. False (with a message on
// stderr) when the library refuses one.
bool FillBook(TL_FaxUtl* session, const BookData& data);

// Creates path anew, fills it and saves it. False on any failure.
bool MakeBook(const char* path, const BookData& data);

}  // namespace bench
}  // namespace telbook

#endif  // TELBOOK_BENCH_BOOK_GENERATOR_H_
