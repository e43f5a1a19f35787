// The two registry operations every setting goes through (read a value within a capacity; create
// or open a key and store a text value), the key paths and value names, and number values.
#ifndef TELBOOK_SETTINGS_REGISTRY_VALUE_H_
#define TELBOOK_SETTINGS_REGISTRY_VALUE_H_

#include <cstdint>

#include "platform/env.h"

namespace telbook {
namespace registry {

// Key paths below HKEY_CURRENT_USER.
constexpr char kRootKey[] = "SOFTWARE\\Kestrix\\KV Printer Driver Data\\Sendwell";
constexpr char kPhoneBookListKey[] =
    "SOFTWARE\\Kestrix\\KV Printer Driver Data\\Sendwell\\PhonebookList";
constexpr char kRecipientsListKey[] =
    "SOFTWARE\\Kestrix\\KV Printer Driver Data\\Sendwell\\RecipientsList";

// Value names.
constexpr char kFuriganaTab[] = "FuriganaTab";
constexpr char kSortItem[] = "SORT_ITEM";
constexpr char kSortOrder[] = "SORT_ORDER";
constexpr char kSearchCategory[] = "SearchCategory";
constexpr char kSearchOption[] = "SearchOption";
// COLUMN_WIDTH1 to COLUMN_WIDTH5 (phone book list) and 1 to 4 (recipients list).
constexpr const char* kColumnWidth[] = {"COLUMN_WIDTH1", "COLUMN_WIDTH2", "COLUMN_WIDTH3",
                                        "COLUMN_WIDTH4", "COLUMN_WIDTH5"};
constexpr int kPhoneBookColumns = 5;
constexpr int kRecipientsColumns = 4;
static_assert(sizeof(kColumnWidth) / sizeof(kColumnWidth[0]) == kPhoneBookColumns,
              "one name per phone book column");

// Read capacities in bytes.
constexpr uint32_t kFuriganaTabCapacity = 4;
constexpr uint32_t kColumnWidthCapacity = 128;
constexpr uint32_t kSortCapacity = 12;
constexpr uint32_t kSearchCapacity = 8;
// The largest capacity of a number value; buffers of number reads hold it plus a terminator.
constexpr uint32_t kMaxNumberCapacity = kColumnWidthCapacity;

// Opens the key for reading, reads the named value into buffer and closes the key. False when
// the key cannot be opened or the value cannot be read, a value longer than capacity included;
// on success *length holds the count of bytes read (at most capacity).
bool ReadValue(Env* env, const char* key_path, const char* name, uint8_t* buffer, uint32_t capacity,
               uint32_t* length);

// Creates or opens the key (making missing keys on the way), stores the length bytes of data as
// a text value with no terminator, and closes the key. 1 when the value was stored; 0 when the
// key could not be created or opened or the value could not be set.
int WriteValue(Env* env, const char* key_path, const char* name, const uint8_t* data,
               uint32_t length);

// A number value (capacity at most kMaxNumberCapacity): the decimal parse of the bytes read, up
// to the first zero byte or the end of the data; anything but digits gives 0. False, with
// *number untouched, when the value cannot be read.
bool ReadNumber(Env* env, const char* key_path, const char* name, uint32_t capacity,
                uint32_t* number);

// Stores value as decimal digits; a negative value as its unsigned 32-bit two's complement, which
// reads back as the same 32-bit pattern. Result as WriteValue.
int WriteNumber(Env* env, const char* key_path, const char* name, int32_t value);

}  // namespace registry
}  // namespace telbook

#endif  // TELBOOK_SETTINGS_REGISTRY_VALUE_H_
