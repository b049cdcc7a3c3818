#include "app/headless_run.h"

#include <cstdio>

#include "app/command_line.h"
#include "app/environment.h"
#include "app/exit_status.h"
#include "app/failure_reason.h"
#include "app/session.h"
#include "platform/clock.h"
#include "platform/dialogs.h"

namespace pellvane {

int RunHeadless(const std::string& command_line, bool verbose) {
  HeadlessDialogs dialogs;
  SystemClock clock;
  Session session(dialogs, clock, ConfigFromEnvironment(command_line));
  FailureReason reason;
  session.log.SetLineHook([&](std::string_view line) {
    reason.Observe(line);
    if (verbose) std::fprintf(stderr, "%s\n", session.log.Line(line).c_str());
  });
  const RunOutcome outcome = session.window.Form_Load().value_or(RunOutcome::kDone);
  if (Lowered(command_line) == "-now") {
    const std::string why = reason.For(outcome);
    if (!why.empty()) std::fprintf(stderr, "pellvane -now: %s\n", why.c_str());
  }
  return ExitStatusOf(outcome);
}

}  // namespace pellvane
