#include "app/session.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "platform/program_folder.h"

namespace pellvane {
namespace {

// A time-out in seconds from the environment, in milliseconds and never below one: libcurl
// reads 0 as no time-out at all. `fallback` when unset or not a positive number.
long TimeoutFromEnvironment(const char* name, long fallback) {
  const char* text = std::getenv(name);
  if (text == nullptr) return fallback;
  char* end = nullptr;
  const double seconds = std::strtod(text, &end);
  if (end == text || *end != '\0' || !(seconds > 0) || seconds > 86400) return fallback;
  return std::max(1L, std::lround(seconds * 1000));
}

}  // namespace

Session::Session(Dialogs& dialogs, const std::string& command_line)
    : settings(dialogs),
      log(ProgramFolder() + kLogFileName, clock, settings.record().writelog),
      window(settings, dialogs, log, inet, ProgramFolder(), command_line) {
  inet.SetTimeouts(TimeoutFromEnvironment("PELLVANE_CONNECT_TIMEOUT", kConnectTimeoutMs),
                   TimeoutFromEnvironment("PELLVANE_REQUEST_TIMEOUT", kRequestTimeoutMs));
}

}  // namespace pellvane
