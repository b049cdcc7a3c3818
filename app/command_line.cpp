#include "app/command_line.h"

#include <cstdlib>
#include <filesystem>

#include "platform/text.h"

namespace pellvane {

std::string JoinArguments(int argc, char** argv) {
  std::string joined;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) joined += ' ';
    joined += argv[i];
  }
  return joined;
}

bool IsHeadlessMode(const std::string& command_line) {
  const std::string mode = Lowered(command_line);
  return mode == "-now" || mode == "-backup";
}

bool HasDisplay() {
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != '\0') return true;
  }
  return false;
}

std::string ExecutableFolder() {
  std::error_code ec;
  return std::filesystem::read_symlink("/proc/self/exe", ec).parent_path().string();
}

}  // namespace pellvane
