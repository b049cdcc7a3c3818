// pellvane: keeps a web page showing this machine's current public IPv4 address.
#include <clocale>
#include <cstdio>
#include <cstring>

#include "platform/program_folder.h"

namespace {

void PrintHelp() {
  std::printf(
      "Aufruf: pellvane [-now | -backup | -restore]\n"
      "  -now       IP-Adresse prüfen und bei Änderung per FTP veröffentlichen\n"
      "  -backup    Einstellungen in pellvane.sav sichern\n"
      "  -restore   Einstellungen aus pellvane.sav wiederherstellen\n"
      "  --help     diese Hilfe\n"
      "  --version  Version\n"
      "Programmordner: %s\n",
      pellvane::ProgramFolder().c_str());
}

}  // namespace

int main(int argc, char** argv) {
  std::setlocale(LC_ALL, "");
  if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
    PrintHelp();
    return 0;
  }
  if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
    std::printf("pellvane %s\n", PELLVANE_VERSION);
    return 0;
  }
  PrintHelp();
  return 1;
}
