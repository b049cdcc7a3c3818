#include "settings/hp_reg.h"

#include <charconv>
#include <string>
#include <variant>
#include <vector>

#include "platform/registry_types.h"
#include "settings/read_write_reg.h"
#include "settings/settings_table.h"

namespace pellvane {
namespace {

const std::string kTopLevel = "SOFTWARE";
const std::string kParentKey = kSettingsKeyPath.substr(0, kSettingsKeyPath.rfind('\\') + 1);

// The tries InitSettingsKey makes at most: the key, then after creating each missing level.
constexpr int kOpenAttempts = 3;

// A text value as it stands; nothing, null and a list read as the empty text.
std::string AsText(const Variant& v) {
  if (const std::string* t = v.Text()) return *t;
  if (v.IsArray()) return std::string();
  return ToText(v);
}

std::string_view Trimmed(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

// Decimal text in the 16-bit range; anything else reads as 0, the missing-value default.
std::int16_t AsInt16(const Variant& v) {
  const std::string text = AsText(v);
  std::string_view s = Trimmed(text);
  if (!s.empty() && s.front() == '+') s.remove_prefix(1);
  std::int16_t n = 0;
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), n);
  return ec == std::errc() && end == s.data() + s.size() && !s.empty() ? n : 0;
}

// "True" in any letter case or "-1"; everything else reads as false.
bool AsFlag(const Variant& v) {
  const std::string text = AsText(v);
  const std::string_view s = Trimmed(text);
  return EqualsNoCase(s, "true") || s == "-1";
}

// Sets the field to the value read as the field's kind.
void Assign(const SettingField& field, const Variant& v) {
  std::visit(
      [&v](auto* target) {
        using T = std::remove_pointer_t<decltype(target)>;
        if constexpr (std::is_same_v<T, std::string>) {
          *target = AsText(v);
        } else if constexpr (std::is_same_v<T, std::int16_t>) {
          *target = AsInt16(v);
        } else {
          *target = AsFlag(v);
        }
      },
      field);
}

}  // namespace

std::string StoredText(const SettingInfo& setting, const SettingsRecord& record) {
  SettingsRecord& fields = const_cast<SettingsRecord&>(record);  // only read below
  return std::visit([](auto* t) { return ToText(Variant(*t)); }, setting.field(fields));
}

SettingsRecord DefaultRecord() {
  SettingsRecord r;
  for (const SettingInfo& s : SettingsTable()) Assign(s.field(r), Variant(s.default_text));
  return r;
}

Settings::Settings(Dialogs& dialogs, std::string store_path)
    : dialogs_(dialogs),
      registry_(std::move(store_path)),
      record_(DefaultRecord()),
      stored_(SettingsTable().size(), std::nullopt) {}

Settings::~Settings() = default;

CReadWriteReg& Settings::RegAccess() {
  if (!reg_access_) reg_access_ = std::make_unique<CReadWriteReg>(registry_, dialogs_);
  return *reg_access_;
}

bool Settings::InitSettingsKey() {
  key_missing_ = !OpenOrCreateKey();
  return !key_missing_;
}

bool Settings::OpenOrCreateKey() {
  CReadWriteReg& reg = RegAccess();
  for (int attempt = 0; attempt < kOpenAttempts; ++attempt) {
    if (reg.OpenRegistry(HKEY_LOCAL_MACHINE, kSettingsKeyPath)) return true;
    if (reg.OpenRegistry(HKEY_LOCAL_MACHINE, kParentKey)) {
      if (!reg.CreateDirectory("Pellvane")) return false;
    } else if (!reg.OpenRegistry(HKEY_LOCAL_MACHINE, kTopLevel) ||
               !reg.CreateDirectory("Brackfell\\")) {
      return false;
    }
  }
  return reg.OpenRegistry(HKEY_LOCAL_MACHINE, kSettingsKeyPath);
}

void Settings::LoadSettings() {
  CReadWriteReg& reg = RegAccess();
  // A key that InitSettingsKey could neither open nor create is not waited for again.
  load_failed_ = key_missing_ || !reg.OpenRegistry(HKEY_LOCAL_MACHINE, kSettingsKeyPath);
  stored_.assign(stored_.size(), std::nullopt);
  if (load_failed_) {
    // What reading an unopened key would give; nothing more is asked of the store.
    record_ = DefaultRecord();
    return;
  }
  std::vector<bool> present(stored_.size());
  std::size_t i = 0;
  const Registry::ReadGroup together(registry_);
  for (const SettingInfo& s : SettingsTable()) {
    const Variant stored = reg.GetValue(s.name);
    // What is missing takes the default; what does not convert takes its kind's zero.
    const Variant v = stored.IsNothing() ? Variant(s.default_text) : stored;
    Assign(s.field(record_), v);
    present[i++] = !stored.IsNothing();
  }
  // No time-out at all is not a choice: it reads as the default.
  if (record_.inettimeout == 0) record_.inettimeout = DefaultRecord().inettimeout;
  // A stored value counts as what a save would write for the value it loaded as, so that a
  // save leaves it alone unless this process changes it.
  for (i = 0; i < present.size(); ++i) {
    if (present[i]) stored_[i] = StoredText(SettingsTable()[i], record_);
  }
}

bool Settings::ReloadValue(std::string_view name) {
  const SettingInfo* setting = FindSetting(name);
  CReadWriteReg& reg = RegAccess();
  if (setting == nullptr || load_failed_ || !reg.OpenRegistry(HKEY_LOCAL_MACHINE, kSettingsKeyPath))
    return false;
  const Variant stored = reg.GetValue(setting->name);
  Assign(setting->field(record_), stored.IsNothing() ? Variant(setting->default_text) : stored);
  stored_[static_cast<std::size_t>(setting - SettingsTable().data())] =
      stored.IsNothing() ? std::nullopt : std::optional(StoredText(*setting, record_));
  return true;
}

std::string Settings::SaveSettings() {
  std::vector<std::pair<std::size_t, std::string>> changed;
  const std::vector<SettingInfo>& table = SettingsTable();
  for (std::size_t i = 0; i < table.size(); ++i) {
    std::string text = StoredText(table[i], record_);
    if (stored_[i] != text) changed.emplace_back(i, std::move(text));
  }
  // Filling the window runs a save per field; most of them have nothing to write.
  if (changed.empty()) return {};
  // Settings that could not be loaded are not known: writing them would replace the stored ones.
  if (load_failed_) return registry_.store_path() + " war beim Start nicht lesbar";
  const bool open = RegAccess().OpenRegistry(HKEY_LOCAL_MACHINE, kSettingsKeyPath);
  std::string refused;
  for (const auto& [i, text] : changed) {
    if (!open || !WriteValue(i, text)) refused += (refused.empty() ? "" : ", ") + table[i].value_name;
  }
  if (refused.empty()) return {};
  return registry_.store_path() + " nicht schreibbar (" + refused + ")";
}

bool Settings::WriteValue(std::size_t index, const std::string& text) {
  const SettingInfo& s = SettingsTable()[index];
  if (!RegAccess().CreateValue(s.value_name, Variant(text), static_cast<std::int32_t>(REG_SZ))) {
    return false;
  }
  stored_[index] = text;
  return true;
}

bool Settings::IsStored(const SettingInfo& setting) const {
  return stored_[&setting - SettingsTable().data()].has_value();
}

bool Settings::StoreValue(const SettingInfo& setting, const std::string& text) {
  Assign(setting.field(record_), Variant(text));
  return !load_failed_ && RegAccess().OpenRegistry(HKEY_LOCAL_MACHINE, kSettingsKeyPath) &&
         WriteValue(&setting - SettingsTable().data(), text);
}

}  // namespace pellvane
