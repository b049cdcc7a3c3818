// The exit statuses of pellvane and pellvane-window, and the one each way a run that ends by
// itself (-now, -backup) maps to. Safe from any thread.
#pragma once

#include "ui/frm_main.h"

namespace pellvane {

enum ExitStatus : int {
  kExitOk = 0,
  // No valid address, no settings, another check still running, a failed backup, a refused
  // settings command.
  kExitFailed = 1,
  kExitPublishFailed = 2,  // a changed address that could not be published
};

ExitStatus ExitStatusOf(RunOutcome outcome);

}  // namespace pellvane
