#include "app/run_status.h"

#include <charconv>
#include <memory>

#include "app/exit_status.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "settings/hp_reg.h"
#include "settings/publish_state.h"

namespace pellvane {
namespace {

constexpr std::size_t kMaxStatusSize = 64 * 1024;

// "name=value" lines, values without line ends.
const char* const kNames[] = {"checked", "check_result", "published", "publish_result"};

std::time_t AsTime(std::string_view text) {
  long long t = 0;
  std::from_chars(text.data(), text.data() + text.size(), t);
  return static_cast<std::time_t>(t);
}

std::string When(std::time_t t, const std::string& result) {
  return t == 0 ? "noch nie" : FormatTimestamp(t) + ", " + result;
}

}  // namespace

void RecordRun(const std::string& address, bool publish_begun, bool ok, const std::string& failure,
               std::time_t now, FileSystem& files, const std::string& folder) {
  RunStatus status = ReadRunStatus(files, folder);
  status.checked = now;
  // A publish that failed had its address; a check that failed did not.
  status.check_result = address.empty() ? failure : "gültige Adresse " + address;
  if (publish_begun) {
    status.published = now;
    status.publish_result = ok ? "FTP Fertig" : failure;
  }
  WriteRunStatus(files, folder, status);
}

RunStatus ReadRunStatus(FileSystem& files, const std::string& folder) {
  RunStatus status;
  const std::unique_ptr<InputFile> file = files.OpenForReading(folder + kStatusFileName);
  if (!file) return status;
  std::string text;
  char buffer[4096];
  for (long n; text.size() < kMaxStatusSize && (n = file->Read(buffer, sizeof buffer)) > 0;) {
    text.append(buffer, static_cast<std::size_t>(n));
  }
  for (std::size_t start = 0, end; start < text.size(); start = end + 1) {
    end = std::min(text.find('\n', start), text.size());
    const std::string_view line = std::string_view(text).substr(start, end - start);
    const std::size_t equals = line.find('=');
    const std::string_view name = line.substr(0, equals), value = line.substr(equals + 1);
    if (equals == std::string_view::npos) continue;
    if (name == kNames[0]) status.checked = AsTime(value);
    if (name == kNames[1]) status.check_result = value;
    if (name == kNames[2]) status.published = AsTime(value);
    if (name == kNames[3]) status.publish_result = value;
  }
  return status;
}

bool WriteRunStatus(FileSystem& files, const std::string& folder, const RunStatus& status) {
  const auto one_line = [](std::string text) {
    for (char& c : text) c = c == '\n' || c == '\r' ? ' ' : c;
    return text;
  };
  const std::string text = std::string(kNames[0]) + "=" + std::to_string(status.checked) + "\n" +
                           kNames[1] + "=" + one_line(status.check_result) + "\n" + kNames[2] +
                           "=" + std::to_string(status.published) + "\n" + kNames[3] + "=" +
                           one_line(status.publish_result) + "\n";
  const std::unique_ptr<ReplacementFile> file = files.Replace(folder + kStatusFileName, 0600);
  return file && file->Write(text) && file->Commit();
}

int PrintStatus(const std::string& program_folder, const std::string& store_path, std::FILE* out) {
  HeadlessDialogs dialogs;
  Settings settings(dialogs, store_path);
  settings.InitSettingsKey();
  settings.LoadSettings();
  const SettingsRecord& r = settings.record();
  const PublishStatus page = ReadPublishStatus(settings.registry());
  const RunStatus run = ReadRunStatus(RealFileSystem(), program_folder);
  std::string due;
  if (!settings.loaded()) {
    due = "unbekannt, Einstellungen nicht lesbar";
  } else if (page.due) {
    due = "ja, eine begonnene Veröffentlichung ist nicht beendet";
  } else if (!r.useftp) {
    due = "nein, FTP ist aus";
  } else if (!page.published) {
    due = "ja, noch nie veröffentlicht";
  } else if (page.published->address != r.lastip) {
    due = "ja, die Seite zeigt " + page.published->address + ", die letzte Adresse ist " + r.lastip;
  } else {
    due = "nein, sofern Template, Server und Ziel gleich blieben (sonst beim nächsten -now)";
  }
  const std::string shown = page.published
                                ? page.published->address + " auf " + page.published->server +
                                      " als " + page.published->remote + " (FTP-Platz " +
                                      std::to_string(page.published->slot + 1) + ")"
                                : "nichts";
  std::fprintf(out,
               "Letzte Adresse:          %s\n"
               "Letzte Prüfung:          %s\n"
               "Letzte Veröffentlichung: %s\n"
               "Veröffentlicht:          %s\n"
               "Veröffentlichung fällig: %s\n"
               "Programmordner:          %s\n"
               "Einstellungen:           %s\n",
               r.lastip.empty() ? "keine" : r.lastip.c_str(),
               When(run.checked, run.check_result).c_str(),
               When(run.published, run.publish_result).c_str(), shown.c_str(), due.c_str(),
               program_folder.c_str(), store_path.c_str());
  return kExitOk;
}

}  // namespace pellvane
