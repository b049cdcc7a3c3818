// pellvane: keeps a web page showing this machine's current public IPv4 address.
// -now, -backup and the settings commands run here without any window library; the window
// modes go through StartWindow.
#include <cstdio>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/environment.h"
#include "app/headless_run.h"
#include "app/settings_command.h"
#include "app/window_start.h"
#include "platform/console.h"

namespace {

void PrintHelp() {
  std::printf(
      "Aufruf: pellvane [-now | --force | -backup | -restore]\n"
      "  -now              IP-Adresse prüfen; die Seite per FTP veröffentlichen, wenn sie\n"
      "                    nicht mehr zeigt, was sie soll (Adresse, Template, Ziel)\n"
      "  --force           wie -now, veröffentlicht die Seite aber in jedem Fall\n"
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

}  // namespace

int main(int argc, char** argv) {
  pellvane::UseUserLocale();
  pellvane::ConnectConsole();
  const std::vector<std::string> args = pellvane::Arguments(argc, argv);
  if (args.size() == 1 && args[0] == "--help") {
    PrintHelp();
    return 0;
  }
  if (args.size() == 1 && args[0] == "--version") {
    std::printf("pellvane %s\n", PELLVANE_VERSION);
    return 0;
  }
  if (!args.empty() && pellvane::IsSettingsCommand(args[0])) {
    return pellvane::RunSettingsCommand(args, pellvane::StorePathFromEnvironment(), stdin, stdout,
                                        stderr);
  }
  const std::string command_line = pellvane::JoinArguments(args);
  // The run has written and closed everything: the libraries' own clean-up at exit (OpenSSL
  // freeing its tables one by one) would only cost time.
  if (pellvane::IsHeadlessMode(command_line))
    pellvane::ExitNow(pellvane::RunHeadless(command_line));
  return pellvane::StartWindow(argc, argv);
}
