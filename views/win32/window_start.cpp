// The window modes of pellvane.exe: start-up on the settings, then the window until it closes.
#include "app/window_start.h"

#include "app/command_line.h"
#include "app/environment.h"
#include "app/exit_status.h"
#include "app/session.h"
#include "platform/clock.h"
#include "platform/console.h"
#include "views/win32/main_window.h"
#include "views/win32/win32_dialogs.h"

namespace pellvane {

int StartWindow(int argc, char** argv) {
  UseMonitorDpi();
  const SessionConfig config = ConfigFromEnvironment(JoinArguments(Arguments(argc, argv)));
  Win32Dialogs dialogs(config.program_folder);
  SystemClock clock;
  Session session(dialogs, clock, config);
  if (const std::optional<RunOutcome> outcome = session.window.Form_Load()) {
    return ExitStatusOf(*outcome);
  }

  MainWindow view(session.window, dialogs, session.log);
  view.Show();
  view.Run();
  return kExitOk;
}

}  // namespace pellvane
