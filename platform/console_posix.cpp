#include "platform/console.h"

#include <clocale>
#include <cstdio>
#include <cstdlib>

namespace pellvane {

void ConnectConsole() {}

void UseUserLocale() {
  for (int category : {LC_CTYPE, LC_TIME, LC_MESSAGES}) std::setlocale(category, "");
}

void ExitNow(int status) {
  std::fflush(nullptr);
  std::_Exit(status);
}

std::vector<std::string> Arguments(int argc, char** argv) {
  return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
}

}  // namespace pellvane
