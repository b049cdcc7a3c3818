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
  if (verbose) {
    session.log.SetLineHook([&session](std::string_view line) {
      std::fprintf(stderr, "%s\n", session.log.Line(line).c_str());
    });
  }
  const RunOutcome outcome = session.window.Form_Load().value_or(RunOutcome::kDone);
  const frmMain::RunReport& report = session.window.report();
  // The scheduler's channel (journal, cron mail), also when the run log is off; a fresh
  // install whose built-in page gave nothing learns the way out.
  std::string why = session.window.failure();
  if (outcome == RunOutcome::kNoAddress && report.only_builtin && !why.empty()) {
    why += std::string(". ") + kOwnEchoPageHint;
  }
  if (ExitStatusOf(outcome) != kExitOk && !why.empty()) {
    std::fprintf(stderr, "pellvane %s: %s\n", Lowered(command_line).c_str(), why.c_str());
  }
  if (Lowered(command_line) == "-now" || Lowered(command_line) == kForceOption) {
    RecordRun(report.address, report.publish_begun, ExitStatusOf(outcome) == kExitOk,
              session.window.failure(), clock.Now(), RealFileSystem(), config.program_folder);
  }
  return ExitStatusOf(outcome);
}

}  // namespace pellvane
