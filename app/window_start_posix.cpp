#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "app/command_line.h"
#include "app/window_start.h"
#include "platform/console.h"
#include "platform/program_folder.h"

namespace pellvane {

int StartWindow(int argc, char** argv) {
  if (!HasDisplay()) {
    // Without a display a word that is no mode is most likely a typo, not a wish for the window.
    const Command command = ParseCommandLine(Arguments(argc, argv));
    if (command.mode == Command::kUnknown) {
      std::fprintf(stderr, "pellvane: unbekannte Option \"%s\", siehe pellvane --help\n",
                   command.unknown.c_str());
    } else {
      std::fprintf(stderr,
                   "pellvane: keine grafische Anzeige (DISPLAY/WAYLAND_DISPLAY) für das "
                   "Einstellungsfenster; ohne Fenster siehe pellvane --help\n");
    }
    return 1;
  }
  const std::string window = ExecutableFolder() + "/pellvane-window";
  execv(window.c_str(), argv);
  if (errno == ENOENT) {
    std::fprintf(stderr,
                 "pellvane: das Einstellungsfenster ist nicht installiert (%s fehlt); bitte das "
                 "Paket pellvane-window installieren\n",
                 window.c_str());
  } else {
    std::fprintf(stderr, "pellvane: %s lässt sich nicht starten: %s\n", window.c_str(),
                 std::strerror(errno));
  }
  return 1;
}

}  // namespace pellvane
