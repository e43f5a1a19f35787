// The export driver: TL_writeSrchData, its group expansion and the file that takes the
// destination's place. It runs the text export writer or the phone book subset.
#ifndef TELBOOK_EXPORT_EXPORT_DRIVER_H_
#define TELBOOK_EXPORT_EXPORT_DRIVER_H_

#include <cstdint>

#include "export/subset_writer.h"
#include "store/format.h"
#include "store/record_index.h"

namespace telbook {

class FileStore;
class RecordConverter;
class TextExportWriter;
class TextSink;

// The format value (its low 16 bits) that asks for the phone book subset; any other asks for
// the text export.
constexpr uint16_t kExportFormatSubset = 1;

class ExportDriver final {
 public:
  explicit ExportDriver(FileStore* store) : store_(store), lookup_(store), subset_(store) {}
  ExportDriver(const ExportDriver&) = delete;
  ExportDriver& operator=(const ExportDriver&) = delete;

  void Wire(const RecordConverter* converter, TextExportWriter* text_writer) {
    subset_.Wire(converter);
    text_writer_ = text_writer;
  }

  // TL_writeSrchData. Counts and the format are taken from the low 16 bits of their arguments.
  // The chosen records and the members of the chosen groups are written whole to a new file
  // (OutputFile), which then replaces the destination in one step, keeping its permissions;
  // a destination of several hard links, a FIFO, a character device or a socket is written into
  // instead, symbolic links are followed. The caller's arrays are not changed. 0 on success. On
  // failure no file of the export is left and the destination is as it was (but for a write into
  // it that failed part-way, kWriteFailed):
  //   -1 with (kClose, kOpenFailed) when no phone book is open;
  //   -1 with (kClose, kBadRecordNumber) when a count is above 9999, (kClose, kNoCountPlace) when a
  //   list with a count is null; the group expansion's failure: -1 with (kWriteGroup,
  //   kBadRecordNumber), (kOpenGroup, kNoMemory) or the file layer's status and pair; the writer's
  //   status and pair (-5 from the text export when it has no record buffer); -1 with (kFileOpen,
  //   kCreateFailed) when the destination is null; -1 with the destination's (kClose, detail) of
  //   OutputFile: kIsOpenBook for the open phone book itself, kNotWritableKind for a directory or
  //   a block device, kReadOnly, kNoDirectory, kDirectoryNotWritable, kWriteFailed.
  short WriteSrchData(const uint16_t* personal, uint32_t personal_count, const uint16_t* groups,
                      uint32_t group_count, uint32_t format_value, const char* destination,
                      int16_t* empty_group);
  // The text export of the same choice handed to a sink a block at a time, for a caller that
  // writes a stream of its own (standard output): no file is made. The checks and statuses are
  // those of WriteSrchData without the destination's; -1 for a null sink. After a failure the
  // sink may hold the blocks before it.
  short WriteTextTo(const uint16_t* personal, uint32_t personal_count, const uint16_t* groups,
                    uint32_t group_count, TextSink* sink);

 private:
  // The checks of a request: -1 with (kClose, kOpenFailed), (kClose, kBadRecordNumber) or (kClose,
  // kNoCountPlace), as WriteSrchData says.
  short CheckRequest(const uint16_t* personal, uint32_t personal_count, const uint16_t* groups,
                     uint32_t group_count);
  // Copies the caller's lists and runs the group expansion on the copies.
  short Gather(const uint16_t* personal, uint16_t* personal_count, const uint16_t* groups,
               uint16_t group_count);
  // Adds the members of every group of the group list to the personal list, each once, and
  // updates *personal_count; a number whose slot is free adds nothing. 0; or -1 with (kWriteGroup,
  // kBadRecordNumber) for a value that is no record number, (kOpenGroup, kNoMemory) when no buffer
  // for a record can be had, or the file layer's status and pair when a record cannot be read,
  // *personal_count then unchanged.
  short ExpandGroups(uint16_t* personal_count, uint16_t group_count);
  // Adds n to the personal list unless it is there; the list is compacted first when full.
  void AddMember(uint16_t n, uint16_t* length);

  FileStore* store_;
  IndexLookup lookup_;
  SubsetWriter subset_;
  TextExportWriter* text_writer_ = nullptr;
  // Per call: the two lists, the members of the personal list, and the groups expanded so far.
  uint16_t personal_[format::kSlotsPerTable] = {};
  uint16_t groups_[format::kSlotsPerTable] = {};
  bool in_personal_[format::kLastPersonal + 1] = {};
  bool group_done_[UINT16_MAX + 1] = {};
};

}  // namespace telbook

#endif  // TELBOOK_EXPORT_EXPORT_DRIVER_H_
