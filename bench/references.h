// The references each workload is measured against: SQLite with default settings, a plain
// flushed copy, and the least work that writes given bytes as a new file in one step.
#ifndef TELBOOK_BENCH_REFERENCES_H_
#define TELBOOK_BENCH_REFERENCES_H_

#include <cstdint>
#include <string>

#include "bench/book_generator.h"

namespace telbook {
namespace bench {

// Opens (creating) the database at path, creates a table of entries and one of groups with one
// column per field, inserts the rows of data in one transaction and closes it. False on error.
bool SqliteFill(const std::string& path, const BookData& data);
// Opens the database, steps every row of a SELECT * of both tables without reading a column
// (the least a walk can do in SQLite), and closes it. The number of rows goes to *rows.
bool SqliteStep(const std::string& path, uint64_t* rows);
// Reads from once and writes a new file beside to once, flushes it to the device and renames it
// to to. False on error.
bool FlushedCopy(const std::string& from, const std::string& to);
// Writes size bytes into a new file beside to, flushes it to the device and renames it to to.
bool FlushedWrite(const void* bytes, size_t size, const std::string& to);
// Runs argv[0] with the arguments, its output thrown away, and waits for it. Its exit status, or
// -1 when it could not be started or did not exit.
int RunProcess(const char* const* argv);

}  // namespace bench
}  // namespace telbook

#endif  // TELBOOK_BENCH_REFERENCES_H_
