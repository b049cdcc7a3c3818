// The command line as one text and the decisions made on it.
// Safe from two threads while nothing changes the environment.
#pragma once

#include <string>
#include <vector>

#include "platform/text.h"

namespace pellvane {

// The arguments after the program name, joined by single blanks.
std::string JoinArguments(int argc, char** argv);
std::string JoinArguments(const std::vector<std::string>& args);

// What the program was asked to do.
struct Command {
  enum Mode {
    kWindow,    // no arguments, or -restore: the settings window
    kUnknown,   // not understood: the window with a display, a refusal without one
    kHelp,      // --help
    kVersion,   // --version
    kSettings,  // --show, --get, --set
    kHeadless,  // -now, --force, -backup, --restore: a run without a window
    kStatus,    // --status
  };
  Mode mode = kWindow;
  // The run's command line, without --verbose; what Form_Load decides on.
  std::string command_line;
  bool verbose = false;  // --verbose: every log line on standard error too
  std::string unknown;   // kUnknown: the first word not understood, or the whole text
};

// Modes in any letter case; -now and --force take --verbose before or after them.
Command ParseCommandLine(const std::vector<std::string>& args);

// True when a window can be shown: a display is named, or Qt's platform is chosen.
bool HasDisplay();

}  // namespace pellvane
