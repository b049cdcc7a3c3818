#include "platform/console.h"

#include <termios.h>
#include <unistd.h>

#include <clocale>
#include <csignal>
#include <cstdio>
#include <cstdlib>

namespace pellvane {
namespace {

termios g_typed_with{};  // the terminal's settings before its echo went off

// Ended while the echo is off: the echo comes back before the signal does its usual work.
void RestoreEchoAndRaise(int signal) {
  tcsetattr(STDIN_FILENO, TCSAFLUSH, &g_typed_with);
  std::signal(signal, SIG_DFL);
  std::raise(signal);
}

}  // namespace

void ConnectConsole() {}

void UseUserLocale() {
  for (int category : {LC_CTYPE, LC_TIME, LC_MESSAGES}) std::setlocale(category, "");
}

void ExitNow(int status) {
  std::fflush(nullptr);
  std::_Exit(status);
}

bool OutputReachesSomeone() { return true; }

bool InputIsTerminal() { return isatty(STDIN_FILENO) == 1; }

std::optional<std::string> AskTerminal(const std::string& prompt, bool echo) {
  if (!InputIsTerminal() || tcgetattr(STDIN_FILENO, &g_typed_with) != 0) return std::nullopt;
  constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGTSTP};
  if (!echo) {
    for (int signal : kSignals) std::signal(signal, RestoreEchoAndRaise);
    termios quiet = g_typed_with;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    quiet.c_lflag |= ECHONL;
    tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
  }
  std::fputs(prompt.c_str(), stderr);
  std::fflush(stderr);
  std::string line;
  int c = 0;
  while ((c = std::fgetc(stdin)) != EOF && c != '\n') line += static_cast<char>(c);
  if (!echo) {
    tcsetattr(STDIN_FILENO, TCSAFLUSH, &g_typed_with);
    for (int signal : kSignals) std::signal(signal, SIG_DFL);
  }
  if (c == EOF && line.empty()) return std::nullopt;
  return line;
}

std::vector<std::string> Arguments(int argc, char** argv) {
  return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
}

}  // namespace pellvane
