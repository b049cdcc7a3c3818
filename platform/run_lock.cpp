#include "platform/run_lock.h"

#include <thread>

namespace pellvane {

RunLock::RunLock(const std::string& path, std::chrono::milliseconds wait,
                 const std::function<void()>& waiting) {
  constexpr std::chrono::milliseconds kPoll(50);
  const auto until = std::chrono::steady_clock::now() + wait;
  // What cannot be used now may be mended meanwhile (a folder emptied): tried again like a
  // lock that is held.
  while ((state_ = TryOnce(path)) != State::kTaken && std::chrono::steady_clock::now() < until) {
    std::this_thread::sleep_for(kPoll);
    if (waiting) waiting();
  }
  if (state_ != State::kUnusable) fault_.clear();
}

}  // namespace pellvane
