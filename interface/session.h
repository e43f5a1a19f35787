// The session object: one block holding every component by value, wired once when built.
// TL_CreateFaxUtl builds it in memory from the Env; TL_DestroyFaxUtl tears it down.
#ifndef TELBOOK_INTERFACE_SESSION_H_
#define TELBOOK_INTERFACE_SESSION_H_

#include "browse/record_enumerator.h"
#include "browse/tab_browser.h"
#include "export/export_driver.h"
#include "export/text_export.h"
#include "interface/telbook.h"
#include "records/group_reader.h"
#include "records/record_converter.h"
#include "records/record_deleter.h"
#include "records/record_writer.h"
#include "settings/settings_record.h"
#include "store/closer.h"
#include "store/file_accessor.h"
#include "store/file_store.h"
#include "store/opener.h"
#include "store/working_copy.h"
#include "store/writers_lock.h"

namespace telbook {

class Session final {
 public:
  // Builds an object in one block from env; null when the block cannot be had.
  static Session* Create(Env* env);
  // Closes an open phone book, dropping its changes, and releases the block.
  static void Destroy(Session* session);

  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // TL_createDataBase and TL_openDataBase: the opener's, then, on success, the other-class
  // rebuild of the index just read.
  short CreateDataBase(const char* path);
  short OpenDataBase(const char* path);
  // For callers of the library's own C++ (the tool): opens the phone book to change it, holding
  // its writers' lock from before the open until the close, so that no other writer's save can
  // fall between what this session reads and what it saves. Waits up to wait_ms for another
  // holder. -1 with no pair while a phone book is open; -1 with the lock's (kDataBase, detail):
  // kInUse past the wait, kReadOnly, kNotWritableKind or kOpenFailed; else OpenDataBase's status,
  // the lock let go on a failure.
  short OpenToChange(const char* path, uint32_t wait_ms);

  // Components, in the order they are built.
  FileStore store;
  WritersLock writers_lock;
  ExportDriver export_driver;
  Opener opener;
  Closer closer;
  RecordConverter converter;
  SaveConversion save_conversion;
  WorkingCopy working_copy;
  RecordWriter writer;
  RecordDeleter deleter;
  TextExportWriter text_writer;
  GroupReader group_reader;
  TabBrowser tab_browser;
  RecordEnumerator enumerator;
  SettingsRecord settings;
  FileAccessor accessor;

 private:
  explicit Session(Env* env);
  ~Session() = default;

  // The working copy's reload of the index: the rebuild runs there too.
  static void IndexReloaded(void* session);
};

inline Session* FromHandle(TL_FaxUtl* handle) { return reinterpret_cast<Session*>(handle); }
inline TL_FaxUtl* ToHandle(Session* session) { return reinterpret_cast<TL_FaxUtl*>(session); }

}  // namespace telbook

#endif  // TELBOOK_INTERFACE_SESSION_H_
