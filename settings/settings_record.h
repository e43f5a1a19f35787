// The settings record: the host's user settings exchanged through the IniInfo functions and kept
// in the registry.
#ifndef TELBOOK_SETTINGS_SETTINGS_RECORD_H_
#define TELBOOK_SETTINGS_SETTINGS_RECORD_H_

namespace telbook {

class FileStore;

class SettingsRecord {
 public:
  explicit SettingsRecord(FileStore* store) : store_(store) {}
  virtual ~SettingsRecord() = default;

 private:
  FileStore* store_;
};

}  // namespace telbook

#endif  // TELBOOK_SETTINGS_SETTINGS_RECORD_H_
