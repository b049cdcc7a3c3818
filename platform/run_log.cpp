#include "platform/run_log.h"

#include "platform/ansi.h"

namespace pellvane {

RunLog::RunLog(std::string path, const Clock& clock, const bool& writelog, FileSystem& files)
    : path_(std::move(path)), clock_(clock), writelog_(writelog), files_(files) {}

void RunLog::WriteLog(std::string_view text) const {
  if (!writelog_) return;
  std::string line;
  if (!text.empty()) {
    line = FormatTimestamp(clock_.Now());
    line += " - ";
    line += text;
  }
  line += "\r\n";
  // Each line is appended in one call, at the file's end, so that two instances appending at
  // once do not mix their lines; a failed write loses the line, as any other failure does.
  files_.Append(path_, ToAnsiLossy(line), 0644);
  Yield();
}

}  // namespace pellvane
