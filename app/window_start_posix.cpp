#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "app/command_line.h"
#include "app/window_start.h"
#include "platform/program_folder.h"

namespace pellvane {

int StartWindow(int, char** argv) {
  if (!HasDisplay()) {
    std::fprintf(stderr,
                 "pellvane: keine grafische Anzeige (DISPLAY/WAYLAND_DISPLAY); "
                 "ohne Fenster gehen nur -now und -backup\n");
    return 1;
  }
  const std::string window = ExecutableFolder() + "/pellvane-window";
  execv(window.c_str(), argv);
  std::fprintf(stderr, "pellvane: %s lässt sich nicht starten: %s\n", window.c_str(),
               std::strerror(errno));
  return 1;
}

}  // namespace pellvane
