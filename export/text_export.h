// The text export: comma-separated lines of chosen entries and groups, CR LF, code page 932.
// Run by the export driver; it reads the open phone book and writes a file of its own.
#ifndef TELBOOK_EXPORT_TEXT_EXPORT_H_
#define TELBOOK_EXPORT_TEXT_EXPORT_H_

#include <cstdint>

#include "platform/env.h"
#include "platform/memory_block.h"
#include "store/file_accessor.h"
#include "store/format.h"
#include "store/record_index.h"

namespace telbook {

class FileStore;

// Where the lines of a text export go when they go to no file of the library's own: a stream of
// the caller's, such as standard output.
class TextSink {
 public:
  // Takes the next bytes of the lines, in order: many lines at a time, the last of them perhaps
  // in part. False when they could not all be written.
  virtual bool Write(const uint8_t* bytes, uint32_t length) = 0;

 protected:
  ~TextSink() = default;
};

// The text export's status when its record buffer cannot be had (a block that cannot be locked,
// -6 to the host, does not occur: blocks here are fixed from the start).
constexpr short kTextExportNoRecordBuffer = -5;

class TextExportWriter final {
 public:
  explicit TextExportWriter(FileStore* store) : store_(store), accessor_(store), lookup_(store) {}
  TextExportWriter(const TextExportWriter&) = delete;
  TextExportWriter& operator=(const TextExportWriter&) = delete;

  // Writes one line per chosen personal entry, then one per chosen group, each in ascending
  // record number, into out, a new empty file. Numbers outside their list's range are passed
  // over. 0; -5 with (kClose, kNoMemory) when the record buffer cannot be had; -1 otherwise:
  // with no pair when the line buffer cannot be had, (kClose, kNoMemory) when memory runs out
  // later, (kClose, kRecordFailed) when a chosen record cannot be read, is not of its list's
  // kind, or a line cannot be written whole. After a failure out holds any part of the file.
  short Export(const uint16_t* personal, uint16_t personal_count, const uint16_t* groups,
               uint16_t group_count, FileHandle out);
  // The same bytes handed to a sink instead of a file, a block at a time; a block the sink
  // refuses fails the export with (kClose, kRecordFailed), the blocks before it handed out.
  short ExportTo(const uint16_t* personal, uint16_t personal_count, const uint16_t* groups,
                 uint16_t group_count, TextSink* sink);

 private:
  class Output;
  class FileSink;

  // The export into out, which is not null.
  short Run(const uint16_t* personal, uint16_t personal_count, const uint16_t* groups,
            uint16_t group_count, TextSink* out);
  // slots: the personal index; record: a buffer of at least the longest personal record.
  short WritePersonalLines(const uint8_t* slots, MemoryBlock* record, Output* out);
  short WriteGroupLines(Output* out);
  // Reads the record of a slot into *block, grown when the slot is longer. 0, or -1 with
  // (kClose, kNoMemory) when no memory, (kClose, kRecordFailed) when the read fails.
  short ReadRecord(const uint8_t* slot, MemoryBlock* block);
  // 0 when the output took the line; -1 with (kClose, kNoMemory) or (kClose, kRecordFailed).
  short EndLine(const Output& output);
  void SetChosen(const uint16_t* numbers, uint16_t count, uint16_t base);

  FileStore* store_;
  FileAccessor accessor_;
  IndexLookup lookup_;
  // Per call: chosen flags of the pass under way, export marks, and each marked entry's
  // sequence number (the count of marks from slot 1 up to it). Index 0 is unused.
  bool chosen_[format::kSlotsPerTable + 1] = {};
  bool marked_[format::kSlotsPerTable + 1] = {};
  uint16_t sequence_[format::kSlotsPerTable + 1] = {};
};

}  // namespace telbook

#endif  // TELBOOK_EXPORT_TEXT_EXPORT_H_
