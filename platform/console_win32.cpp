#include "platform/console.h"

#include <windows.h>
// windows.h first
#include <shellapi.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>

#include "platform/wide_text.h"

namespace pellvane {
namespace {

UINT g_saved_output_cp = 0;
bool g_output_seen = true;

bool Redirected(DWORD which) {
  const HANDLE h = GetStdHandle(which);
  return h != nullptr && h != INVALID_HANDLE_VALUE && GetFileType(h) != FILE_TYPE_UNKNOWN;
}

// The console is the parent's: its code page goes back as it was when this program ends.
void RestoreCodePage() { SetConsoleOutputCP(g_saved_output_cp); }

}  // namespace

void ConnectConsole() {
  const bool out = Redirected(STD_OUTPUT_HANDLE);
  const bool err = Redirected(STD_ERROR_HANDLE);
  if (out && err) return;
  if (!AttachConsole(ATTACH_PARENT_PROCESS)) {
    g_output_seen = out;
    return;
  }
  if (!out) std::freopen("CONOUT$", "w", stdout);
  if (!err) std::freopen("CONOUT$", "w", stderr);
  g_saved_output_cp = GetConsoleOutputCP();
  if (SetConsoleOutputCP(CP_UTF8)) std::atexit(RestoreCodePage);
}

// Dates and times come from the user's locale through GetDateFormatEx and GetTimeFormatEx.
void UseUserLocale() { std::setlocale(LC_CTYPE, ""); }

void ExitNow(int status) {
  std::fflush(nullptr);
  if (g_saved_output_cp != 0) RestoreCodePage();
  std::_Exit(status);
}

bool OutputReachesSomeone() { return g_output_seen; }

bool InputIsTerminal() { return !Redirected(STD_INPUT_HANDLE); }

std::optional<std::string> AskTerminal(const std::string&, bool) { return std::nullopt; }

std::vector<std::string> Arguments(int, char**) {
  int argc = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  std::vector<std::string> args;
  for (int i = 1; argv != nullptr && i < argc; ++i) args.push_back(Narrow(argv[i]));
  LocalFree(argv);
  return args;
}

}  // namespace pellvane
