#include "platform/run_lock.h"

#include <sys/file.h>

#include <thread>

namespace pellvane {

RunLock::RunLock(const std::string& path, std::chrono::milliseconds wait,
                 const std::function<void()>& waiting)
    : file_(OpenForAppend(path, 0600)) {
  if (!file_.is_open()) return;
  constexpr std::chrono::milliseconds kPoll(50);
  const auto until = std::chrono::steady_clock::now() + wait;
  while (!(held_ = flock(file_.fd(), LOCK_EX | LOCK_NB) == 0) &&
         std::chrono::steady_clock::now() < until) {
    std::this_thread::sleep_for(kPoll);
    if (waiting) waiting();
  }
}

}  // namespace pellvane
