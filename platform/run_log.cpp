#include "platform/run_log.h"

#include "platform/ansi.h"
#include "platform/safe_file.h"

namespace pellvane {

RunLog::RunLog(std::string path, const Clock& clock, const bool& writelog)
    : path_(std::move(path)), clock_(clock), writelog_(writelog) {}

void RunLog::WriteLog(std::string_view text) const {
  if (line_hook_) line_hook_(text);
  if (!writelog_) return;
  std::string line;
  if (!text.empty()) {
    line = FormatTimestamp(clock_.Now());
    line += " - ";
    line += text;
  }
  line += "\r\n";
  // One write() per line, so that two instances appending at once never interleave a line.
  // A short or failed write loses the line, as any other failure does.
  OpenForAppend(path_, 0644).WriteAll(ToAnsiLossy(line));
  Yield();
}

}  // namespace pellvane
