#include "app/settings_command.h"

#include <cstdio>

#include "app/exit_status.h"
#include "platform/console.h"
#include "platform/dialogs.h"
#include "settings/hp_reg.h"
#include "settings/settings_table.h"
#include "transfer/secret_text.h"
#include "ui/frm_main.h"

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

// Web slot 1 is the built-in page: every start puts it back.
bool IsBuiltInSlot(const SettingInfo& s) { return &s == &SettingsTable().front(); }

// The value the program works with: what it loaded, and the built-in page in web slot 1.
std::string InUse(const SettingInfo& s, const Settings& settings) {
  return IsBuiltInSlot(s) ? kEchoUrl : StoredText(s, settings.record());
}

int Show(const Settings& settings, std::FILE* out) {
  for (const SettingInfo& s : SettingsTable()) {
    const std::string text = InUse(s, settings);
    PutLine(out, s.value_name + '=' + (s.secret && !text.empty() ? "***" : text) +
                     (settings.IsStored(s) ? "" : "  (nicht gespeichert)"));
  }
  return kExitOk;
}

int Get(const Settings& settings, const SettingInfo& s, std::FILE* out, std::FILE* err) {
  if (!settings.IsStored(s)) {
    return Refuse(
        err, s.value_name + " ist nicht gespeichert (gilt als \"" + InUse(s, settings) + "\")");
  }
  PutLine(out, InUse(s, settings));
  return kExitOk;
}

// The value after "NAME=", else asked at the terminal (a password without echo), else standard
// input without its one closing line end; nothing when the terminal gave none.
std::optional<std::string> ValueFrom(const std::string& argument, const SettingInfo& s,
                                     std::FILE* in) {
  if (const std::size_t equals = argument.find('='); equals != std::string::npos) {
    return argument.substr(equals + 1);
  }
  if (in == stdin && InputIsTerminal()) {
    return AskTerminal((s.secret ? "Passwort für " : "Wert für ") + s.value_name + ": ", !s.secret);
  }
  std::string value;
  char buffer[4096];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, in)) > 0;) value.append(buffer, n);
  if (value.ends_with('\n')) value.pop_back();
  if (value.ends_with('\r')) value.pop_back();
  return value;
}

int Set(const std::string& argument, Settings& settings, std::FILE* in, std::FILE* err) {
  const std::string name = argument.substr(0, argument.find('='));
  const SettingInfo* s = FindSetting(name);
  if (s == nullptr) return Refuse(err, "unbekannte Einstellung \"" + name + "\" (siehe --show)");
  if (IsBuiltInSlot(*s)) {
    return Refuse(err, s->value_name + " ist immer die eingebaute Seite " + kEchoUrl +
                           "; eigene Echo-Seiten gehören in wserver1 bis wserver4 (Platz 2 bis 5)");
  }
  const std::optional<std::string> given = ValueFrom(argument, *s, in);
  if (!given) return Refuse(err, "kein Wert eingegeben; nichts geändert");
  const std::optional<std::string> value = NormalizedValue(s->kind, *given);
  if (!value) {
    return Refuse(err, s->value_name + " nimmt nur " + Expected(s->kind) + ", nicht \"" + *given +
                           "\"; nichts geändert");
  }
  // A server would get such a password cut short or split into commands.
  if (s->secret && !SendableAsTyped(*value)) {
    return Refuse(err, s->value_name +
                           " kann so nicht gesendet werden: ein Kennwort ohne "
                           "Zeilenende und NUL-Zeichen angeben; nichts geändert");
  }
  // An existing value keeps its name's spelling; a new one gets the name a save writes.
  if (!settings.StoreValue(*s, *value)) {
    return Refuse(err, "Einstellungen nicht schreibbar: " + settings.registry().store_path());
  }
  return kExitOk;
}

}  // namespace

int RunSettingsCommand(const std::vector<std::string>& args, const std::string& store_path,
                       std::FILE* in, std::FILE* out, std::FILE* err) {
  const std::string usage = "Aufruf: pellvane --show | --get NAME | --set NAME[=WERT]";
  if (args.empty() || args.size() > 2 || (args[0] == "--show") != (args.size() == 1)) {
    return Refuse(err, usage);
  }
  const SettingInfo* s = args[0] == "--get" ? FindSetting(args[1]) : nullptr;
  if (args[0] == "--get" && s == nullptr) {
    return Refuse(err, "unbekannte Einstellung \"" + args[1] + "\" (siehe --show)");
  }
  HeadlessDialogs dialogs;
  Settings settings(dialogs, store_path);
  settings.InitSettingsKey();
  settings.LoadSettings();
  if (!settings.loaded()) return Refuse(err, "Einstellungen nicht lesbar: " + store_path);
  if (args[0] == "--set") return Set(args[1], settings, in, err);
  return s != nullptr ? Get(settings, *s, out, err) : Show(settings, out);
}

}  // namespace pellvane
