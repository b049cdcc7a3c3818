// A lock between processes on one file in the program folder: while one process holds it,
// others wait for it, but only for a bounded time. Not shared between threads.
#pragma once

#include <chrono>
#include <functional>
#include <string>

#include "platform/safe_file.h"

namespace pellvane {

class RunLock {
 public:
  // Waits at most `wait` for the lock on `path`, which is created when missing and refused
  // when it is a symbolic link or not a regular file; `waiting` runs between two tries (the
  // window's yield). Released when the object goes.
  RunLock(const std::string& path, std::chrono::milliseconds wait,
          const std::function<void()>& waiting = {});
  // True when another process held the lock for the whole wait. A lock file that cannot be
  // made at all (a read-only folder) keeps nobody waiting.
  bool busy() const { return file_.is_open() && !held_; }

 private:
  SafeFile file_;
  bool held_ = false;
};

}  // namespace pellvane
