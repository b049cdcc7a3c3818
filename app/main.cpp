// pellvane: keeps a web page showing this machine's current public IPv4 address.
// -now, -backup and the settings commands run here without any window library; the window
// modes go through StartWindow.
#include <cstdio>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/environment.h"
#include "app/headless_run.h"
#include "app/run_status.h"
#include "app/settings_command.h"
#include "app/window_start.h"
#include "platform/console.h"

namespace {

void PrintHelp() {
  std::printf(
      "Aufruf: pellvane [-now | --force] [--verbose] | -backup | --restore | --status | -restore\n"
      "  -now              IP-Adresse prüfen; die Seite per FTP veröffentlichen, wenn sie\n"
      "                    nicht mehr zeigt, was sie soll (Adresse, Template, Ziel)\n"
      "  --force           wie -now, veröffentlicht die Seite aber in jedem Fall\n"
      "  --verbose         mit -now oder --force: jede Log-Zeile auch auf der\n"
      "                    Standardfehlerausgabe, ob das Log an ist oder nicht\n"
      "  -backup           Einstellungen in pellvane.sav sichern\n"
      "  --restore         Einstellungen aus pellvane.sav wiederherstellen, ohne Fenster\n"
      "  --status          letzte Adresse, letzte Prüfung und Veröffentlichung, Ordner\n"
      "  -restore          Einstellungen wiederherstellen, dann das Fenster\n"
      "  (ohne)            das Einstellungsfenster (Paket pellvane-window)\n"
      "  --show            alle 41 Einstellungen als NAME=WERT (Passwörter als ***)\n"
      "  --get NAME        eine Einstellung\n"
      "  --set NAME=WERT   eine Einstellung speichern\n"
      "  --set NAME        dasselbe, den Wert am Terminal ohne Echo erfragt oder von der\n"
      "                    Standardeingabe gelesen (für Passwörter)\n"
      "  --help            diese Hilfe\n"
      "  --version         Version\n"
      "Exit-Status: 0 gültige Adresse (veröffentlicht, unverändert oder ohne FTP), Backup,\n"
      "  Wiederherstellung oder Befehl erledigt; 1 keine gültige Adresse, Backup oder\n"
      "  Wiederherstellung fehlgeschlagen, Befehl abgelehnt; 2 Veröffentlichung fehlgeschlagen\n"
      "Umgebung: %s\n"
      "Programmordner: %s\n"
      "Einstellungen:  %s\n",
      pellvane::kEnvironmentHelp, pellvane::ProgramFolderFromEnvironment().c_str(),
      pellvane::StorePathFromEnvironment().c_str());
}

}  // namespace

int main(int argc, char** argv) {
  pellvane::UseUserLocale();
  pellvane::ConnectConsole();
  const std::vector<std::string> args = pellvane::Arguments(argc, argv);
  const pellvane::Command command = pellvane::ParseCommandLine(args);
  switch (command.mode) {
    case pellvane::Command::kHelp:
      PrintHelp();
      return 0;
    case pellvane::Command::kVersion:
      std::printf("pellvane %s\n", PELLVANE_VERSION);
      return 0;
    case pellvane::Command::kSettings:
      return pellvane::RunSettingsCommand(args, pellvane::StorePathFromEnvironment(), stdin, stdout,
                                          stderr);
    case pellvane::Command::kStatus:
      return pellvane::PrintStatus(pellvane::ProgramFolderFromEnvironment(),
                                   pellvane::StorePathFromEnvironment(), stdout);
    case pellvane::Command::kHeadless:
      // The run has written and closed everything: the libraries' own clean-up at exit
      // (OpenSSL freeing its tables one by one) would only cost time.
      pellvane::ExitNow(pellvane::RunHeadless(command.command_line, command.verbose));
    default:
      return pellvane::StartWindow(argc, argv);
  }
}
