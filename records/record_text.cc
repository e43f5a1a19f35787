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
}  // namespace

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

void AppendFieldText(uint8_t* buffer, uint32_t* position, const char* field, size_t capacity) {
  std::string_view text = FieldText(field, capacity);
  uint8_t* out = buffer + *position;
  for (size_t i = 0; i < text.size(); ++i) {
    uint8_t c = static_cast<uint8_t>(text[i]);
    out[i] = c == kTab ? kSpace : c;
  }
  out[text.size()] = 0;
  *position += static_cast<uint32_t>(text.size() + 1);
}

}  // namespace telbook
