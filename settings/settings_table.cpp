#include "settings/settings_table.h"

#include <charconv>

namespace pellvane {
namespace {

std::vector<SettingInfo> BuildTable() {
  std::vector<SettingInfo> t;
  // `position` is where the backup file keeps the value.
  const auto text = [&t](std::string name, bool secret, auto member, int slot, int position) {
    t.push_back({name, name, SettingKind::kText, "", secret, position,
                 [member, slot](SettingsRecord& r) -> SettingField {
                   if constexpr (std::is_same_v<decltype(member), SlotTexts SettingsRecord::*>) {
                     return &(r.*member)[slot];
                   } else {
                     return &(r.*member);
                   }
                 }});
  };
  const auto other = [&t](std::string name, SettingKind kind, std::string default_text, auto member,
                          int position) {
    t.push_back({name, name, kind, default_text, false, position,
                 [member](SettingsRecord& r) -> SettingField { return &(r.*member); }});
  };
  for (int i = 0; i < kSlots; ++i) {
    const std::string n = std::to_string(i);
    text("wserver" + n, false, &SettingsRecord::wserver, i, i);
    text("ftpserver" + n, false, &SettingsRecord::ftpserver, i, 13 + i);
    text("ftpuser" + n, false, &SettingsRecord::ftpuser, i, 18 + i);
    text("ftppass" + n, true, &SettingsRecord::ftppass, i, 23 + i);
    text("ftpremotefile" + n, false, &SettingsRecord::ftpremotefile, i, 28 + i);
    text("htmltemplatefile" + n, false, &SettingsRecord::htmltemplatefile, i, 33 + i);
  }
  other("wdefserver", SettingKind::kIndex, "0", &SettingsRecord::wdefserver, 5);
  other("proxycon", SettingKind::kMode, "0", &SettingsRecord::proxycon, 6);
  text("proxysrv", false, &SettingsRecord::proxysrv, 0, 7);
  text("proxyport", false, &SettingsRecord::proxyport, 0, 8);
  t.back().value_name = "proxyPort";
  text("puser", false, &SettingsRecord::puser, 0, 9);
  text("ppass", true, &SettingsRecord::ppass, 0, 10);
  text("lastip", false, &SettingsRecord::lastip, 0, 11);
  other("useftp", SettingKind::kFlag, "False", &SettingsRecord::useftp, 12);
  other("ftpdefserver", SettingKind::kIndex, "0", &SettingsRecord::ftpdefserver, 38);
  other("inettimeout", SettingKind::kNumber, "20", &SettingsRecord::inettimeout, 39);
  other("writelog", SettingKind::kFlag, "False", &SettingsRecord::writelog, 40);
  return t;
}

std::optional<std::string> NumberIn(std::string_view text, int low, int high) {
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  int n = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), n);
  if (text.empty() || ec != std::errc() || end != text.data() + text.size() || n < low ||
      n > high) {
    return std::nullopt;
  }
  return std::to_string(n);
}

}  // namespace

const std::vector<SettingInfo>& SettingsTable() {
  static const std::vector<SettingInfo> table = BuildTable();
  return table;
}

const SettingInfo* FindSetting(std::string_view name) {
  for (const SettingInfo& s : SettingsTable()) {
    if (EqualsNoCase(s.name, name)) return &s;
  }
  return nullptr;
}

std::optional<std::string> NormalizedValue(SettingKind kind, std::string_view text) {
  switch (kind) {
    case SettingKind::kText:
      return std::string(text);
    case SettingKind::kNumber:
      return NumberIn(text, INT16_MIN, INT16_MAX);
    case SettingKind::kIndex:
      return NumberIn(text, 0, kSlots - 1);
    case SettingKind::kMode:
      return NumberIn(text, 0, 2);
    case SettingKind::kFlag:
      if (EqualsNoCase(text, "true") || text == "-1") return "True";
      if (EqualsNoCase(text, "false") || text == "0") return "False";
      return std::nullopt;
  }
  return std::nullopt;
}

}  // namespace pellvane
