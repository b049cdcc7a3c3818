// Why a -now run failed, in the run log's own words, for one line on standard error: the
// scheduler's channel (journal, cron mail) also when logging is off. Not safe from two threads.
#pragma once

#include <string>
#include <string_view>

namespace pellvane {

class FailureReason {
 public:
  // Takes every line the run log is given.
  void Observe(std::string_view line);
  // The line for exit status 1 ("Keine gültige IP erhalten") or 2 ("FTP fehlgeschlagen"),
  // with the step that failed in brackets when one was logged; empty for any other status.
  std::string ForStatus(int status) const;

 private:
  std::string cause_;  // the current step's first failed request or unusable file
};

}  // namespace pellvane
