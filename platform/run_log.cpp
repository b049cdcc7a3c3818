#include "platform/run_log.h"

#include "platform/ansi.h"

namespace pellvane {

RunLog::RunLog(std::string path, const Clock& clock, const bool& writelog, FileSystem& files)
    : path_(std::move(path)), clock_(clock), writelog_(writelog), files_(files) {}

std::string RunLog::Line(std::string_view text) const {
  if (text.empty()) return std::string();
  return FormatTimestamp(clock_.Now()) + " - " + std::string(text);
}

void RunLog::WriteLog(std::string_view text) const {
  if (line_hook_) line_hook_(text);
  if (!writelog_) return;
  const std::string line = Line(text) + "\r\n";
  // One write() per line, so that two instances appending at once never interleave a line.
  // A short or failed write loses the line, as any other failure does.
  files_.Append(path_, ToAnsiLossy(line), 0644);
  Yield();
}

}  // namespace pellvane
