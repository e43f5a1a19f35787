// Record loads and the decoding of personal entries and list items, by format version.
// A record is read into a block of exactly its length, or on walks decoded where it lies in the
// read-ahead block; nothing of it is kept after returning.
#include "records/record_reader.h"

#include "records/kojin_codec.h"
#include "records/reading_class.h"
#include "records/record_text.h"
#include "store/file_accessor.h"
#include "store/file_store.h"

namespace telbook {

namespace {
// Format versions that carry extension strings and alternate destinations.
constexpr uint16_t kExtensionVersion = format::kVersion2;
constexpr uint16_t kAltDestVersion = format::kVersion3;

template <size_t N>
void Put(char (&field)[N], std::string_view text) {
  CopyToField(field, N, text);
}
}  // namespace

short RecordReader::Load(uint16_t record_number, uint16_t category, MemoryBlock* block,
                         uint8_t** slot) {
  block->Release();
  uint8_t* s = nullptr;
  if (lookup_.Lookup(record_number, &s) != kOk) return kFailed;
  if (slot != nullptr) *slot = s;
  if (!block->Obtain(store_->env(), Slot::length(s))) {
    store_->RecordError(category, detail::kNoMemory);
    return kFailed;
  }
  short status = store_->read_ahead().ReadOnce(store_->handle, Slot::offset(s), Slot::length(s),
                                               block->data());
  if (status != kOk) block->Release();
  return status;
}

short RecordReader::LoadAhead(uint16_t record_number, uint16_t category, Loaded* record) {
  record->data = nullptr;
  record->size = 0;
  uint8_t* s = nullptr;
  if (lookup_.Lookup(record_number, &s) != kOk) return kFailed;
  const uint16_t length = Slot::length(s);
  if (length == 0) {
    store_->RecordError(category, detail::kNoMemory);
    return kFailed;
  }
  ReadAhead& ahead = store_->read_ahead();
  if (!ahead.ready()) ahead.Obtain(ReadAhead::kBlockSize);
  const uint8_t* bytes = nullptr;
  short status = ahead.View(store_->handle, Slot::offset(s), length, &bytes);
  if (status != kOk) return status;
  if (bytes == nullptr) {
    if (!record->own.Obtain(store_->env(), length)) {
      store_->RecordError(category, detail::kNoMemory);
      return kFailed;
    }
    status = ahead.Read(store_->handle, Slot::offset(s), length, record->own.data());
    if (status != kOk) {
      record->own.Release();
      return status;
    }
    bytes = record->own.data();
  }
  record->data = bytes;
  record->size = length;
  return kOk;
}

short RecordReader::ReadKojin(uint16_t record_number, TL_Kojin* entry) {
  if (!store_->is_open()) {
    store_->RecordError(category::kReadKojin, detail::kOpenFailed);
    return kFailed;
  }
  if (entry == nullptr) {
    store_->RecordError(category::kReadKojin, detail::kNoCountPlace);
    return kFailed;
  }
  if (record_number < format::kFirstPersonal || record_number > format::kLastPersonal) {
    store_->RecordError(category::kReadKojin, detail::kBadRecordNumber);
    return kFailed;
  }
  MemoryBlock block;
  uint8_t* slot = nullptr;
  short status = Load(record_number, category::kReadKojin, &block, &slot);
  if (status != kOk) return status;
  KojinView view(block.data(), block.size());

  entry->HostWord1 = view.host_word1();
  entry->HostWord2 = view.host_word2();
  entry->LineType = view.line_type();
  entry->CommMode = view.comm_mode();
  entry->HostByte1 = view.host_byte1();
  entry->HostByte2 = view.host_byte2();
  entry->RelayOutput = view.relay_output();
  entry->Favourite = format::TabFavourite(Slot::tab(slot));

  for (int n = 0; n < kojin::kMainStrings; ++n) {
    std::string_view text;
    if (!view.Main(n, &text)) {
      store_->RecordError(category::kTextField, detail::kWrongKind);
      return kFailed;
    }
    size_t capacity = 0;
    char* field = kojin::MainField(entry, n, &capacity);
    CopyToField(field, capacity, text);
  }

  uint16_t version = store_->format_version;
  if (version < kExtensionVersion) {
    entry->AltDestFlag = 0;
    Put(entry->SpeedDial, {});
    Put(entry->FCode, {});
    Put(entry->PCode, {});
    return kOk;
  }
  Put(entry->FCode, view.Extension(kojin::kFCode));
  Put(entry->PCode, view.Extension(kojin::kPCode));
  Put(entry->SpeedDial, view.Extension(kojin::kSpeedDial));
  entry->AltDestFlag = 0;
  if (version >= kAltDestVersion) {
    entry->AltDestFlag = view.AltDestFlag();
    if (entry->AltDestFlag == kojin::kAltInForce) Put(entry->FaxNumber, view.AltDest());
  }
  return kOk;
}

short RecordReader::LoadChecked(uint16_t record_number, TL_ListItem* item, Loaded* record) {
  short status = LoadAhead(record_number, category::kListItem, record);
  if (status != kOk) return status;
  KojinView view(record->data, record->size);
  uint8_t expected = format::kKindPersonal;
  if (record_number > format::kGroupBase) {
    expected = format::kKindGroup;
  } else if (store_->format_version >= kAltDestVersion) {
    item->Kind = view.AltDestFlag();
    if (item->Kind == kojin::kAltInForce) expected = format::kKindPersonalAltDest;
  }
  if (view.kind() != expected) {
    store_->RecordError(category::kListItem, detail::kWrongKind);
    return kFailed;
  }
  if (expected == format::kKindGroup) item->Kind = format::kKindGroup;
  return kOk;
}

short RecordReader::ReadListItem(uint16_t record_number, TL_ListItem* item) {
  Loaded record;
  short status = LoadChecked(record_number, item, &record);
  if (status != kOk) return status;
  KojinView view(record.data, record.size);
  // The kind was checked, so the main string decoder accepts the record.
  std::string_view text;
  item->RecordNumber = record_number;
  view.Main(0, &text);
  Put(item->Name, text);
  view.Main(1, &text);
  Put(item->Furigana, text);
  if (view.kind() == format::kKindGroup) return kOk;

  view.Main(2, &text);
  Put(item->Affiliation, text);
  view.Main(3, &text);
  Put(item->FaxNumber, text);
  view.Main(4, &text);
  Put(item->Phone, text);
  view.Main(5, &text);
  Put(item->EMail, text);
  view.Main(6, &text);
  Put(item->Memo, text);

  uint16_t version = store_->format_version;
  if (version < kExtensionVersion) {
    item->Kind = 0;
    Put(item->SpeedDial, {});
    return kOk;
  }
  Put(item->SpeedDial, view.Extension(kojin::kSpeedDial));
  if (version < kAltDestVersion) {
    item->Kind = 0;
    return kOk;
  }
  item->Kind = view.AltDestFlag();
  if (item->Kind == kojin::kAltInForce) Put(item->FaxNumber, view.AltDest());
  return kOk;
}

short RecordReader::ReadReading(uint16_t record_number, TL_ListItem* item, uint8_t* slot) {
  Loaded record;
  short status = LoadChecked(record_number, item, &record);
  if (status != kOk) return status;
  std::string_view reading;
  MainString(record.data, record.size, 1, &reading);
  item->RecordNumber = record_number;
  Put(item->Furigana, reading);
  uint8_t favourite_bits = Slot::tab(slot) & format::kTabFavouriteMask;
  slot[format::kSlotTabOffset] = static_cast<uint8_t>(favourite_bits | ClassifyReading(reading));
  return kOk;
}

}  // namespace telbook
