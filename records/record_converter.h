// The record conversion: a stored record decoded and encoded again in the current format,
// with or without the repair of its texts, and the save's hook that runs it on every record.
#ifndef TELBOOK_RECORDS_RECORD_CONVERTER_H_
#define TELBOOK_RECORDS_RECORD_CONVERTER_H_

#include <cstddef>
#include <cstdint>

#include "interface/telbook.h"
#include "store/book_file_writer.h"
#include "store/format.h"

namespace telbook {

class RecordConverter final {
 public:
  // Buffers handed to the conversions hold at least the longest record of their kind.
  static constexpr size_t kKojinBufferSize = format::kMaxPersonalRecordSize;
  static constexpr size_t kGroupBufferSize = format::kMaxGroupRecordSize;

  // The conversion keeps no state and touches no file.
  RecordConverter() = default;
  RecordConverter(const RecordConverter&) = delete;
  RecordConverter& operator=(const RecordConverter&) = delete;

  // The first `length` bytes of buffer hold a stored personal entry record (the caller checked
  // its kind); decoding never looks past them, whatever they hold. Re-encodes it in place as the
  // record writer encodes an entry, repairing its texts first when repair is true, and returns
  // the new length. 0 only when capacity is below kKojinBufferSize (the buffer is then untouched).
  // The bytes after the new record are never written: they keep what the buffer held there.
  uint32_t ConvertKojin(uint8_t* buffer, size_t capacity, uint32_t length, bool repair) const;

  // The same for a stored group record, capacity at least kGroupBufferSize. The fixed bytes and
  // the first N member places stay; further places are dropped and the texts follow the members.
  // A member count beyond the places the record holds, or beyond 9999, is cut to what is there.
  // The fixed bytes a shorter record lacks come out as zeros; nothing after the new record is
  // written.
  uint32_t ConvertGroup(uint8_t* buffer, size_t capacity, uint32_t length, bool repair) const;

  // The record repair's two rules, exposed for the tool's estimate of a save and for tests.
  // Drops the last byte of a zero-terminated text that ends in a lead byte left without trail.
  static void DropDanglingLead(char* text, size_t capacity);
  // An Affiliation of exactly 80 bytes whose byte 39 is a lead byte is cut to 79 bytes, then to
  // 78 when byte 78 is a lead byte too.
  static void CutAffiliation(char* text, size_t capacity);
  // The same two rules on a text of `length` bytes (no terminator needed): the length it keeps.
  static size_t WithoutDanglingLead(const uint8_t* text, size_t length);
  static size_t AffiliationLength(const uint8_t* text, size_t length);
  static void RepairKojin(TL_Kojin* entry);
  static void RepairGroup(TL_Group* entry);
};

// What a save does to each record on its way into the saved file: every used slot is kept, and
// its record converted with the repair of its texts, its tab code unchanged.
class SaveConversion final : public BookFileWriter::RecordHook {
 public:
  SaveConversion() = default;
  SaveConversion(const SaveConversion&) = delete;
  SaveConversion& operator=(const SaveConversion&) = delete;

  bool Keeps(BookFileWriter::Table table, uint32_t n) override;
  uint32_t Convert(BookFileWriter::Table table, uint8_t* record, size_t capacity, uint32_t length,
                   uint8_t* tab) override;

 private:
  RecordConverter converter_;
};

// What the salvage of a damaged phone book keeps: only the records marked, each converted as a
// save converts it (with the repair of its texts) or as the subset does (without), its tab code
// unchanged. The records it does not keep are never read, so they may be unreadable.
class SalvageConversion final : public BookFileWriter::RecordHook {
 public:
  explicit SalvageConversion(bool repair) : repair_(repair) {}
  SalvageConversion(const SalvageConversion&) = delete;
  SalvageConversion& operator=(const SalvageConversion&) = delete;

  // Marks record number n (1 to 9999 an entry, 16385 to 26383 a group) to be kept; any other
  // number is passed over.
  void Keep(uint16_t record_number);

  bool Keeps(BookFileWriter::Table table, uint32_t n) override;
  uint32_t Convert(BookFileWriter::Table table, uint8_t* record, size_t capacity, uint32_t length,
                   uint8_t* tab) override;

 private:
  RecordConverter converter_;
  bool repair_;
  // A bit for each kept slot of each table; bit 0 is unused.
  uint8_t kept_[2][(format::kSlotsPerTable + 1 + 7) / 8] = {};
};

}  // namespace telbook

#endif  // TELBOOK_RECORDS_RECORD_CONVERTER_H_
