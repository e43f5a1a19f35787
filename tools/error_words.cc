// Word tables of the error pair's categories and details, as the library records them.
#include "tools/error_words.h"

#include <cstddef>

namespace telbook {
namespace tool {
namespace {

struct Words {
  unsigned code;
  const char* text;
};

constexpr Words kCategories[] = {
    {1, "taking a text field out of a stored record"},
    {2, "checking a tab code"},
    {3, "looking for the next record of a tab"},
    {4, "reading a record for a list"},
    {5, "reading a personal entry"},
    {6, "reading the records of a tab"},
    {7, "counting the records of a tab"},
    {8, "opening a tab"},
    {9, "reading the members of a group"},
    {10, "reading a group"},
    {11, "opening a group"},
    {12, "closing a file"},
    {13, "writing to a file"},
    {14, "reading from a file"},
    {15, "opening or creating a file"},
    {17, "moving the file position"},
    {19, "finding the slot of a record number"},
    {20, "finding the record number of a slot"},
    {22, "reading the favourite names"},
    {23, "writing the favourite names"},
    {24, "obtaining the buffers of the phone book"},
    {25, "creating or opening the phone book, or preparing its working copy"},
    {30, "writing a personal entry"},
    {31, "writing a group"},
    {32, "deleting a personal entry"},
    {33, "deleting a group"},
    {40, "saving the phone book, or exporting"},
};

constexpr Words kDetails[] = {
    {1, "a stored record is of the wrong kind"},
    {2, "the tab code is not valid"},
    {3, "a slot lies outside both index tables"},
    {4, "memory could not be obtained, or the record does not exist"},
    {5, "the record number is out of range or has no slot"},
    {6, "no record is left to deliver"},
    {7, "the tab code differs from the open tab's"},
    {8, "no tab is open"},
    {9, "a tab is already open"},
    {10, "no member is left to deliver"},
    {11, "no group is open"},
    {12, "the number is not a group's"},
    {13, "a file could not be closed"},
    {14, "a write failed or was short (is the disk full?)"},
    {15, "a read failed or was short (the file may be truncated or damaged)"},
    {16, "the file could not be opened, or no phone book is open"},
    {17, "a file could not be created"},
    {18, "no place was given for the count of bytes moved"},
    {19, "the file position could not be moved"},
    {23, "the favourite category number is out of range"},
    {24, "the file is in use by another program, or its writers' lock is held"},
    {30, "a record could not be written, read back or converted"},
    {31, "no free slot is left"},
    {32, "no record has this number"},
    {33, "another program changed or replaced the file since it was opened"},
    {34, "the file is read-only"},
    {35, "the directory is not writable"},
    {36, "the directory is missing or is not a directory"},
    {37, "the destination is the open phone book"},
    {38, "the destination is a directory or a kind of file that is never written"},
};

template <size_t N>
const char* Find(const Words (&table)[N], unsigned code) {
  for (const Words& w : table) {
    if (w.code == code) return w.text;
  }
  return nullptr;
}

}  // namespace

std::string CategoryWords(unsigned category) {
  const char* text = Find(kCategories, category);
  return text != nullptr ? text : "unknown operation " + std::to_string(category);
}

std::string DetailWords(unsigned detail) {
  const char* text = Find(kDetails, detail);
  return text != nullptr ? text : "unknown cause " + std::to_string(detail);
}

std::string PairWords(unsigned category, unsigned detail) {
  if (category == 0 && detail == 0) return "the library recorded no cause";
  return DetailWords(detail) + " (while " + CategoryWords(category) + "; library error " +
         std::to_string(category) + "/" + std::to_string(detail) + ")";
}

}  // namespace tool
}  // namespace telbook
