// The slots of every index tab in scan order, made in one pass over both slot tables and kept
// while no slot changes, so that opening a tab counts nothing and reading it scans nothing.
#ifndef TELBOOK_BROWSE_TAB_LISTS_H_
#define TELBOOK_BROWSE_TAB_LISTS_H_

#include <cstdint>

#include "platform/memory_block.h"

namespace telbook {

class FileStore;

class TabLists final {
 public:
  // A slot as the lists hold it: personal slot index i as i, group slot index i as 9999 + i,
  // so that the scan order is the order of the numbers.
  using Packed = uint16_t;

  explicit TabLists(FileStore* store) : store_(store) {}
  TabLists(const TabLists&) = delete;
  TabLists& operator=(const TabLists&) = delete;

  // Makes the lists of the open phone book unless they are current (made since the store's slot
  // generation last moved). False, the lists forgotten, when no phone book is open or their
  // memory cannot be had: the caller then scans the slots.
  bool Ready();
  // The store's slot generation the lists were made at.
  uint32_t generation() const { return generation_; }

  // The used slots whose tab code matches (code & mask) == value, for a (mask, value) of
  // DecodeTabCode, in scan order: [*begin, *end). The lists must be Ready().
  void Of(uint8_t mask, uint8_t value, const Packed** begin, const Packed** end) const;

 private:
  // Eleven reading classes, then five favourite categories.
  static constexpr int kLists = 16;

  FileStore* store_;
  // kLists + 1 starts, then every list's slots back to back; kept, and used again when the lists
  // are made again, until the session ends.
  MemoryBlock block_;
  bool current_ = false;
  uint32_t generation_ = 0;
};

}  // namespace telbook

#endif  // TELBOOK_BROWSE_TAB_LISTS_H_
