// The 41 settings as one table, in the order they are read and written: the name, the
// registry value name a save writes, the kind of value, its default, its place in the backup
// file and its record field; load, save, backup and the settings commands all use it.
// Built once; read-only afterwards, so safe to read from several threads.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "platform/text.h"
#include "settings/settings_record.h"

namespace pellvane {

// The settings key below HKEY_LOCAL_MACHINE.
inline const std::string kSettingsKeyPath = "SOFTWARE\\Brackfell\\Pellvane";

enum class SettingKind {
  kText,    // any text
  kNumber,  // a 16-bit decimal number
  kIndex,   // a slot index, 0 to 4
  kMode,    // the proxy mode, 0 to 2
  kFlag,    // "True" or "False"
};

// The record field a setting belongs to.
using SettingField = std::variant<std::string*, std::int16_t*, bool*>;

struct SettingInfo {
  std::string name;        // as read: "proxyport"
  std::string value_name;  // as a save writes it: "proxyPort"
  SettingKind kind;
  std::string default_text;  // what a missing value reads as, in the stored text form
  bool secret;               // a password, never shown by --show
  int file_position;         // where the backup file keeps it, 0 to 40
  std::function<SettingField(SettingsRecord&)> field;
};

const std::vector<SettingInfo>& SettingsTable();

// The setting of that name in any letter case; null when there is none.
const SettingInfo* FindSetting(std::string_view name);

// The text a save writes for `text` given as a value of `kind` ("true" becomes "True", "+3"
// becomes "3"); nothing when the kind cannot take it.
std::optional<std::string> NormalizedValue(SettingKind kind, std::string_view text);

}  // namespace pellvane
