// A temporary folder for one fuzzing run, made on first use and removed when the run ends.
#pragma once

#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace pellvane::fuzzing {

inline const std::string& FuzzFolder() {
  // Never destroyed: the exit handler still needs it after static destruction began.
  static const std::string* folder = [] {
    char name[] = "/tmp/pellvane-fuzz-XXXXXX";
    if (mkdtemp(name) == nullptr) std::abort();
    std::atexit([] {
      std::error_code ec;
      std::filesystem::remove_all(*folder, ec);
    });
    return new std::string(name);
  }();
  return *folder;
}

}  // namespace pellvane::fuzzing
