// The hub of a session: the open phone book's handle, format version, the in-memory fixed part
// (header, favourites, both index tables), the paths, the group cursor and the error pair.
#ifndef TELBOOK_STORE_FILE_STORE_H_
#define TELBOOK_STORE_FILE_STORE_H_

#include <cstdint>

#include "platform/env.h"
#include "platform/memory_block.h"
#include "store/append_buffer.h"
#include "store/errors.h"
#include "store/format.h"
#include "store/read_ahead.h"

namespace telbook {

// The group loaded by TL_openGroup. Closing or opening a phone book drops it.
struct GroupCursor {
  bool open = false;
  uint16_t delivered = 0;   // members handed out since the open
  MemoryBlock record;       // the loaded copy of the stored group record
  uint8_t* slot = nullptr;  // the group's slot in the group index buffer

  void Drop() {
    open = false;
    delivered = 0;
    record.Release();
    slot = nullptr;
  }
};

class FileStore final {
 public:
  explicit FileStore(Env* env) : env_(env), read_ahead_(this), write_behind_(this) {}
  FileStore(const FileStore&) = delete;
  FileStore& operator=(const FileStore&) = delete;

  Env* env() const { return env_; }

  // ---- Error pair ----
  void RecordError(uint16_t category, uint16_t detail) {
    error_.category = category;
    error_.detail = detail;
  }
  ErrorPair error() const { return error_; }

  // ---- Open phone book ----
  bool is_open() const { return handle != nullptr; }

  // Obtains the four zero-filled buffers of the fixed part and drops the group cursor. On
  // failure releases what it had, records (kBuffers, kNoMemory) and returns false.
  bool ObtainBuffers();
  // Releases the buffers and drops the group cursor.
  void ReleaseBuffers();

  uint8_t* header() const { return header_.data(); }
  uint8_t* favourites() const { return favourites_.data(); }
  uint8_t* personal_index() const { return personal_index_.data(); }
  uint8_t* group_index() const { return group_index_.data(); }

  // The lowest slot index (0-based) of a table (0 personal, 1 group) that may still be free:
  // every slot below it is used. Slots are never emptied while the buffers hold a phone book,
  // so the hint only rises; it is forgotten whenever the buffers are obtained, released or
  // loaded from a file.
  uint16_t free_slot_hint(int table) const { return free_slot_hint_[table]; }
  void set_free_slot_hint(int table, uint16_t index) { free_slot_hint_[table] = index; }
  void ForgetFreeSlotHints() { free_slot_hint_[0] = free_slot_hint_[1] = 0; }

  // The block read ahead of the records of the open file, for walks over the record area. Its
  // bytes are forgotten at every append and whenever the buffers are obtained or the handle
  // changes; the block goes with the buffers.
  ReadAhead& read_ahead() { return read_ahead_; }
  // The records appended to the working copy since its last block went out: the file and this
  // block together are the working copy, and every read of the record area looks here first.
  // What is held is dropped with the working copy (a discarding close, a save, the buffers'
  // release); a failed block write keeps it for the next append or the save to use.
  AppendBuffer& write_behind() { return write_behind_; }
  const AppendBuffer& write_behind() const { return write_behind_; }

  // Moves whenever slots in memory may have changed: the buffers obtained or released, a count
  // set, and wherever a component changes slots otherwise (the record writer's append, the
  // deleter's freeing of a slot, the other-class rebuild), which says so with SlotsChanged(). What
  // is derived from the slots (the tab lists) is kept only while it stays the same.
  uint32_t slot_generation() const { return slot_generation_; }
  void SlotsChanged() { ++slot_generation_; }

  uint16_t personal_count() const;
  uint16_t group_count() const;
  void set_personal_count(uint16_t n);
  void set_group_count(uint16_t n);

  // The open file (the phone book in read mode, or the working copy after the switch).
  FileHandle handle = nullptr;
  // The phone book file as the open found it: a save goes through only while the file at the
  // path is still this one, unchanged.
  FileIdentity identity;
  // Format version at the last header read (0 to 3), possibly lowered to 1 by the probe.
  uint16_t format_version = 0;
  GroupCursor group_cursor;
  char path[kMaxPath] = {};
  char work_path[kMaxPath] = {};

 private:
  Env* env_;
  ErrorPair error_;
  MemoryBlock header_;
  MemoryBlock favourites_;
  MemoryBlock personal_index_;
  MemoryBlock group_index_;
  uint16_t free_slot_hint_[2] = {};
  uint32_t slot_generation_ = 0;
  ReadAhead read_ahead_;
  AppendBuffer write_behind_;
};

}  // namespace telbook

#endif  // TELBOOK_STORE_FILE_STORE_H_
