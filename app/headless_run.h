// A run without a window: the settings, the log and the transfer component on the real
// store and files, message boxes on standard output. Once per process, from one thread.
#pragma once

#include <string>

namespace pellvane {

// Runs start-up and the mode of the command line; returns the exit status. `verbose` also
// writes every log line to standard error as it happens, whether logging is on or off.
int RunHeadless(const std::string& command_line, bool verbose = false);

}  // namespace pellvane
