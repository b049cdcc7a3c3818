// The program's arguments and standard streams as the platform hands them over. On Windows
// the program has no console of its own: it writes to its parent's (a command prompt's), and
// reads its arguments as UTF-8. Call once at start, from the main thread.
#pragma once

#include <string>
#include <vector>

namespace pellvane {

// Standard output and error reach the caller: a redirected stream as it is, else the parent's
// console when there is one (in UTF-8). Nothing to do on Linux.
void ConnectConsole();

// The arguments after the program name, as UTF-8.
std::vector<std::string> Arguments(int argc, char** argv);

}  // namespace pellvane
