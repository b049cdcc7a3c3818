#include "settings/backup.h"

#include <algorithm>
#include <limits>
#include <optional>
#include <string_view>
#include <type_traits>
#include <variant>
#include <vector>

#include "platform/ansi.h"
#include "platform/program_folder.h"
#include "settings/settings_table.h"

namespace pellvane {
namespace {

constexpr std::size_t kMaxText = std::numeric_limits<std::uint16_t>::max();

// The largest record the layout can hold, from the settings table: a 16-bit count and up to
// kMaxText bytes per text, 16 bits per number or flag. Bytes after a record are never read.
std::size_t MaxRecordSize() {
  std::size_t size = 0;
  for (const SettingInfo& s : SettingsTable())
    size += 2 + (s.kind == SettingKind::kText ? kMaxText : 0);
  return size;
}

// Calls `f` on every field of the record in the file's order.
template <typename F>
void ForEachField(SettingsRecord& r, F&& f) {
  static const std::vector<const SettingInfo*> in_file_order = [] {
    std::vector<const SettingInfo*> order(SettingsTable().size());
    for (const SettingInfo& s : SettingsTable()) order[s.file_position] = &s;
    return order;
  }();
  for (const SettingInfo* s : in_file_order)
    std::visit([&f](auto* field) { f(*field); }, s->field(r));
}

void PutU16(std::string& out, std::uint16_t v) {
  out += static_cast<char>(v & 0xff);
  out += static_cast<char>(v >> 8);
}

// The record's image; nothing when a text does not fit, and `unfit` then says why.
std::optional<std::string> Image(const SettingsRecord& record, std::string& unfit) {
  std::string out;
  SettingsRecord copy = record;
  ForEachField(copy, [&](const auto& field) {
    using T = std::decay_t<decltype(field)>;
    if constexpr (std::is_same_v<T, std::string>) {
      // A text that the code page cannot hold would come back changed: no backup then.
      const std::optional<std::string> ansi = ToAnsi(field);
      if (!ansi) unfit = "ein Text hat Zeichen außerhalb der Codepage";
      if (ansi && ansi->size() > kMaxText) unfit = "ein Text ist länger als 65535 Bytes";
      const std::string& text = ansi ? *ansi : field;
      PutU16(out, static_cast<std::uint16_t>(text.size()));
      out += text;
    } else if constexpr (std::is_same_v<T, bool>) {
      PutU16(out, field ? 0xFFFF : 0x0000);
    } else {
      PutU16(out, static_cast<std::uint16_t>(field));
    }
  });
  if (!unfit.empty()) return std::nullopt;
  return out;
}

// Reads a whole record from the front of `bytes`; nothing when it is cut short or a flag is
// neither 0000 nor FFFF.
std::optional<SettingsRecord> Parse(std::string_view bytes) {
  SettingsRecord record;
  bool ok = true;
  std::size_t pos = 0;
  const auto u16 = [&](std::uint16_t* v) {
    if (bytes.size() - pos < 2) return false;
    *v = static_cast<std::uint16_t>(static_cast<unsigned char>(bytes[pos]) |
                                    static_cast<unsigned char>(bytes[pos + 1]) << 8);
    pos += 2;
    return true;
  };
  ForEachField(record, [&](auto& field) {
    using T = std::decay_t<decltype(field)>;
    std::uint16_t v = 0;
    if (!ok || !u16(&v)) {
      ok = false;
      return;
    }
    if constexpr (std::is_same_v<T, std::string>) {
      if (bytes.size() - pos < v) {
        ok = false;
        return;
      }
      field = FromAnsi(bytes.substr(pos, v));
      pos += v;
    } else if constexpr (std::is_same_v<T, bool>) {
      ok = v == 0x0000 || v == 0xFFFF;
      field = v == 0xFFFF;
    } else {
      field = static_cast<std::int16_t>(v);
    }
  });
  if (!ok) return std::nullopt;
  return record;
}

// At most `limit` bytes of the file; nothing when it cannot be read.
std::optional<std::string> ReadUpTo(FileSystem& files, const std::string& path, std::size_t limit) {
  const std::unique_ptr<InputFile> file = files.OpenForReading(path);
  if (!file) return std::nullopt;
  std::string bytes;
  char buf[65536];
  while (bytes.size() < limit) {
    const long n = file->Read(buf, std::min(sizeof buf, limit - bytes.size()));
    if (n < 0) return std::nullopt;
    if (n == 0) break;
    bytes.append(buf, static_cast<std::size_t>(n));
  }
  return bytes;
}

}  // namespace

bool BackupFailed(const std::string& folder, const std::string& reason, const RunLog& log,
                  Dialogs& dialogs) {
  const std::string message =
      "Backup fehlgeschlagen: " + folder + kBackupFileName + " (" + reason + ")";
  log.WriteLog(message);
  dialogs.MsgBox(message, MsgKind::kError);
  return false;
}

bool BackupSettings(const SettingsRecord& record, const std::string& folder, const RunLog& log,
                    Dialogs& dialogs, FileSystem& files) {
  log.WriteLog("Starte Backup...");
  const std::string path = folder + kBackupFileName;
  std::string unfit;
  const std::optional<std::string> image = Image(record, unfit);
  if (!image) return BackupFailed(folder, unfit, log, dialogs);
  // A temporary file beside the backup (owner-only), renamed over it once written whole.
  const Opened<ReplacementFile> file = files.Replace(path, 0600);
  if (!file) return BackupFailed(folder, file.error, log, dialogs);
  if (!file->Write(*image) || !file->Commit()) {
    return BackupFailed(folder, file->Error(), log, dialogs);
  }
  const std::string message =
      "Backup beendet...\rEinstellungen in " + folder + kBackupFileName + " gesichert.";
  log.WriteLog(message);
  dialogs.MsgBox(message, MsgKind::kInfo);
  return true;
}

bool RestoreSettings(SettingsRecord& record, const std::string& folder, const RunLog& log,
                     Dialogs& dialogs, FileSystem& files) {
  log.WriteLog("Starte Wiederherstellung...");
  const std::string path = folder + kBackupFileName;
  const std::optional<std::string> bytes = ReadUpTo(files, path, MaxRecordSize());
  std::optional<SettingsRecord> restored;
  if (bytes) restored = Parse(*bytes);
  if (!restored) {
    const std::string message = "Wiederherstellung fehlgeschlagen: " + path;
    log.WriteLog(message);
    dialogs.MsgBox(message, MsgKind::kError);
    return false;
  }
  record = std::move(*restored);
  // The log follows the writelog just restored.
  log.WriteLog("Wiederherstellung beendet...");
  return true;
}

}  // namespace pellvane
