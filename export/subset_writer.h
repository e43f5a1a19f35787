// The phone book subset: a phone book file holding only chosen entries and groups, under their
// own record numbers, each record passed through the record conversion without repair.
#ifndef TELBOOK_EXPORT_SUBSET_WRITER_H_
#define TELBOOK_EXPORT_SUBSET_WRITER_H_

#include <cstddef>
#include <cstdint>

#include "store/book_file_writer.h"
#include "store/file_ops.h"
#include "store/format.h"

namespace telbook {

class FileStore;
class RecordConverter;

// The default favourite category names of a subset, code page 932: "お好み" and the full-width
// digit of the category.
constexpr uint8_t kDefaultFavouriteName[] = {0x82, 0xA8, 0x8D, 0x44, 0x82, 0xDD, 0x82, 0x50};
constexpr uint32_t kDefaultFavouriteNameSize = sizeof(kDefaultFavouriteName);
constexpr uint32_t kDefaultFavouriteDigitOffset = kDefaultFavouriteNameSize - 1;
static_assert(kDefaultFavouriteNameSize + 1 <= format::kFavouriteNameSize,
              "a default name and its terminator fit their place");

class SubsetWriter final : public BookFileWriter::RecordHook {
 public:
  explicit SubsetWriter(FileStore* store) : store_(store), ops_(store), writer_(store) {}
  SubsetWriter(const SubsetWriter&) = delete;
  SubsetWriter& operator=(const SubsetWriter&) = delete;

  void Wire(const RecordConverter* converter) { converter_ = converter; }

  // Writes a version-2 phone book into out, a new empty file, holding the chosen personal
  // entries and groups of the open phone book; numbers outside a list's range are passed over.
  // The favourite names become the defaults and no record keeps a category. A file opened as
  // version 0 or 1 gives a subset with the version text "0200". Sets *empty_group to 1 (when not
  // null) for each chosen group without members; never to 0.
  // 0, or -1: with the file layer's pair when a read or a write fails, with none when memory
  // runs out, the magic does not match the version, or a used record (chosen or not) is not of
  // its table's kind. After a failure out holds any part of the file.
  short Export(const uint16_t* personal, uint16_t personal_count, const uint16_t* groups,
               uint16_t group_count, FileHandle out, int16_t* empty_group);

  // The writer's hook: the chosen records, converted without repair, their favourite dropped.
  bool Keeps(BookFileWriter::Table table, uint32_t n) override {
    return (chosen_[table][n / 8] >> (n % 8)) & 1u;
  }
  uint32_t Convert(BookFileWriter::Table table, uint8_t* record, size_t capacity, uint32_t length,
                   uint8_t* tab) override;

 private:
  void Choose(BookFileWriter::Table table, const uint16_t* numbers, uint16_t count);

  FileStore* store_;
  FileOps ops_;
  BookFileWriter writer_;
  const RecordConverter* converter_ = nullptr;
  // Per call: a bit for each chosen slot of each table (bit 0 is unused), and where to mark an
  // empty group.
  uint8_t chosen_[2][(format::kSlotsPerTable + 1 + 7) / 8] = {};
  int16_t* empty_group_ = nullptr;
};

}  // namespace telbook

#endif  // TELBOOK_EXPORT_SUBSET_WRITER_H_
