// `telbook repair`: a damaged phone book made sound again, keeping every record the library can
// read under its own number, and put in the book's place only once it has passed the check.
#ifndef TELBOOK_TOOLS_REPAIR_H_
#define TELBOOK_TOOLS_REPAIR_H_

#include <ostream>
#include <string>

namespace telbook {
namespace tool {

struct RepairOptions {
  bool dry_run = false;      // tell what would be kept, changed and dropped; write nothing
  bool backup = true;        // keep the old book as BOOK.bak (numbered when that name is taken)
  double wait_seconds = 10;  // how long to wait for another writer's hold of the book
};

// Repairs the phone book at path (a symbolic link is followed, and the file it leads to is
// repaired in place, keeping its links, owner and permissions), telling each change on out.
// Records that cannot be read are dropped, their bytes written to BOOK.damaged-N.bin beside the
// book. Returns kExitOk when the book was sound or every record was kept, kExitSkipped when
// records were dropped. Throws ToolError when it refuses (a file whose header or index cannot be
// read, a read-only book, entries whose alternate destination a version-2 book cannot keep) or
// fails, kExitFindings when the repaired book would not pass the check; the book is then as it
// was.
int RepairBook(const std::string& path, const RepairOptions& options, std::ostream& out);

}  // namespace tool
}  // namespace telbook

#endif  // TELBOOK_TOOLS_REPAIR_H_
