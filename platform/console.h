// The program's arguments and standard streams as the platform hands them over. On Windows
// the program has no console of its own: it writes to its parent's (a command prompt's), and
// reads its arguments as UTF-8. Call once at start, from the main thread.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace pellvane {

// Standard output and error reach the caller: a redirected stream as it is, else the parent's
// console when there is one (in UTF-8). Nothing to do on Linux.
void ConnectConsole();

// Takes from the user's locale only what the program uses: the encoding, the dates and times of
// the run log, the system's error texts. Numbers keep the C form ("0.5" in a time-out).
void UseUserLocale();

// Flushes the standard streams and ends the process with `status` at once, skipping the
// libraries' own clean-up at exit; the console is left as it was found.
[[noreturn]] void ExitNow(int status);

// False when standard output reaches nobody: on Windows a program started neither from a
// console (Explorer, a shortcut) nor with its output redirected. Always true on Linux.
bool OutputReachesSomeone();

// True when standard input is a terminal (or, on Windows, not redirected at all).
bool InputIsTerminal();

// One line typed at the terminal after `prompt` on standard error, without echo unless `echo`,
// ended by Enter; the echo comes back whatever happens. Nothing when there is no terminal to
// ask (on Windows the prompt that started the program does not wait for it) or the input ended.
std::optional<std::string> AskTerminal(const std::string& prompt, bool echo);

// The arguments after the program name, as UTF-8.
std::vector<std::string> Arguments(int argc, char** argv);

}  // namespace pellvane
