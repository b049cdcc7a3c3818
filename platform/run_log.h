// The run log: WriteLog appends one timestamped line to pellvane.log while logging is on.
// Every line is opened, written and closed on its own; failures lose the line silently.
// Not safe from two threads.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "platform/clock.h"
#include "platform/file_system.h"

namespace pellvane {

class RunLog {
 public:
  // `writelog` is the switch, read at every call (the settings record's field); the lines go
  // through `files`.
  RunLog(std::string path, const Clock& clock, const bool& writelog, FileSystem& files);

  // Runs after every line written while logging is on: lets the window handle its events.
  void SetYieldHook(std::function<void()> hook) { yield_ = std::move(hook); }
  // Runs the hook on its own, for other code that lets the window handle its events.
  void Yield() const {
    if (yield_) yield_();
  }

  // "<timestamp> - <text>" CR LF; an empty text writes CR LF alone.
  void WriteLog(std::string_view text) const;

  const std::string& path() const { return path_; }

 private:
  std::string path_;
  const Clock& clock_;
  const bool& writelog_;
  FileSystem& files_;
  std::function<void()> yield_;
};

}  // namespace pellvane
