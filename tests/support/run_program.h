// Runs a program to its end with a changed environment and collects its output and status.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace pellvane::testing {

struct ProgramResult {
  int status = -1;  // the exit status, -1 when it died by a signal
  std::string out;
  std::string err;
  long max_rss_kb = 0;  // the child's peak resident memory
  double seconds = 0;   // wall time from start to end
};

// `env` entries set a variable, or unset it when their value is nothing.
ProgramResult RunProgram(const std::vector<std::string>& argv,
                         const std::map<std::string, std::optional<std::string>>& env);

}  // namespace pellvane::testing
