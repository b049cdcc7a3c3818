#include "app/headless_run.h"

#include <cstdio>

#include "app/command_line.h"
#include "app/environment.h"
#include "app/exit_status.h"
#include "app/run_status.h"
#include "app/session.h"
#include "platform/clock.h"
#include "platform/dialogs.h"

namespace pellvane {

int RunHeadless(const std::string& command_line, bool verbose) {
  HeadlessDialogs dialogs;
  SystemClock clock;
  const SessionConfig config = ConfigFromEnvironment(command_line);
  Session session(dialogs, clock, config);
  // How often the built-in echo page and others were asked.
  const std::string asking = "Prüfe IP-Adresse mit ", builtin = asking + kEchoUrl + "...";
  int asked_builtin = 0, asked_other = 0;
  RunRecorder record;
  session.log.SetLineHook([&](std::string_view line) {
    record.Observe(line);
    if (line.starts_with(asking)) ++(line == builtin ? asked_builtin : asked_other);
    if (verbose) std::fprintf(stderr, "%s\n", session.log.Line(line).c_str());
  });
  const RunOutcome outcome = session.window.Form_Load().value_or(RunOutcome::kDone);
  // The scheduler's channel (journal, cron mail), also when the run log is off; a fresh
  // install whose built-in page gave nothing learns the way out.
  std::string why = session.window.failure();
  if (outcome == RunOutcome::kNoAddress && asked_builtin > 0 && asked_other == 0 && !why.empty()) {
    why += std::string(". ") + kOwnEchoPageHint;
  }
  if (ExitStatusOf(outcome) != kExitOk && !why.empty()) {
    std::fprintf(stderr, "pellvane %s: %s\n", Lowered(command_line).c_str(), why.c_str());
  }
  if (Lowered(command_line) == "-now" || Lowered(command_line) == kForceOption) {
    record.Finish(ExitStatusOf(outcome) == kExitOk, session.window.failure(), clock.Now(),
                  RealFileSystem(), config.program_folder);
  }
  return ExitStatusOf(outcome);
}

}  // namespace pellvane
