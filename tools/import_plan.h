// The import's plan: a contacts file (vCard, CSV) or a text export read and fitted to a phone
// book, card by card, before anything is written: what each card becomes (its texts in code page
// 932, what was cut, derived or replaced), which cards are skipped and why (duplicates, refusals,
// no fax number), and the groups made or extended. The plan prints nothing: the command prints
// it, a page can show it as JSON, and either applies it once the user agrees.
#ifndef TELBOOK_TOOLS_IMPORT_PLAN_H_
#define TELBOOK_TOOLS_IMPORT_PLAN_H_

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "telbook.h"
#include "tools/contact.h"
#include "tools/csv_reader.h"
#include "tools/duplicates.h"
#include "tools/encoding.h"
#include "tools/fold.h"
#include "tools/import_text.h"
#include "tools/readings.h"

namespace telbook {
namespace tool {

class Book;

enum class ImportFormat { kAuto, kText, kVcard, kCsv };
// "text", "vcard", "csv"; false for anything else.
bool ParseImportFormat(const std::string& name, ImportFormat* out);
const char* ImportFormatName(ImportFormat format);

struct ImportOptions {
  ImportFormat format = ImportFormat::kAuto;
  Encoding encoding = Encoding::kAuto;
  std::vector<ColumnMapping> map;  // CSV columns named by the user
  bool fax_only = false;           // skip cards without a fax number
  bool no_groups = false;          // categories make no groups
  bool no_readings = false;        // derive no readings
  bool strict = false;             // a text too long for its field stops the import
  bool replace = false;            // characters code page 932 lacks become "?"
  bool allow_duplicates = false;   // add cards that duplicate an entry
};

// A file read and recognised.
struct ImportSource {
  ImportFormat format = ImportFormat::kAuto;
  Encoding encoding = Encoding::kAuto;
  std::vector<Contact> contacts;            // vCard and CSV
  ImportedText text;                        // the library's text export
  std::vector<std::string> unused_columns;  // CSV headers no field was taken from
};

// Recognises the format and the encoding (unless the options name them) and reads the file.
// False with *problem for a file that cannot be read as a whole; nothing may be imported then.
bool ReadImportSource(const std::string& bytes, const ImportOptions& options, ImportSource* out,
                      FileProblem* problem);

// What the phone book holds, as far as the plan needs it; texts in UTF-8.
struct BookState {
  struct Entry {
    int number = 0;
    std::string name;
    std::string reading;
    std::string fax;
  };
  struct Group {
    int number = 0;
    TL_Group group{};
    std::string name;
    std::vector<unsigned short> members;
    int unreadable = 0;  // members naming no entry that can be read
  };
  std::vector<Entry> entries;
  std::vector<Group> groups;
};
// Throws ToolError when the records cannot be read.
BookState ReadBookState(const Book& book);

enum class CardFate { kAdd, kDuplicate, kRefused, kNoFax };
const char* CardFateName(CardFate fate);

struct PlannedDuplicate {
  int entry = 0;  // an entry of the book, or
  int card = -1;  // an earlier card of the file (index into ImportPlan::cards)
  DuplicateReason reason = DuplicateReason::kFax;
};

struct PlannedCard {
  int line = 0;
  std::string source_name;  // the name as the file has it, for messages
  CardFate fate = CardFate::kAdd;
  std::string reason;  // why it is not added
  TL_Kojin entry{};
  bool reading_derived = false;
  std::vector<std::string> notes;  // cut, replaced, derived, not kept
  std::vector<PlannedDuplicate> duplicates;
  std::vector<size_t> groups;  // indexes into ImportPlan::groups
  int number = 0;              // the record number it will get when added
};

struct PlannedGroup {
  std::string name;  // UTF-8, as shown
  TL_Group group{};  // the record written: the book's own for a group extended
  int number = 0;    // the group extended, or the number a new one will get
  bool exists = false;
  bool keep_empty = false;                   // written even without members (text export)
  std::vector<unsigned short> kept_members;  // the members a group extended has already
  std::vector<size_t> cards;                 // members from the file, in order (indexes)
  std::vector<std::string> notes;
};

struct ImportPlan {
  ImportFormat format = ImportFormat::kAuto;
  Encoding encoding = Encoding::kAuto;
  KanaForm reading_form = KanaForm::kHiragana;
  bool readings_available = false;
  std::vector<PlannedCard> cards;
  std::vector<PlannedGroup> groups;
  std::vector<std::string> notes;  // of the whole file
  int free_entries = 0;            // free entry numbers in the book
  // Why nothing may be imported (a book too full, a text --strict will not cut), and the exit
  // status that goes with it; empty when the plan can be applied.
  std::string blocking;
  int blocking_status = 0;

  size_t Count(CardFate fate) const;
};

// Fits every card to the book. The plan holds for the book state it was made from: applying it
// to a book that changed since needs a new plan.
ImportPlan MakeImportPlan(const ImportSource& source, const BookState& book,
                          const ImportOptions& options, const ReadingDeriver& deriver,
                          const Folder& folder);

nlohmann::json ImportPlanJson(const ImportPlan& plan);

struct ImportOutcome {
  std::vector<int> entry_numbers;  // per card: the number it got, 0 when not added
  std::vector<int> group_numbers;  // per planned group: the number written, 0 when not
};
// Writes the plan's entries, then its groups, through the book's session; throws ToolError on
// the first refusal. Nothing is saved: the caller saves, or drops everything on failure.
ImportOutcome ApplyImportPlan(const ImportPlan& plan, const Book& book);

}  // namespace tool
}  // namespace telbook

#endif  // TELBOOK_TOOLS_IMPORT_PLAN_H_
