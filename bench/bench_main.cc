// telbook_bench: each telbook workload beside its reference in the same run, as a table of
// times, ratios and targets, plus the peak of the library's memory blocks.
//
//   telbook_bench [--dir DIR] [--keep]
//
// Books and reference files go to a new directory below DIR ($TMPDIR or /tmp by default), which
// is removed at the end unless --keep is given.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "bench/book_generator.h"
#include "bench/heap_meter.h"
#include "bench/references.h"
#include "platform/env.h"
#include "telbook.h"

namespace telbook {
namespace bench {
namespace {

[[noreturn]] void Die(const char* what) {
  fprintf(stderr, "telbook_bench: %s failed\n", what);
  exit(1);
}

void Check(bool ok, const char* what) {
  if (!ok) Die(what);
}

// Median wall time in seconds of runs calls of work; setup runs untimed before each.
double Median(int runs, const std::function<void()>& setup, const std::function<void()>& work) {
  std::vector<double> times;
  for (int i = 0; i < runs; ++i) {
    if (setup) setup();
    auto start = std::chrono::steady_clock::now();
    work();
    times.push_back(
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

struct Row {
  std::string workload;
  double telbook;
  double reference;
  std::string reference_name;
  double target;
};

// ---- telbook workloads, each from a new session to its end ----

void TelbookFill(const std::string& path, const BookData& data) {
  Check(MakeBook(path.c_str(), data), "fill");
}

void TelbookWalk(const std::string& path) {
  TL_FaxUtl* session = TL_CreateFaxUtl();
  Check(session != nullptr && TL_openDataBase(session, path.c_str()) == 0, "walk: open");
  unsigned short count = 0;
  Check(TL_beginSRCH(session, &count) == 0, "walk: begin");
  TL_ListItem item;
  for (unsigned i = 0; i < count; ++i) Check(TL_readSrchData(session, &item) == 0, "walk: read");
  TL_endSRCH(session);
  Check(TL_closeDataBase(session, 1) == 0, "walk: close");
  TL_DestroyFaxUtl(session);
}

// Every tab the host shows: the eleven reading classes and the five favourite categories.
uint64_t TelbookTabs(const std::string& path) {
  TL_FaxUtl* session = TL_CreateFaxUtl();
  Check(session != nullptr && TL_openDataBase(session, path.c_str()) == 0, "tabs: open");
  static const int kTabs[] = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08,
                              0x09, 0x0A, 0x0B, 0x10, 0x20, 0x30, 0x40, 0x50};
  TL_ListItem item;
  uint64_t delivered = 0;
  for (int tab : kTabs) {
    unsigned short count = 0;
    Check(TL_openTag(session, tab) == 0 && TL_readTagWeightCount(session, tab, &count) == 0,
          "tabs: open tab");
    for (unsigned i = 0; i < count; ++i) {
      Check(TL_readTagData(session, tab, &item) == 0, "tabs: read");
    }
    delivered += count;
    TL_closeTag(session);
  }
  Check(TL_closeDataBase(session, 1) == 0, "tabs: close");
  TL_DestroyFaxUtl(session);
  return delivered;
}

// Changes the memo of entry 1 and saves.
void TelbookSaveOneChange(const std::string& path, int round) {
  TL_FaxUtl* session = TL_CreateFaxUtl();
  Check(session != nullptr && TL_openDataBase(session, path.c_str()) == 0, "save: open");
  TL_Kojin entry;
  Check(TL_readKojin(session, &entry, 1) == 0, "save: read");
  snprintf(entry.Memo, sizeof entry.Memo, "changed %d", round);
  unsigned short number = 1;
  Check(TL_writeKojin(session, &entry, &number, 0) == 0, "save: write");
  Check(TL_closeDataBase(session, 0) == 0, "save: close");
  TL_DestroyFaxUtl(session);
}

void TelbookExport(const std::string& path, const std::vector<unsigned short>& personal,
                   const std::vector<unsigned short>& groups, int format,
                   const std::string& destination) {
  TL_FaxUtl* session = TL_CreateFaxUtl();
  Check(session != nullptr && TL_openDataBase(session, path.c_str()) == 0, "export: open");
  short empty_group = 0;
  Check(TL_writeSrchData(session, personal.data(), static_cast<int>(personal.size()), groups.data(),
                         static_cast<int>(groups.size()), format, destination.c_str(),
                         &empty_group) == 0,
        "export");
  Check(TL_closeDataBase(session, 1) == 0, "export: close");
  TL_DestroyFaxUtl(session);
}

std::vector<unsigned short> Numbers(unsigned first, size_t count) {
  std::vector<unsigned short> out;
  for (size_t i = 0; i < count; ++i) out.push_back(static_cast<unsigned short>(first + i));
  return out;
}

uint64_t FileSize(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 ? static_cast<uint64_t>(st.st_size) : 0;
}

void RemoveSqlite(const std::string& path) {
  unlink(path.c_str());
  unlink((path + "-journal").c_str());
}

std::string Human(double seconds) {
  char text[32];
  if (seconds < 1.0) {
    snprintf(text, sizeof text, "%.1f ms", seconds * 1e3);
  } else {
    snprintf(text, sizeof text, "%.2f s", seconds);
  }
  return text;
}

int Main(int argc, char** argv) {
  std::string base;
  bool keep = false;
  for (int i = 1; i < argc; ++i) {
    if (strcmp(argv[i], "--dir") == 0 && i + 1 < argc) {
      base = argv[++i];
    } else if (strcmp(argv[i], "--keep") == 0) {
      keep = true;
    } else {
      fprintf(stderr, "usage: telbook_bench [--dir DIR] [--keep]\n");
      return 2;
    }
  }
  if (base.empty()) {
    const char* tmp = getenv("TMPDIR");
    base = tmp != nullptr && tmp[0] != '\0' ? tmp : "/tmp";
  }
  std::string pattern = base + "/telbook-bench-XXXXXX";
  std::vector<char> dir_buffer(pattern.begin(), pattern.end());
  dir_buffer.push_back('\0');
  Check(mkdtemp(dir_buffer.data()) != nullptr, "making the work directory");
  const std::string dir = dir_buffer.data();

  // Every session of the run counts its blocks here.
  CountingEnv counting(Env::Default());
  SetSessionEnv(&counting);

  auto total_start = std::chrono::steady_clock::now();
  const std::string book = dir + "/full.tlb";
  const std::string db = dir + "/full.sqlite";
  const std::string fill_book = dir + "/fill.tlb";
  const std::string fill_db = dir + "/fill.sqlite";
  const std::string copy = dir + "/copy.bin";

  BookShape full_shape;
  full_shape.entries = 9999;
  full_shape.groups = 1000;
  full_shape.members_per_group = 10;
  const BookData full = Generate(full_shape);
  std::vector<Row> rows;

  // fill
  double fill = Median(
      5, [&] { unlink(fill_book.c_str()); }, [&] { TelbookFill(fill_book, full); });
  double fill_ref = Median(
      5, [&] { RemoveSqlite(fill_db); }, [&] { Check(SqliteFill(fill_db, full), "sqlite fill"); });
  rows.push_back({"fill: create, 9999 entries, 1000 groups of 10, save", fill, fill_ref,
                  "SQLite insert", 0.75});

  // The full book and database the other workloads read.
  Check(MakeBook(book.c_str(), full), "making the full book");
  RemoveSqlite(db);
  Check(SqliteFill(db, full), "making the full database");

  uint64_t sqlite_rows = 0;
  double walk = Median(9, nullptr, [&] { TelbookWalk(book); });
  double walk_ref = Median(9, nullptr, [&] { Check(SqliteWalk(db, &sqlite_rows), "sqlite walk"); });
  Check(sqlite_rows == 9999 + 1000, "sqlite walk row count");
  rows.push_back({"walk: open, every list item", walk, walk_ref, "SQLite SELECT *", 0.5});

  uint64_t delivered = 0;
  double tabs = Median(9, nullptr, [&] { delivered = TelbookTabs(book); });
  Check(delivered >= 9999 + 1000, "tabs deliver every record");
  rows.push_back({"tabs: open, every tab", tabs, walk_ref, "SQLite SELECT *", 2.0});

  int round = 0;
  double save = Median(7, nullptr, [&] { TelbookSaveOneChange(book, ++round); });
  const uint64_t book_bytes = FileSize(book);
  double copy_time = Median(7, nullptr, [&] { Check(FlushedCopy(book, copy), "copy"); });
  rows.push_back({"save after one change", save, copy_time, "flushed copy", 3.0});

  const std::vector<unsigned short> all_personal = Numbers(1, 9999);
  const std::vector<unsigned short> all_groups = Numbers(16385, 1000);
  const std::string text_out = dir + "/export.txt";
  const std::string subset_out = dir + "/subset.tlb";
  double text =
      Median(7, nullptr, [&] { TelbookExport(book, all_personal, all_groups, 0, text_out); });
  rows.push_back({"text export of everything", text, walk_ref, "SQLite SELECT *", 2.0});
  double subset =
      Median(7, nullptr, [&] { TelbookExport(book, all_personal, all_groups, 1, subset_out); });
  rows.push_back({"subset of everything", subset, copy_time, "flushed copy", 3.0});

  // stress: groups of every entry, ten times larger against ten times smaller
  BookShape big_shape;
  big_shape.entries = 9999;
  big_shape.groups = 10;
  big_shape.groups_hold_everyone = true;
  BookShape small_shape = big_shape;
  small_shape.entries = 999;
  const std::string big_book = dir + "/stress.tlb";
  const std::string small_book = dir + "/stress-small.tlb";
  Check(MakeBook(big_book.c_str(), Generate(big_shape)), "making the stress book");
  Check(MakeBook(small_book.c_str(), Generate(small_shape)), "making the small stress book");
  const std::string stress_out = dir + "/stress.txt";
  double stress = Median(5, nullptr, [&] {
    TelbookExport(big_book, all_personal, Numbers(16385, 10), 0, stress_out);
  });
  double stress_small = Median(11, nullptr, [&] {
    TelbookExport(small_book, Numbers(1, 999), Numbers(16385, 10), 0, stress_out);
  });
  rows.push_back({"stress: text export, 10 groups of all 9999", stress, stress_small,
                  "same, 999 entries", 15.0});

  // Peak of the library's blocks, session object included, during each operation.
  struct Peak {
    const char* operation;
    size_t bytes;
  };
  std::vector<Peak> peaks;
  auto measure = [&](const char* operation, const std::function<void()>& work) {
    counting.ResetPeak();
    work();
    peaks.push_back({operation, counting.peak()});
  };
  measure("walk", [&] { TelbookWalk(book); });
  measure("save", [&] { TelbookSaveOneChange(book, ++round); });
  measure("text export", [&] { TelbookExport(book, all_personal, all_groups, 0, text_out); });
  measure("subset", [&] { TelbookExport(book, all_personal, all_groups, 1, subset_out); });
  Check(!counting.lost_track(), "tracking the blocks");
  Check(counting.live() == 0, "releasing every block");
  size_t peak = 0;
  for (const Peak& p : peaks) peak = std::max(peak, p.bytes);

  double total =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - total_start).count();

  printf("telbook_bench: phone book %llu bytes, text export %llu bytes, subset %llu bytes\n\n",
         static_cast<unsigned long long>(book_bytes),
         static_cast<unsigned long long>(FileSize(text_out)),
         static_cast<unsigned long long>(FileSize(subset_out)));
  printf("| %-50s | %10s | %-17s | %10s | %6s | %6s | %4s |\n", "workload", "telbook", "reference",
         "ref time", "ratio", "target", "met");
  printf("|%s|%s|%s|%s|%s|%s|%s|\n", std::string(52, '-').c_str(), std::string(12, '-').c_str(),
         std::string(19, '-').c_str(), std::string(12, '-').c_str(), std::string(8, '-').c_str(),
         std::string(8, '-').c_str(), std::string(6, '-').c_str());
  bool all_met = true;
  for (const Row& row : rows) {
    double ratio = row.telbook / row.reference;
    bool met = ratio <= row.target;
    all_met = all_met && met;
    printf("| %-50s | %10s | %-17s | %10s | %6.2f | %6.2f | %4s |\n", row.workload.c_str(),
           Human(row.telbook).c_str(), row.reference_name.c_str(), Human(row.reference).c_str(),
           ratio, row.target, met ? "yes" : "NO");
  }
  bool heap_met = peak <= 512 * 1024;
  all_met = all_met && heap_met;
  printf("| %-50s | %7.1f KiB | %-17s | %10s | %6s | %6s | %4s |\n",
         "peak heap: walk, save, text export, subset", peak / 1024.0, "-", "-", "-", "512 KiB",
         heap_met ? "yes" : "NO");
  printf("\npeak of the library's blocks per operation (session object included):");
  for (const Peak& p : peaks) printf(" %s %.1f KiB;", p.operation, p.bytes / 1024.0);
  printf("\nmedians of 5 to 11 runs each; whole bench %.1f s\n", total);

  if (!keep) {
    for (const std::string& file :
         {book, fill_book, copy, text_out, subset_out, big_book, small_book, stress_out}) {
      unlink(file.c_str());
    }
    RemoveSqlite(db);
    RemoveSqlite(fill_db);
    rmdir(dir.c_str());
  }
  SetSessionEnv(nullptr);
  return all_met ? 0 : 1;
}

}  // namespace
}  // namespace bench
}  // namespace telbook

int main(int argc, char** argv) { return telbook::bench::Main(argc, argv); }
