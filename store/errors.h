// The error pair: the category names the operation that failed, the detail the cause.
// Recording overwrites both; nothing clears the pair.
#ifndef TELBOOK_STORE_ERRORS_H_
#define TELBOOK_STORE_ERRORS_H_

#include <cstdint>

namespace telbook {

struct ErrorPair {
  uint16_t category = 0;
  uint16_t detail = 0;
};

namespace category {
constexpr uint16_t kTextField = 1;
constexpr uint16_t kTabCode = 2;
constexpr uint16_t kTabNextSlot = 3;
constexpr uint16_t kListItem = 4;
constexpr uint16_t kReadKojin = 5;
constexpr uint16_t kReadTagData = 6;
constexpr uint16_t kReadTagWeightCount = 7;
constexpr uint16_t kOpenTag = 8;
constexpr uint16_t kReadGroupMember = 9;
constexpr uint16_t kReadGroupData = 10;
constexpr uint16_t kOpenGroup = 11;
constexpr uint16_t kFileClose = 12;
constexpr uint16_t kFileWrite = 13;
constexpr uint16_t kFileRead = 14;
constexpr uint16_t kFileOpen = 15;
constexpr uint16_t kFileMove = 17;
constexpr uint16_t kRecordToSlot = 19;
constexpr uint16_t kSlotToRecord = 20;
constexpr uint16_t kReadOkonomi = 22;
constexpr uint16_t kWriteOkonomi = 23;
constexpr uint16_t kBuffers = 24;
constexpr uint16_t kDataBase = 25;  // create, open, and the switch to the working copy
constexpr uint16_t kWriteKojin = 30;
constexpr uint16_t kWriteGroup = 31;
constexpr uint16_t kDeleteKojin = 32;
constexpr uint16_t kDeleteGroup = 33;
constexpr uint16_t kClose = 40;  // closing with its compaction; the text export
}  // namespace category

namespace detail {
constexpr uint16_t kWrongKind = 1;
constexpr uint16_t kBadTabCode = 2;
constexpr uint16_t kSlotOutside = 3;
constexpr uint16_t kNoMemory = 4;
constexpr uint16_t kBadRecordNumber = 5;
constexpr uint16_t kNoMoreRecords = 6;
constexpr uint16_t kOtherTab = 7;
constexpr uint16_t kNoTabOpen = 8;
constexpr uint16_t kTabAlreadyOpen = 9;
constexpr uint16_t kNoMoreMembers = 10;
constexpr uint16_t kNoGroupOpen = 11;
constexpr uint16_t kNotAGroup = 12;
constexpr uint16_t kCloseFailed = 13;
constexpr uint16_t kWriteFailed = 14;
constexpr uint16_t kReadFailed = 15;
constexpr uint16_t kOpenFailed = 16;  // also: no phone book is open
constexpr uint16_t kCreateFailed = 17;
constexpr uint16_t kNoCountPlace = 18;
constexpr uint16_t kMoveFailed = 19;
constexpr uint16_t kFavouriteIndex = 23;
constexpr uint16_t kInUse = 24;
constexpr uint16_t kRecordFailed = 30;
constexpr uint16_t kNoFreeSlot = 31;
constexpr uint16_t kNoRecord = 32;  // the slot of the number is free
// Causes of a refused save or export; with kInUse for a writers' lock another program held
// past the wait, with kWriteFailed for a write into an existing file that failed part-way.
constexpr uint16_t kChanged = 33;               // another program changed or replaced the file
constexpr uint16_t kReadOnly = 34;              // the file may not be written
constexpr uint16_t kDirectoryNotWritable = 35;  // no file may be made in the directory
constexpr uint16_t kNoDirectory = 36;           // the directory is missing or is not one
constexpr uint16_t kIsOpenBook = 37;            // the destination is the open phone book
constexpr uint16_t kNotWritableKind = 38;       // a directory, or a kind of file never written
}  // namespace detail

// Statuses of the exported functions.
constexpr short kOk = 0;
constexpr short kFailed = -1;
constexpr short kInUseStatus = -2;      // open only
constexpr short kNoFreeSlotStatus = 5;  // writers of entries and groups only

}  // namespace telbook

#endif  // TELBOOK_STORE_ERRORS_H_
