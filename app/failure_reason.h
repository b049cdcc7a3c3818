// Why a -now run failed, in the run log's own words, for one line on standard error: the
// scheduler's channel (journal, cron mail) also when logging is off. Not safe from two threads.
#pragma once

#include <string>
#include <string_view>

#include "ui/frm_main.h"

namespace pellvane {

class FailureReason {
 public:
  // Takes every line the run log is given.
  void Observe(std::string_view line);
  // The line for a run without a valid address ("Keine gültige IP erhalten") or with a failed
  // publish ("FTP fehlgeschlagen"), with the step that failed in brackets when one was logged;
  // empty for any other outcome.
  std::string For(RunOutcome outcome) const;

 private:
  std::string cause_;  // the current step's first failed request or unusable file
};

}  // namespace pellvane
