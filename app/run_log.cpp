#include "app/run_log.h"

#include <fcntl.h>
#include <unistd.h>

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
  const int fd = open(path_.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  if (fd >= 0) {
    const ssize_t written = write(fd, line.data(), line.size());
    (void)written;  // a short or failed write loses the line, as any other failure does
    close(fd);
  }
  Yield();
}

}  // namespace pellvane
