// Runs a program to its end with a changed environment and collects its output and status.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace pellvane::testing {

#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
inline constexpr bool kSanitized = true;
#else
inline constexpr bool kSanitized = false;
#endif
#else
inline constexpr bool kSanitized = false;
#endif

// What a small run of the program may take at its peak: a little with the sanitizers' shadow
// memory, still far less than a 100 MiB answer would need.
inline constexpr long kSmallRunKb = kSanitized ? 96 * 1024 : 32 * 1024;

struct ProgramResult {
  int status = -1;  // the exit status, -1 when it died by a signal
  std::string out;
  std::string err;
  long max_rss_kb = 0;  // the child's peak resident memory
  double seconds = 0;   // wall time from start to end
};

// `env` entries set a variable, or unset it when their value is nothing; standard input
// reads the file `input`.
ProgramResult RunProgram(const std::vector<std::string>& argv,
                         const std::map<std::string, std::optional<std::string>>& env,
                         const std::string& input = "/dev/null");

}  // namespace pellvane::testing
