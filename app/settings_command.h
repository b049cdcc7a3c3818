// The settings commands for a machine without a display, over the settings store's key, in
// the manner of the registry's own command-line tool: --show, --get NAME, --set NAME=VALUE and
// --set NAME (the value from standard input). Not safe from two threads.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace pellvane {

// Runs the command in `args` (the arguments after the program name) on the store file at
// `store_path`; returns the exit status: 0, or 1 with one line on `err` and nothing changed.
int RunSettingsCommand(const std::vector<std::string>& args, const std::string& store_path,
                       std::FILE* in, std::FILE* out, std::FILE* err);

}  // namespace pellvane
