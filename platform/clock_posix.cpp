#include "platform/clock.h"

#include <array>

namespace pellvane {

std::time_t SystemClock::Now() const { return std::time(nullptr); }

std::string FormatTimestamp(std::time_t t) {
  std::tm local{};
  localtime_r(&t, &local);
  const bool midnight = local.tm_hour == 0 && local.tm_min == 0 && local.tm_sec == 0;
  std::array<char, 128> buf{};
  const std::size_t n = std::strftime(buf.data(), buf.size(), midnight ? "%x" : "%x %X", &local);
  return std::string(buf.data(), n);
}

}  // namespace pellvane
