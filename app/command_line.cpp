#include "app/command_line.h"

#include <algorithm>
#include <cstdlib>

#include "platform/text.h"
#include "ui/frm_main.h"

namespace pellvane {
namespace {

bool IsSettingsCommand(const std::string& first_argument) {
  return first_argument == "--show" || first_argument == "--get" || first_argument == "--set";
}

// Every word the program knows somewhere on its command line.
bool IsKnownWord(const std::string& word) {
  for (const char* known : {"-now", kForceOption, "-backup", "-restore", "--restore", "--status",
                            "--verbose", "--help", "--version"}) {
    if (Lowered(word) == known) return true;
  }
  return false;
}

}  // namespace

std::string JoinArguments(int argc, char** argv) {
  return JoinArguments(std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc));
}

std::string JoinArguments(const std::vector<std::string>& args) {
  std::string joined;
  for (const std::string& arg : args) {
    if (!joined.empty() || &arg != &args.front()) joined += ' ';
    joined += arg;
  }
  return joined;
}

Command ParseCommandLine(const std::vector<std::string>& args) {
  Command c;
  c.command_line = JoinArguments(args);
  if (args.empty()) return c;
  if (IsSettingsCommand(args[0])) {
    c.mode = Command::kSettings;
    return c;
  }
  std::string line = Lowered(c.command_line);
  // --verbose goes with -now and --force, before or after them.
  for (const std::string run : {"-now", kForceOption}) {
    if (line == run + " --verbose" || line == "--verbose " + run) {
      c.verbose = true;
      line = c.command_line = run;
    }
  }
  if (line == "-now" || line == kForceOption || line == "-backup" || line == "--restore") {
    c.mode = Command::kHeadless;
  } else if (line == "-restore") {
    c.mode = Command::kWindow;
  } else if (line == "--status") {
    c.mode = Command::kStatus;
  } else if (line == "--help") {
    c.mode = Command::kHelp;
  } else if (line == "--version") {
    c.mode = Command::kVersion;
  } else {
    c.mode = Command::kUnknown;
    const auto odd = std::find_if_not(args.begin(), args.end(), IsKnownWord);
    c.unknown = odd != args.end() ? *odd : c.command_line;
  }
  return c;
}

bool HasDisplay() {
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != '\0') return true;
  }
  return false;
}

}  // namespace pellvane
