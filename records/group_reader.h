// The group reader: loading one group, its data and members; reading and writing favourite
// names.
#ifndef TELBOOK_RECORDS_GROUP_READER_H_
#define TELBOOK_RECORDS_GROUP_READER_H_

#include "records/favourites.h"

namespace telbook {

class FileStore;

class GroupReader {
 public:
  explicit GroupReader(FileStore* store) : favourites(store), store_(store) {}
  virtual ~GroupReader() = default;

  // TL_readOkonomi and TL_writeOkonomi.
  Favourites favourites;

 private:
  FileStore* store_;
};

}  // namespace telbook

#endif  // TELBOOK_RECORDS_GROUP_READER_H_
