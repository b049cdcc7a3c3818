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
  const std::string line = ToAnsiLossy(Line(text) + "\r\n");
  // The line that would take the log past its bound begins a new one; the old one is kept as
  // the only predecessor. A failed rename just goes on appending.
  if (const auto size = files_.SizeOf(path_); size && *size + line.size() > kMaxLogSize) {
    files_.Rename(path_, path_ + kOldLogSuffix);
  }
  // Each line is appended in one call, at the file's end, so that two instances appending at
  // once do not mix their lines; a failed write loses the line, as any other failure does.
  files_.Append(path_, line, 0644);
  Yield();
}

}  // namespace pellvane
