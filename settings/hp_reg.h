// The settings record and its registry home, HKEY_LOCAL_MACHINE\SOFTWARE\Brackfell\Pellvane:
// make sure the key exists, load the record from its 41 values, save back the ones it changed.
// Not safe from two threads.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/dialogs.h"
#include "platform/registry.h"
#include "settings/settings_record.h"

namespace pellvane {

class CReadWriteReg;
struct SettingInfo;

// Every setting at its default: what an empty store loads as.
SettingsRecord DefaultRecord();

// The text a save writes for a setting's value in `record`.
std::string StoredText(const SettingInfo& setting, const SettingsRecord& record);

class Settings {
 public:
  // Over the store file at `store_path`; `dialogs` shows the registry class's one message of
  // its own.
  Settings(Dialogs& dialogs, std::string store_path);
  ~Settings();
  Settings(const Settings&) = delete;
  Settings& operator=(const Settings&) = delete;

  // The store the settings live in, for other readers and writers of the same key.
  Registry& registry() { return registry_; }

  SettingsRecord& record() { return record_; }
  const SettingsRecord& record() const { return record_; }

  // True when the settings key can be opened at the end; creates missing levels.
  bool InitSettingsKey();
  // Fills every field from the registry; what is missing or does not convert takes its default.
  // When the key cannot be opened, the record takes the values of an empty store.
  void LoadSettings();
  // Writes, each as REG_SZ and in the registry's order, the values that differ from what this
  // object last loaded or wrote (all 41 on an empty store), so that values another instance
  // changed meanwhile survive; before any load, all 41. Writes nothing when the last load
  // could not open the key. Empty when everything that changed was written; else why not.
  std::string SaveSettings();
  // Reads the one setting named `name` (such as "lastip") again, for a decision that must see
  // what another instance stored meanwhile; the rest of the record stays as it is. False, the
  // field unchanged, when it cannot be read.
  bool ReloadValue(std::string_view name);
  // False when the last LoadSettings could not open the settings key.
  bool loaded() const { return !load_failed_; }
  // True when the store held the setting at the last load or write by this object.
  bool IsStored(const SettingInfo& setting) const;
  // Sets one setting from the text a save writes for it and writes that value alone, now;
  // false when it could not be written.
  bool StoreValue(const SettingInfo& setting, const std::string& text);

 private:
  CReadWriteReg& RegAccess();
  bool OpenOrCreateKey();  // created on first use, open on the settings key between calls
  // Writes the text of the setting at `index` in the table; false when the store refused it.
  bool WriteValue(std::size_t index, const std::string& text);

  Dialogs& dialogs_;
  Registry registry_;
  SettingsRecord record_;
  bool key_missing_ = false;  // the last InitSettingsKey failed
  bool load_failed_ = false;
  // Per value, in the registry's order: the text the store held at the last load or write by
  // this object; nothing when it was missing.
  std::vector<std::optional<std::string>> stored_;
  std::unique_ptr<CReadWriteReg> reg_access_;
};

}  // namespace pellvane
