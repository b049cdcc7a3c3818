#include "app/command_line.h"

#include <cstdlib>

#include "platform/text.h"
#include "ui/frm_main.h"

namespace pellvane {

std::string JoinArguments(int argc, char** argv) {
  return JoinArguments(std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc));
}

std::string JoinArguments(const std::vector<std::string>& args) {
  std::string joined;
  for (const std::string& arg : args) {
    if (!joined.empty() || &arg != &args.front()) joined += ' ';
    joined += arg;
  }
  return joined;
}

bool IsHeadlessMode(const std::string& command_line) {
  const std::string mode = Lowered(command_line);
  return mode == "-now" || mode == kForceOption || mode == "-backup";
}

bool HasDisplay() {
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != '\0') return true;
  }
  return false;
}

}  // namespace pellvane
