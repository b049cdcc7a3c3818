#include "app/headless_run.h"

#include <cstdio>

#include "app/command_line.h"
#include "app/environment.h"
#include "app/exit_status.h"
#include "app/session.h"
#include "platform/clock.h"
#include "platform/dialogs.h"

namespace pellvane {

int RunHeadless(const std::string& command_line) {
  HeadlessDialogs dialogs;
  SystemClock clock;
  Session session(dialogs, clock, ConfigFromEnvironment(command_line));
  const RunOutcome outcome = session.window.Form_Load().value_or(RunOutcome::kDone);
  // The scheduler's channel (journal, cron mail), also when the run log is off.
  const std::string& why = session.window.failure();
  if (ExitStatusOf(outcome) != kExitOk && !why.empty()) {
    std::fprintf(stderr, "pellvane %s: %s\n", Lowered(command_line).c_str(), why.c_str());
  }
  return ExitStatusOf(outcome);
}

}  // namespace pellvane
