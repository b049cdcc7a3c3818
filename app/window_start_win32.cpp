#include <cstdio>

#include "app/window_start.h"

namespace pellvane {

int StartWindow(int, char**) {
  std::fprintf(stderr,
               "pellvane: das Einstellungsfenster fehlt in diesem Build; es gehen -now, "
               "-backup und die Einstellungsbefehle\n");
  return 1;
}

}  // namespace pellvane
