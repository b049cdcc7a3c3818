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
  // How often the built-in echo page and others were asked.
  const std::string asking = "Prüfe IP-Adresse mit ", builtin = asking + kEchoUrl + "...";
  int asked_builtin = 0, asked_other = 0;
  session.log.SetLineHook([&](std::string_view line) {
    reason.Observe(line);
    if (line.starts_with(asking)) ++(line == builtin ? asked_builtin : asked_other);
    if (verbose) std::fprintf(stderr, "%s\n", session.log.Line(line).c_str());
  });
  const RunOutcome outcome = session.window.Form_Load().value_or(RunOutcome::kDone);
  if (Lowered(command_line) == "-now") {
    std::string why = reason.For(outcome);
    if (outcome == RunOutcome::kNoAddress && asked_builtin > 0 && asked_other == 0) {
      why += std::string(". ") + kOwnEchoPageHint;
    }
    if (!why.empty()) std::fprintf(stderr, "pellvane -now: %s\n", why.c_str());
  }
  return ExitStatusOf(outcome);
}

}  // namespace pellvane
