// What users would pick instead of telbook, doing the same work: SQLite with default settings
// for filling and walking, and a plain flushed copy for what rewrites a whole file.
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
// Opens the database, steps every row of a SELECT * of both tables reading every column, and
// closes it. The number of rows seen goes to *rows.
bool SqliteWalk(const std::string& path, uint64_t* rows);
// Reads from once and writes a new file beside to once, flushes it to the device and renames it
// to to. False on error.
bool FlushedCopy(const std::string& from, const std::string& to);

}  // namespace bench
}  // namespace telbook

#endif  // TELBOOK_BENCH_REFERENCES_H_
