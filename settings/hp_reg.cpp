#include "settings/hp_reg.h"

#include <charconv>
#include <string>
#include <variant>
#include <vector>

#include "platform/registry_types.h"
#include "settings/read_write_reg.h"

namespace pellvane {
namespace {

const std::string kTopLevel = "SOFTWARE";
const std::string kParentKey = std::string("SOFTWARE\\") + "Brackfell\\";
const std::string kSettingsKey = kParentKey + "Pellvane";

// The tries InitSettingsKey makes at most: the key, then after creating each missing level.
constexpr int kOpenAttempts = 3;

// One registry value of the record: its name when read and when written, and its field.
struct Field {
  std::string read_name;
  std::string write_name;
  std::variant<std::string*, std::int16_t*, bool*> target;
};

// All 41 values in the order they are read and written.
std::vector<Field> Fields(SettingsRecord& r) {
  std::vector<Field> f;
  const auto add = [&f](std::string name, auto* target) { f.push_back({name, name, target}); };
  for (int i = 0; i < kSlots; ++i) {
    const std::string n = std::to_string(i);
    add("wserver" + n, &r.wserver[i]);
    add("ftpserver" + n, &r.ftpserver[i]);
    add("ftpuser" + n, &r.ftpuser[i]);
    add("ftppass" + n, &r.ftppass[i]);
    add("ftpremotefile" + n, &r.ftpremotefile[i]);
    add("htmltemplatefile" + n, &r.htmltemplatefile[i]);
  }
  add("wdefserver", &r.wdefserver);
  add("proxycon", &r.proxycon);
  add("proxysrv", &r.proxysrv);
  f.push_back({"proxyport", "proxyPort", &r.proxyport});
  add("puser", &r.puser);
  add("ppass", &r.ppass);
  add("lastip", &r.lastip);
  add("useftp", &r.useftp);
  add("ftpdefserver", &r.ftpdefserver);
  add("inettimeout", &r.inettimeout);
  add("writelog", &r.writelog);
  return f;
}

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

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

// "True" in any letter case or "-1"; everything else reads as false.
bool AsFlag(const Variant& v) {
  const std::string text = AsText(v);
  const std::string_view s = Trimmed(text);
  return EqualsNoCase(s, "true") || s == "-1";
}

}  // namespace

Settings::Settings(Dialogs& dialogs, std::string store_path)
    : dialogs_(dialogs),
      registry_(std::move(store_path)),
      stored_(Fields(record_).size(), std::nullopt) {}

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
    if (reg.OpenRegistry(HKEY_LOCAL_MACHINE, kSettingsKey)) return true;
    if (reg.OpenRegistry(HKEY_LOCAL_MACHINE, kParentKey)) {
      if (!reg.CreateDirectory("Pellvane")) return false;
    } else if (!reg.OpenRegistry(HKEY_LOCAL_MACHINE, kTopLevel) ||
               !reg.CreateDirectory("Brackfell\\")) {
      return false;
    }
  }
  return reg.OpenRegistry(HKEY_LOCAL_MACHINE, kSettingsKey);
}

void Settings::LoadSettings() {
  CReadWriteReg& reg = RegAccess();
  // A key that InitSettingsKey could neither open nor create is not waited for again.
  load_failed_ = key_missing_ || !reg.OpenRegistry(HKEY_LOCAL_MACHINE, kSettingsKey);
  stored_.assign(stored_.size(), std::nullopt);
  if (load_failed_) {
    // What reading an unopened key would give; nothing more is asked of the store.
    record_ = SettingsRecord();
    return;
  }
  std::vector<bool> present(stored_.size());
  std::size_t i = 0;
  for (const Field& f : Fields(record_)) {
    const Variant v = reg.GetValue(f.read_name);
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
        f.target);
    present[i] = !v.IsNothing();
    ++i;
  }
  if (record_.inettimeout == 0) record_.inettimeout = 20;
  // A stored value counts as what a save would write for the value it loaded as, so that a
  // save leaves it alone unless this process changes it.
  i = 0;
  for (const Field& f : Fields(record_)) {
    if (present[i]) stored_[i] = std::visit([](auto* t) { return ToText(Variant(*t)); }, f.target);
    ++i;
  }
}

void Settings::SaveSettings() {
  // Settings that could not be loaded are not known: writing them would replace the stored ones.
  if (load_failed_) return;
  std::vector<std::pair<const Field*, std::string>> changed;
  const std::vector<Field> fields = Fields(record_);
  for (std::size_t i = 0; i < fields.size(); ++i) {
    std::string text = std::visit([](auto* t) { return ToText(Variant(*t)); }, fields[i].target);
    if (stored_[i] != text) changed.emplace_back(&fields[i], std::move(text));
  }
  // Filling the window runs a save per field; most of them have nothing to write.
  if (changed.empty()) return;
  CReadWriteReg& reg = RegAccess();
  if (!reg.OpenRegistry(HKEY_LOCAL_MACHINE, kSettingsKey)) return;
  for (const auto& [field, text] : changed) {
    if (reg.CreateValue(field->write_name, Variant(text), static_cast<std::int32_t>(REG_SZ))) {
      stored_[static_cast<std::size_t>(field - fields.data())] = text;
    }
  }
}

}  // namespace pellvane
