#include "platform/console.h"

namespace pellvane {

void ConnectConsole() {}

std::vector<std::string> Arguments(int argc, char** argv) {
  return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
}

}  // namespace pellvane
