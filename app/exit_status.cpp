#include "app/exit_status.h"

namespace pellvane {

ExitStatus ExitStatusOf(RunOutcome outcome) {
  switch (outcome) {
    case RunOutcome::kDone:
      return kExitOk;
    case RunOutcome::kPublishFailed:
      return kExitPublishFailed;
    case RunOutcome::kNoAddress:
    case RunOutcome::kBackupFailed:
      break;
  }
  return kExitFailed;
}

}  // namespace pellvane
