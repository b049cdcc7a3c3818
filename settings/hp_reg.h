// The settings record and its registry home, HKEY_LOCAL_MACHINE\SOFTWARE\Brackfell\Pellvane:
// make sure the key exists, load the record from its 41 values, save all 41 back.
#pragma once

#include <memory>
#include <optional>

#include "platform/dialogs.h"
#include "settings/settings_record.h"

namespace pellvane {

class CReadWriteReg;

class Settings {
 public:
  // `dialogs` shows the registry class's one message of its own.
  explicit Settings(Dialogs& dialogs);
  ~Settings();
  Settings(const Settings&) = delete;
  Settings& operator=(const Settings&) = delete;

  SettingsRecord& record() { return record_; }
  const SettingsRecord& record() const { return record_; }

  // True when the settings key can be opened at the end; creates missing levels.
  bool InitSettingsKey();
  // Fills every field from the registry; what is missing or does not convert takes its default.
  void LoadSettings();
  // Writes all 41 values, each as REG_SZ; nothing when the record is as this object last
  // wrote it.
  void SaveSettings();

 private:
  CReadWriteReg& RegAccess();  // created on first use, open on the settings key between calls

  Dialogs& dialogs_;
  SettingsRecord record_;
  // The record as the store holds it, after a load or a full write; nothing when unknown.
  std::optional<SettingsRecord> saved_;
  std::unique_ptr<CReadWriteReg> reg_access_;
};

}  // namespace pellvane
