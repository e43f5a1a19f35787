// A file written whole before it reaches the place the user named: its new bytes go to a
// temporary file, and only once they are complete and flushed do they replace the destination in
// one step or, where the destination must be kept as it is (links, devices), get copied into it.
#ifndef TELBOOK_STORE_OUTPUT_FILE_H_
#define TELBOOK_STORE_OUTPUT_FILE_H_

#include <cstdint>

#include "platform/env.h"

namespace telbook {

class FileStore;

// The detail of a failure to make a file in a directory: kNoDirectory, kDirectoryNotWritable,
// kWriteFailed for a full device, else kCreateFailed.
uint16_t DirectoryDetail(FileError error);

// The directory part of path, with its separator, into out[kMaxPath]; "./" for a bare name.
bool DirectoryOfPath(const char* path, char* out);

class OutputFile final {
 public:
  explicit OutputFile(FileStore* store) : store_(store) {}
  ~OutputFile() { Abandon(); }
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // Looks at an export's destination, symbolic links followed, and opens the file its new bytes
  // go to. A missing file or a regular file of one link is replaced; a regular file of more
  // links, a FIFO, a character device or a socket is written into. False, with (category,
  // detail) recorded and nothing made, for: a directory, a block device or another kind, or a
  // regular file reached through a link to a process's open file (kNotWritableKind); the open
  // phone book or its working copy, through any path (kIsOpenBook);
  // a file the user may not write (kReadOnly); a directory for the new file that is missing
  // (kNoDirectory) or not writable (kDirectoryNotWritable); kOpenFailed when the destination
  // cannot be looked at.
  bool BeginExport(const char* destination, uint16_t category);
  // The new content of target, a regular file its caller resolved and checked: made beside it,
  // or in the temporary directory when it is to be written into (in_place). False with
  // (category, DirectoryDetail) when no file can be made there.
  bool BeginReplacing(const char* target, bool in_place, uint16_t category);

  // The file to write the new bytes to, from its start; null before a Begin.
  FileHandle file() const { return file_; }
  // Whether the destination was missing when Begin looked.
  bool created() const { return created_; }

  // Flushes the new bytes and puts them in the destination's place: a replaced file takes the
  // permissions, owner and group of the one before, and a file that another handle holds where
  // the system replaces no held file (Windows) is written into instead. Into is an open handle of
  // the destination with write access to use for writing into it, or null to open it here. On
  // failure, with (category, detail) recorded: before the destination is touched it is as it
  // was; a write into it that failed part-way (kWriteFailed) may have left it torn. Either way
  // the temporary file is gone afterwards. Where the new file had no name (Linux O_TMPFILE), a
  // replace also removes the library's named temporary files beside the destination that no
  // live handle holds: there they can only be whole new files of killed processes, caught
  // between their link and their rename.
  bool Commit(FileHandle into);
  // Closes and removes the temporary file, if any; the destination is not touched.
  void Abandon();

 private:
  bool Fail(uint16_t detail);
  bool Create(bool in_place);
  bool WriteInto(FileHandle into);
  void RemoveLeftoversBeside();

  FileStore* store_;
  uint16_t category_ = 0;
  bool in_place_ = false;
  bool unnamed_ = false;
  bool created_ = false;
  FileHandle file_ = nullptr;
  char target_[kMaxPath] = {};
  // The temporary file's name; empty for one without a name.
  char name_[kMaxPath] = {};
};

}  // namespace telbook

#endif  // TELBOOK_STORE_OUTPUT_FILE_H_
