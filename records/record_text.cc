// Bounded text decoding and host field copies shared by the record codecs.
// Nothing here reads or writes outside the buffer and length it is given.
#include "records/record_text.h"

#include <cstring>

#include "store/coding.h"
#include "store/format.h"

namespace telbook {

namespace {
constexpr uint8_t kTab = 0x09;
constexpr uint8_t kSpace = 0x20;
// Offsets of the string offset tables: personal kinds at 2, groups at 6.
constexpr size_t kPersonalStringTable = 2;
constexpr size_t kGroupStringTable = 6;
}  // namespace

std::string_view TextAt(const uint8_t* record, size_t length, size_t offset) {
  if (record == nullptr || offset >= length) return {};
  const uint8_t* start = record + offset;
  size_t limit = length - offset;
  const void* zero = memchr(start, 0, limit);
  size_t size =
      zero == nullptr ? limit : static_cast<size_t>(static_cast<const uint8_t*>(zero) - start);
  return std::string_view(reinterpret_cast<const char*>(start), size);
}

uint16_t U16At(const uint8_t* record, size_t length, size_t offset) {
  if (record == nullptr || length < 2 || offset > length - 2) return 0;
  return DecodeU16(record + offset);
}

uint8_t U8At(const uint8_t* record, size_t length, size_t offset) {
  if (record == nullptr || offset >= length) return 0;
  return record[offset];
}

bool MainString(const uint8_t* record, size_t length, int n, std::string_view* text) {
  *text = {};
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
  size_t at = U16At(record, length, table + 2 * static_cast<size_t>(n));
  // A missing offset field reads as 0, which would point at the kind byte: give an empty text.
  if (table + 2 * static_cast<size_t>(n) + 2 > length) return true;
  *text = TextAt(record, length, at);
  return true;
}

void CopyToField(char* field, size_t capacity, std::string_view text) {
  if (field == nullptr || capacity == 0) return;
  size_t n = text.size() < capacity - 1 ? text.size() : capacity - 1;
  if (n != 0) memcpy(field, text.data(), n);
  field[n] = '\0';
}

std::string_view FieldText(const char* field, size_t capacity) {
  if (field == nullptr || capacity == 0) return {};
  size_t limit = capacity - 1;
  const void* zero = memchr(field, 0, limit);
  size_t size =
      zero == nullptr ? limit : static_cast<size_t>(static_cast<const char*>(zero) - field);
  return std::string_view(field, size);
}

void AppendText(uint8_t* buffer, uint32_t* position, std::string_view text) {
  uint8_t* out = buffer + *position;
  const size_t size = text.size();
  if (size != 0) {
    memcpy(out, text.data(), size);
    for (void* tab = memchr(out, kTab, size); tab != nullptr;
         tab = memchr(tab, kTab, size - static_cast<size_t>(static_cast<uint8_t*>(tab) - out))) {
      *static_cast<uint8_t*>(tab) = kSpace;
    }
  }
  out[size] = 0;
  *position += static_cast<uint32_t>(size + 1);
}

void AppendFieldText(uint8_t* buffer, uint32_t* position, const char* field, size_t capacity) {
  AppendText(buffer, position, FieldText(field, capacity));
}

}  // namespace telbook
