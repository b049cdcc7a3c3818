// What one run of the program holds: the settings, the run log, the transfer component and
// the window model, set up alike for runs with and without a window.
#pragma once

#include <string>

#include "app/run_log.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "settings/hp_reg.h"
#include "transfer/inet.h"
#include "ui/frm_main.h"

namespace pellvane {

struct Session {
  // `command_line` is the arguments as one text; the log and files live in the program folder.
  Session(Dialogs& dialogs, const std::string& command_line);

  Settings settings;
  SystemClock clock;
  RunLog log;
  Inet inet;
  frmMain window;
};

}  // namespace pellvane
