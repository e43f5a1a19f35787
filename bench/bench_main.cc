// telbook_bench: each telbook workload beside its reference in the same run, the two sides
// taking turns, as a table of times, ratios and targets, plus the peak of the library's memory
// blocks.
//
//   telbook_bench [--dir DIR] [--keep] [--tool PATH]
//
// Books and reference files go to a new directory below DIR ($TMPDIR or /tmp by default), which
// is removed at the end unless --keep is given. The search row runs the telbook tool at PATH
// (by default the one beside this program) and is left out when there is none.
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

double Seconds(const std::function<void()>& work) {
  auto start = std::chrono::steady_clock::now();
  work();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double MedianOf(std::vector<double> times) {
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

// One side of a comparison: setup runs untimed before each run of work.
struct Side {
  std::function<void()> setup;
  std::function<void()> work;
};

// Median wall times in seconds of runs runs of each side, the sides taking turns so that both
// meet the same load on a shared machine.
std::pair<double, double> Alternate(int runs, const Side& a, const Side& b) {
  std::vector<double> ta;
  std::vector<double> tb;
  for (int i = 0; i < runs; ++i) {
    for (auto [side, times] : {std::make_pair(&a, &ta), std::make_pair(&b, &tb)}) {
      if (side->setup) side->setup();
      times->push_back(Seconds(side->work));
    }
  }
  return {MedianOf(ta), MedianOf(tb)};
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

std::vector<uint8_t> ReadWhole(const std::string& path) {
  std::vector<uint8_t> bytes;
  FILE* file = fopen(path.c_str(), "rb");
  Check(file != nullptr, "reading the text export");
  uint8_t chunk[65536];
  size_t n;
  while ((n = fread(chunk, 1, sizeof chunk, file)) > 0) bytes.insert(bytes.end(), chunk, chunk + n);
  fclose(file);
  return bytes;
}

// The telbook tool beside this program.
std::string ToolBesideMe() {
  char self[4096];
  ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
  if (n <= 0) return "telbook";
  std::string path(self, static_cast<size_t>(n));
  size_t slash = path.rfind('/');
  return (slash == std::string::npos ? std::string() : path.substr(0, slash + 1)) + "telbook";
}

// What the search row looks for: a text no generated record holds, with kana in it so that the
// search folds as it would for a user.
constexpr const char* kNowhere =
    "\xE3\x81\xBF\xE3\x81\xA4\xE3\x81\x8B\xE3\x82\x89\xE3\x81\xAA\xE3\x81\x84 xyzzy";

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
  std::string tool = ToolBesideMe();
  bool keep = false;
  for (int i = 1; i < argc; ++i) {
    if (strcmp(argv[i], "--dir") == 0 && i + 1 < argc) {
      base = argv[++i];
    } else if (strcmp(argv[i], "--tool") == 0 && i + 1 < argc) {
      tool = argv[++i];
    } else if (strcmp(argv[i], "--keep") == 0) {
      keep = true;
    } else {
      fprintf(stderr, "usage: telbook_bench [--dir DIR] [--keep] [--tool PATH]\n");
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

  auto [fill, fill_ref] = Alternate(
      5, {[&] { unlink(fill_book.c_str()); }, [&] { TelbookFill(fill_book, full); }},
      {[&] { RemoveSqlite(fill_db); }, [&] { Check(SqliteFill(fill_db, full), "sqlite fill"); }});
  rows.push_back({"fill: create, 9999 entries, 1000 groups of 10, save", fill, fill_ref,
                  "SQLite insert", 0.5});

  // The full book and database the other workloads read.
  Check(MakeBook(book.c_str(), full), "making the full book");
  RemoveSqlite(db);
  Check(SqliteFill(db, full), "making the full database");

  uint64_t sqlite_rows = 0;
  auto [walk, walk_ref] =
      Alternate(9, {nullptr, [&] { TelbookWalk(book); }},
                {nullptr, [&] { Check(SqliteStep(db, &sqlite_rows), "sqlite step"); }});
  Check(sqlite_rows == 9999 + 1000, "sqlite walk row count");
  rows.push_back({"walk: open, every list item", walk, walk_ref, "SQLite step", 0.35});

  uint64_t delivered = 0;
  auto [tabs, tabs_ref] = Alternate(9, {nullptr, [&] { delivered = TelbookTabs(book); }},
                                    {nullptr, [&] { TelbookWalk(book); }});
  Check(delivered >= 9999 + 1000, "tabs deliver every record");
  rows.push_back({"tabs: open, every tab", tabs, tabs_ref, "telbook walk", 1.75});

  int round = 0;
  auto [save, save_ref] = Alternate(7, {nullptr, [&] { TelbookSaveOneChange(book, ++round); }},
                                    {nullptr, [&] { Check(FlushedCopy(book, copy), "copy"); }});
  const uint64_t book_bytes = FileSize(book);
  rows.push_back({"save after one change", save, save_ref, "flushed copy", 2.5});

  // The text export against the least work that does its job: reading every record once (the
  // walk) and writing the export's bytes once, as a new file put in place.
  const std::vector<unsigned short> all_personal = Numbers(1, 9999);
  const std::vector<unsigned short> all_groups = Numbers(16385, 1000);
  const std::string text_out = dir + "/export.txt";
  const std::string text_ref = dir + "/export-reference.txt";
  const std::string subset_out = dir + "/subset.tlb";
  TelbookExport(book, all_personal, all_groups, 0, text_out);
  const std::vector<uint8_t> text_bytes = ReadWhole(text_out);
  auto [text, text_ref_time] = Alternate(
      7, {nullptr, [&] { TelbookExport(book, all_personal, all_groups, 0, text_out); }},
      {nullptr, [&] {
         TelbookWalk(book);
         Check(FlushedWrite(text_bytes.data(), text_bytes.size(), text_ref), "writing the text");
       }});
  rows.push_back({"text export of everything", text, text_ref_time, "walk, flushed write", 1.5});

  auto [subset, subset_ref] =
      Alternate(7, {nullptr, [&] { TelbookExport(book, all_personal, all_groups, 1, subset_out); }},
                {nullptr, [&] { Check(FlushedCopy(book, copy), "copy"); }});
  rows.push_back({"subset of everything", subset, subset_ref, "flushed copy", 1.75});

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
  auto [stress, stress_small] = Alternate(
      7,
      {nullptr, [&] { TelbookExport(big_book, all_personal, Numbers(16385, 10), 0, stress_out); }},
      {nullptr,
       [&] { TelbookExport(small_book, Numbers(1, 999), Numbers(16385, 10), 0, stress_out); }});
  rows.push_back({"stress: text export, 10 groups of all 9999", stress, stress_small,
                  "same, 999 entries", 12.0});

  // The tool's search against its list, both as whole processes of the built tool.
  std::string search_note;
  if (access(tool.c_str(), X_OK) == 0) {
    const char* search_argv[] = {tool.c_str(), "search", book.c_str(), kNowhere, nullptr};
    const char* list_argv[] = {tool.c_str(), "list", book.c_str(), nullptr};
    auto [search, list] =
        Alternate(5, {nullptr, [&] { Check(RunProcess(search_argv) == 1, "telbook search"); }},
                  {nullptr, [&] { Check(RunProcess(list_argv) == 0, "telbook list"); }});
    rows.push_back({"telbook search, found nowhere (process)", search, list, "telbook list", 3.0});
  } else {
    search_note = "search row left out: no telbook tool at " + tool + "\n";
  }

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
  printf("| %-52s | %10s | %-19s | %10s | %6s | %6s | %4s |\n", "workload", "telbook", "reference",
         "ref time", "ratio", "target", "met");
  printf("|%s|%s|%s|%s|%s|%s|%s|\n", std::string(54, '-').c_str(), std::string(12, '-').c_str(),
         std::string(21, '-').c_str(), std::string(12, '-').c_str(), std::string(8, '-').c_str(),
         std::string(8, '-').c_str(), std::string(6, '-').c_str());
  bool all_met = true;
  for (const Row& row : rows) {
    double ratio = row.telbook / row.reference;
    bool met = ratio <= row.target;
    all_met = all_met && met;
    printf("| %-52s | %10s | %-19s | %10s | %6.2f | %6.2f | %4s |\n", row.workload.c_str(),
           Human(row.telbook).c_str(), row.reference_name.c_str(), Human(row.reference).c_str(),
           ratio, row.target, met ? "yes" : "NO");
  }
  bool heap_met = peak <= 512 * 1024;
  all_met = all_met && heap_met;
  printf("| %-52s | %7.1f KiB | %-19s | %10s | %6s | %6s | %4s |\n",
         "peak heap: walk, save, text export, subset", peak / 1024.0, "-", "-", "-", "512 KiB",
         heap_met ? "yes" : "NO");
  printf("\npeak of the library's blocks per operation (session object included):");
  for (const Peak& p : peaks) printf(" %s %.1f KiB;", p.operation, p.bytes / 1024.0);
  printf("\n%smedians of 5 to 9 runs of each side, the sides taking turns; whole bench %.1f s\n",
         search_note.c_str(), total);

  if (!keep) {
    for (const std::string& file : {book, fill_book, copy, text_out, text_ref, subset_out, big_book,
                                    small_book, stress_out}) {
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
