// pellvane: keeps a web page showing this machine's current public IPv4 address.
// -now, -backup and the settings commands run here without any window library; the window
// modes start pellvane-window beside this executable.
#include <unistd.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/environment.h"
#include "app/headless_run.h"
#include "app/settings_command.h"

namespace {

void PrintHelp() {
  std::printf(
      "Aufruf: pellvane [-now | -backup | -restore]\n"
      "  -now              IP-Adresse prüfen und bei Änderung per FTP veröffentlichen\n"
      "  -backup           Einstellungen in pellvane.sav sichern\n"
      "  -restore          Einstellungen aus pellvane.sav wiederherstellen, dann das Fenster\n"
      "  (ohne)            das Einstellungsfenster\n"
      "  --show            alle gespeicherten Einstellungen als NAME=WERT (Passwörter als ***)\n"
      "  --get NAME        eine Einstellung, wie gespeichert\n"
      "  --set NAME=WERT   eine Einstellung speichern\n"
      "  --set NAME        dasselbe, den Wert von der Standardeingabe (für Passwörter)\n"
      "  --help            diese Hilfe\n"
      "  --version         Version\n"
      "Programmordner: %s\n"
      "Einstellungen:  %s\n",
      pellvane::ProgramFolderFromEnvironment().c_str(),
      pellvane::StorePathFromEnvironment().c_str());
}

// Replaces this process by the window program; returns only when that failed.
int StartWindow(char** argv) {
  if (!pellvane::HasDisplay()) {
    std::fprintf(stderr,
                 "pellvane: keine grafische Anzeige (DISPLAY/WAYLAND_DISPLAY); "
                 "ohne Fenster gehen nur -now und -backup\n");
    return 1;
  }
  const std::string window = pellvane::ExecutableFolder() + "/pellvane-window";
  execv(window.c_str(), argv);
  std::fprintf(stderr, "pellvane: %s lässt sich nicht starten: %s\n", window.c_str(),
               std::strerror(errno));
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  // Only what this program uses from the user's locale: the encoding, the run log's dates and
  // times, and the system's error texts. Numbers keep the C form ("0.5" in a time-out).
  for (int category : {LC_CTYPE, LC_TIME, LC_MESSAGES}) std::setlocale(category, "");
  if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
    PrintHelp();
    return 0;
  }
  if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
    std::printf("pellvane %s\n", PELLVANE_VERSION);
    return 0;
  }
  if (argc >= 2 && pellvane::IsSettingsCommand(argv[1])) {
    return pellvane::RunSettingsCommand(std::vector<std::string>(argv + 1, argv + argc),
                                        pellvane::StorePathFromEnvironment(), stdin, stdout,
                                        stderr);
  }
  const std::string command_line = pellvane::JoinArguments(argc, argv);
  if (pellvane::IsHeadlessMode(command_line)) {
    const int status = pellvane::RunHeadless(command_line);
    // The run has written and closed everything: the libraries' own clean-up at exit (OpenSSL
    // freeing its tables one by one) would only cost time.
    std::fflush(nullptr);
    std::_Exit(status);
  }
  return StartWindow(argv);
}
