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
  enum class State {
    kTaken,     // this process holds the lock until the object goes
    kBusy,      // another process held it for the whole wait
    kUnusable,  // the file cannot serve as a lock (see fault()), also after the whole wait
  };

  // Waits at most `wait` for the lock on `path`, which is created when missing; `waiting` runs
  // between two tries (the window's yield). What is planted there instead of a lock file of
  // this account (a link, a FIFO, a device, an empty folder, a file of another account or one
  // it cannot open) is removed, never followed or waited on.
  RunLock(const std::string& path, std::chrono::milliseconds wait,
          const std::function<void()>& waiting = {});

  State state() const { return state_; }
  bool taken() const { return state_ == State::kTaken; }
  // Why the lock is unusable, in German ("ein Ordner", "nicht ersetzbar", ...); else empty.
  const std::string& fault() const { return fault_; }

 private:
  // One try without waiting; sets fault_ when it returns kUnusable.
  State TryOnce(const std::string& path);

  SafeFile file_;
  State state_ = State::kBusy;
  std::string fault_;
};

}  // namespace pellvane
