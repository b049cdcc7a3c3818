// The command line as one text and the decisions made on it.
// Safe from two threads while nothing changes the environment.
#pragma once

#include <string>

#include "platform/text.h"

namespace pellvane {

// The arguments after the program name, joined by single blanks.
std::string JoinArguments(int argc, char** argv);

// -now and -backup, in any letter case: the modes that run without a window.
bool IsHeadlessMode(const std::string& command_line);

// True when a window can be shown: a display is named, or Qt's platform is chosen.
bool HasDisplay();

// The folder of the running executable.
std::string ExecutableFolder();

}  // namespace pellvane
