// Closing a phone book: saving the working copy through the compaction and an atomic replace, or
// dropping it, then releasing the buffers. A failed save leaves the session changed on its working
// copy and the phone book file as it was.
#ifndef TELBOOK_STORE_CLOSER_H_
#define TELBOOK_STORE_CLOSER_H_

#include <cstdint>

#include "store/compaction.h"
#include "store/file_accessor.h"
#include "store/record_index.h"
#include "store/store_client.h"

namespace telbook {

class FileStore;
class RecordConverter;
class RecordWriter;

class Closer {
 public:
  explicit Closer(FileStore* store)
      : store_(store), client_(store), accessor_(store), compaction_(store) {}
  virtual ~Closer() = default;

  void Wire(RecordConverter* converter, RecordWriter* writer) {
    compaction_.Wire(converter);
    writer_ = writer;
  }

  // discard 0 saves a changed phone book; any other value drops the changes. 0, or -1 with
  // (40, 16) when nothing is open or (40, 30) when the save failed. A save writes the compacted
  // book to a new file beside the phone book and puts it in the phone book's place in one step;
  // until then the phone book is not touched. After a failed save the session is still changed,
  // every record reads as before, and no file is left behind but the working copy.
  short Close(uint16_t discard);

 private:
  // Drops the working copy, if any, and releases everything the open held.
  void Release();
  short Save();

  FileStore* store_;
  StoreClient client_;
  FileAccessor accessor_;
  Compaction compaction_;
  RecordWriter* writer_ = nullptr;
};

}  // namespace telbook

#endif  // TELBOOK_STORE_CLOSER_H_
