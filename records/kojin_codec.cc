// Decoding and encoding of the stored personal entry record.
// The string numbers map to host fields in the order fixed by the record layout.
#include "records/kojin_codec.h"

#include <cstring>

#include "records/record_text.h"
#include "store/coding.h"
#include "store/format.h"

namespace telbook {
namespace kojin {

namespace {
template <typename Entry, typename Char>
Char* MainFieldOf(Entry* e, int n, size_t* capacity) {
#define TELBOOK_FIELD(f)    \
  *capacity = sizeof(e->f); \
  return e->f
  switch (n) {
    case 0:
      TELBOOK_FIELD(Name);
    case 1:
      TELBOOK_FIELD(Furigana);
    case 2:
      TELBOOK_FIELD(Affiliation);
    case 3:
      TELBOOK_FIELD(FaxNumber);
    case 4:
      TELBOOK_FIELD(Phone);
    case 5:
      TELBOOK_FIELD(EMail);
    case 6:
      TELBOOK_FIELD(Memo);
    case 7:
      TELBOOK_FIELD(BoxNumber);
    case 8:
      TELBOOK_FIELD(BoxPassword);
    case 9:
      TELBOOK_FIELD(HostText1);
    case 10:
      TELBOOK_FIELD(RelayId);
    case 11:
      TELBOOK_FIELD(BroadcastList);
    case 12:
      TELBOOK_FIELD(HostText2);
    default:
      break;
  }
  *capacity = 0;
  return nullptr;
}

template <typename Entry, typename Char>
Char* ExtensionFieldOf(Entry* e, int n, size_t* capacity) {
  switch (n) {
    case kSpeedDial:
      TELBOOK_FIELD(SpeedDial);
    case kFCode:
      TELBOOK_FIELD(FCode);
    case kPCode:
      TELBOOK_FIELD(PCode);
    default:
      break;
  }
#undef TELBOOK_FIELD
  *capacity = 0;
  return nullptr;
}
}  // namespace

char* MainField(TL_Kojin* entry, int n, size_t* capacity) {
  return MainFieldOf<TL_Kojin, char>(entry, n, capacity);
}
const char* MainField(const TL_Kojin* entry, int n, size_t* capacity) {
  return MainFieldOf<const TL_Kojin, const char>(entry, n, capacity);
}
char* ExtensionField(TL_Kojin* entry, int n, size_t* capacity) {
  return ExtensionFieldOf<TL_Kojin, char>(entry, n, capacity);
}
const char* ExtensionField(const TL_Kojin* entry, int n, size_t* capacity) {
  return ExtensionFieldOf<const TL_Kojin, const char>(entry, n, capacity);
}

}  // namespace kojin

uint8_t KojinView::kind() const { return U8At(record_, length_, kojin::kKindOffset); }

uint16_t KojinView::AltBlock() const {
  uint16_t block = U16At(record_, length_, kojin::kExtensionLinkOffset);
  if (block == 0) return 0;
  return U16At(record_, length_, size_t{block} + kojin::kExtAltDestLinkOffset);
}

uint8_t KojinView::AltDestFlag() const {
  uint16_t alt = AltBlock();
  if (alt == 0) return 0;
  return U8At(record_, length_, size_t{alt} + kojin::kAltFlagOffset);
}

std::string_view KojinView::AltDest() const {
  uint16_t alt = AltBlock();
  if (alt == 0) return {};
  size_t link = size_t{alt} + kojin::kAltStringLinkOffset;
  if (link + 2 > length_) return {};
  return TextAt(record_, length_, U16At(record_, length_, link));
}

uint32_t EncodeKojin(const TL_Kojin& entry, uint8_t* buffer, size_t capacity) {
  if (buffer == nullptr || capacity < kojin::kEncodeCapacity) return 0;
  memset(buffer, 0, capacity);
  buffer[kojin::kKindOffset] = format::kKindPersonal;
  EncodeU16(buffer + kojin::kHostWord1Offset, entry.HostWord1);
  EncodeU16(buffer + kojin::kHostWord2Offset, entry.HostWord2);
  buffer[kojin::kLineTypeOffset] = entry.LineType;
  buffer[kojin::kCommModeOffset] = entry.CommMode;
  buffer[kojin::kHostByte1Offset] = entry.HostByte1;
  buffer[kojin::kHostByte2Offset] = entry.HostByte2;
  buffer[kojin::kRelayOutputOffset] = entry.RelayOutput;

  uint32_t position = kojin::kStringsOffset;
  for (int n = 0; n < kojin::kMainStrings; ++n) {
    size_t field_capacity = 0;
    const char* field = kojin::MainField(&entry, n, &field_capacity);
    EncodeU16(buffer + kojin::kMainTableOffset + 2 * n, static_cast<uint16_t>(position));
    AppendFieldText(buffer, &position, field, field_capacity);
  }

  uint8_t* ext = buffer + kojin::kExtensionBlockOffset;
  memcpy(ext + kojin::kExtTagOffset, kojin::kExtTag, kojin::kExtTagSize);
  bool any_extension = false;
  for (int n = 0; n < kojin::kExtensionStrings; ++n) {
    size_t field_capacity = 0;
    const char* field = kojin::ExtensionField(&entry, n, &field_capacity);
    EncodeU16(ext + kojin::kExtTableOffset + 2 * n, static_cast<uint16_t>(position));
    if (!FieldText(field, field_capacity).empty()) any_extension = true;
    AppendFieldText(buffer, &position, field, field_capacity);
  }
  EncodeU16(buffer + kojin::kExtensionLinkOffset,
            any_extension ? static_cast<uint16_t>(kojin::kExtensionBlockOffset) : 0);
  return position;
}

}  // namespace telbook
