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

// -now, --force and -backup, in any letter case: the modes that run without a window.
bool IsHeadlessMode(const std::string& command_line);

// True when a window can be shown: a display is named, or Qt's platform is chosen.
bool HasDisplay();

}  // namespace pellvane
