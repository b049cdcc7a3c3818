// Splits a run log into the texts of its lines, without their timestamps.
#pragma once

#include <string>
#include <vector>

namespace pellvane::testing {

// The part after " - " of each CR LF line, or "" for an empty line.
inline std::vector<std::string> LogTexts(const std::string& log) {
  std::vector<std::string> texts;
  std::size_t start = 0;
  while (start < log.size()) {
    const std::size_t end = log.find("\r\n", start);
    const std::string line = log.substr(start, end - start);
    const std::size_t dash = line.find(" - ");
    texts.push_back(dash == std::string::npos ? line : line.substr(dash + 3));
    start = end == std::string::npos ? log.size() : end + 2;
  }
  return texts;
}

}  // namespace pellvane::testing
