// Texts inside stored records: bounded decoding of one string, the main string decoder shared by
// personal entry and group records, and copying texts into and out of host fields.
#ifndef TELBOOK_RECORDS_RECORD_TEXT_H_
#define TELBOOK_RECORDS_RECORD_TEXT_H_

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "store/coding.h"
#include "store/format.h"

namespace telbook {

// The text that starts at `offset` of a record of `length` bytes: its bytes up to the first zero
// byte, or up to the record's end when there is none. An offset at or past the end gives an
// empty text. The view points into the record.
inline std::string_view TextAt(const uint8_t* record, size_t length, size_t offset) {
  if (record == nullptr || offset >= length) return {};
  const uint8_t* start = record + offset;
  size_t limit = length - offset;
  const void* zero = memchr(start, 0, limit);
  size_t size =
      zero == nullptr ? limit : static_cast<size_t>(static_cast<const uint8_t*>(zero) - start);
  return std::string_view(reinterpret_cast<const char*>(start), size);
}

// The 16-bit value at `offset`, or 0 when its two bytes do not both lie inside the record.
inline uint16_t U16At(const uint8_t* record, size_t length, size_t offset) {
  if (record == nullptr || length < 2 || offset > length - 2) return 0;
  return DecodeU16(record + offset);
}
// The byte at `offset`, or 0 when it lies outside the record.
inline uint8_t U8At(const uint8_t* record, size_t length, size_t offset) {
  if (record == nullptr || offset >= length) return 0;
  return record[offset];
}

// Where main string n starts, as MainString finds it; *offset is `length` (an empty text) when
// the record holds no offset for it. False, with *offset at `length`, for any other kind.
inline bool MainStringOffset(const uint8_t* record, size_t length, int n, size_t* offset) {
  // Offset tables: personal kinds at 2, groups at 6.
  constexpr size_t kPersonalStringTable = 2;
  constexpr size_t kGroupStringTable = 6;
  *offset = length;
  if (record == nullptr || length == 0 || n < 0) return false;
  size_t table;
  switch (record[0]) {
    case format::kKindPersonal:
    case format::kKindPersonalAltDest:
      table = kPersonalStringTable;
      break;
    case format::kKindGroup:
      table = kGroupStringTable;
      break;
    default:
      return false;
  }
  // A missing offset field would read as 0, pointing at the kind byte: give an empty text.
  size_t link = table + 2 * static_cast<size_t>(n);
  if (link + 2 <= length) *offset = U16At(record, length, link);
  return true;
}

// Main string n of a stored record: personal kinds (1 and 3) find its offset at 2 + 2n, groups
// (kind 2) at 6 + 2n. False for any other kind (and for an empty record); the caller records
// (kTextField, kWrongKind) when it reports the failure.
inline bool MainString(const uint8_t* record, size_t length, int n, std::string_view* text) {
  size_t offset = 0;
  bool known = MainStringOffset(record, length, n, &offset);
  *text = known ? TextAt(record, length, offset) : std::string_view();
  return known;
}

// Copies a text into a host field of `capacity` bytes (capacity >= 1), cut to capacity - 1 bytes
// and always terminated. Bytes after the terminator are left as they were.
void CopyToField(char* field, size_t capacity, std::string_view text);

// The text of a host field: up to its zero, but at most capacity - 1 bytes.
std::string_view FieldText(const char* field, size_t capacity);

// Appends a host field's text at *position of an encoding buffer, tab characters written as
// spaces, followed by one zero byte; advances *position past the zero. The caller guarantees
// room for capacity bytes at *position.
void AppendFieldText(uint8_t* buffer, uint32_t* position, const char* field, size_t capacity);

}  // namespace telbook

#endif  // TELBOOK_RECORDS_RECORD_TEXT_H_
