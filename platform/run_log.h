// The run log: WriteLog appends one timestamped line to pellvane.log while logging is on.
// Every line is opened, written and closed on its own; failures lose the line silently. The
// log is kept under 1 MiB: a full one becomes pellvane.log.1 and a new one begins.
// Not safe from two threads.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "platform/clock.h"
#include "platform/file_system.h"

namespace pellvane {

// The log's bound: a line that would take it past this begins a new log, and the old one
// becomes the log's path with kOldLogSuffix, replacing an older one.
inline constexpr std::uint64_t kMaxLogSize = 1 << 20;
inline constexpr const char* kOldLogSuffix = ".1";

class RunLog {
 public:
  // `writelog` is the switch, read at every call (the settings record's field); the lines go
  // through `files`.
  RunLog(std::string path, const Clock& clock, const bool& writelog, FileSystem& files);

  // Runs after every line written while logging is on: lets the window handle its events.
  void SetYieldHook(std::function<void()> hook) { yield_ = std::move(hook); }
  // Sees every line's text as it comes, whether or not logging is on (-now --verbose).
  void SetLineHook(std::function<void(std::string_view)> hook) { line_hook_ = std::move(hook); }
  // Runs the hook on its own, for other code that lets the window handle its events.
  void Yield() const {
    if (yield_) yield_();
  }

  // "<timestamp> - <text>" CR LF; an empty text writes CR LF alone.
  void WriteLog(std::string_view text) const;
  // The line WriteLog writes for `text`, without its line end.
  std::string Line(std::string_view text) const;

  const std::string& path() const { return path_; }

 private:
  std::string path_;
  const Clock& clock_;
  const bool& writelog_;
  FileSystem& files_;
  std::function<void()> yield_;
  std::function<void(std::string_view)> line_hook_;
};

}  // namespace pellvane
