#include "app/settings_command.h"

#include <cstdio>

#include "app/exit_status.h"
#include "platform/dialogs.h"
#include "platform/registry.h"
#include "settings/hp_reg.h"
#include "settings/read_write_reg.h"
#include "settings/settings_table.h"
#include "transfer/secret_text.h"

namespace pellvane {
namespace {

// Writes `text` and a line end, byte for byte.
void PutLine(std::FILE* f, const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), f);
  std::fputc('\n', f);
}

int Refuse(std::FILE* err, const std::string& why) {
  PutLine(err, "pellvane: " + why);
  return kExitFailed;
}

std::string StoredText(const Variant& v) {
  if (const std::string* text = v.Text()) return *text;
  return v.IsArray() ? std::string() : ToText(v);
}

// What a kind takes, for a refusal.
std::string Expected(SettingKind kind) {
  switch (kind) {
    case SettingKind::kText:
      break;
    case SettingKind::kNumber:
      return "eine ganze Zahl von -32768 bis 32767";
    case SettingKind::kIndex:
      return "0 bis 4 (Platz 1 bis 5)";
    case SettingKind::kMode:
      return "0 (Standart Proxy), 1 (kein Proxy) oder 2 (Proxy angeben)";
    case SettingKind::kFlag:
      return "True oder False";
  }
  return std::string();
}

int Unreadable(const std::string& store_path, std::FILE* err) {
  return Refuse(
      err, "keine Einstellungen in " + store_path + " (noch keine gespeichert, oder nicht lesbar)");
}

int Show(CReadWriteReg& reg, std::FILE* out) {
  for (const SettingInfo& s : SettingsTable()) {
    const Variant v = reg.GetValue(s.name);
    if (v.IsNothing()) continue;
    const std::string text = StoredText(v);
    PutLine(out, s.value_name + '=' + (s.secret && !text.empty() ? "***" : text));
  }
  return kExitOk;
}

int Get(CReadWriteReg& reg, const SettingInfo& s, std::FILE* out, std::FILE* err) {
  const Variant v = reg.GetValue(s.name);
  if (v.IsNothing()) {
    return Refuse(err,
                  s.value_name + " ist nicht gespeichert (gilt als \"" + s.default_text + "\")");
  }
  PutLine(out, StoredText(v));
  return kExitOk;
}

// The value after "NAME=", or standard input without its one closing line end.
std::string ValueFrom(const std::string& argument, std::size_t equals, std::FILE* in) {
  if (equals != std::string::npos) return argument.substr(equals + 1);
  std::string value;
  char buffer[4096];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, in)) > 0;) value.append(buffer, n);
  if (value.ends_with('\n')) value.pop_back();
  if (value.ends_with('\r')) value.pop_back();
  return value;
}

int Set(const std::string& argument, const std::string& store_path, std::FILE* in, std::FILE* err) {
  const std::size_t equals = argument.find('=');
  const std::string name = argument.substr(0, equals);
  const SettingInfo* s = FindSetting(name);
  if (s == nullptr) return Refuse(err, "unbekannte Einstellung \"" + name + "\" (siehe --show)");
  const std::string given = ValueFrom(argument, equals, in);
  const std::optional<std::string> value = NormalizedValue(s->kind, given);
  if (!value) {
    return Refuse(err, s->value_name + " nimmt nur " + Expected(s->kind) + ", nicht \"" + given +
                           "\"; nichts geändert");
  }
  // A server would get such a password cut short or split into commands.
  if (s->secret && !SendableAsTyped(*value)) {
    return Refuse(err, s->value_name +
                           " kann so nicht gesendet werden: ein Kennwort ohne "
                           "Zeilenende und NUL-Zeichen angeben; nichts geändert");
  }
  HeadlessDialogs dialogs;
  Settings settings(dialogs, store_path);
  CReadWriteReg reg(settings.registry(), dialogs);
  // An existing value keeps its name's spelling; a new one gets the name a save writes.
  if (!settings.InitSettingsKey() || !reg.OpenRegistry(HKEY_LOCAL_MACHINE, kSettingsKeyPath) ||
      !reg.CreateValue(s->value_name, Variant(*value), static_cast<std::int32_t>(REG_SZ))) {
    return Refuse(err, "Einstellungen nicht schreibbar: " + store_path);
  }
  return kExitOk;
}

}  // namespace

bool IsSettingsCommand(const std::string& first_argument) {
  return first_argument == "--show" || first_argument == "--get" || first_argument == "--set";
}

int RunSettingsCommand(const std::vector<std::string>& args, const std::string& store_path,
                       std::FILE* in, std::FILE* out, std::FILE* err) {
  const std::string usage = "Aufruf: pellvane --show | --get NAME | --set NAME[=WERT]";
  if (args.empty() || args.size() > 2 || (args[0] == "--show") != (args.size() == 1)) {
    return Refuse(err, usage);
  }
  if (args[0] == "--set") return Set(args[1], store_path, in, err);
  HeadlessDialogs dialogs;
  Registry registry(store_path);
  CReadWriteReg reg(registry, dialogs);
  if (args[0] == "--show") {
    return reg.OpenRegistry(HKEY_LOCAL_MACHINE, kSettingsKeyPath) ? Show(reg, out)
                                                                  : Unreadable(store_path, err);
  }
  const SettingInfo* s = FindSetting(args[1]);
  if (s == nullptr) return Refuse(err, "unbekannte Einstellung \"" + args[1] + "\" (siehe --show)");
  if (!reg.OpenRegistry(HKEY_LOCAL_MACHINE, kSettingsKeyPath)) return Unreadable(store_path, err);
  return Get(reg, *s, out, err);
}

}  // namespace pellvane
