// The window modes: the settings window for an empty command line, -restore and anything
// else that is no run mode of its own. Once per process, from the main thread.
#pragma once

namespace pellvane {

// Starts the settings window with the program's arguments; returns the exit status when it
// could not be started (on Linux it replaces this process by pellvane-window).
int StartWindow(int argc, char** argv);

}  // namespace pellvane
