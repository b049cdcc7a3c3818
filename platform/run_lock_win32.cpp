#include <io.h>
#include <windows.h>

#include <thread>

#include "platform/run_lock.h"

namespace pellvane {

RunLock::RunLock(const std::string& path, std::chrono::milliseconds wait,
                 const std::function<void()>& waiting)
    : file_(OpenForAppend(path, 0600)) {
  // LockFileEx needs read or write rights, which an append-only handle lacks.
  if (file_.is_open()) file_ = OpenForReading(path);
  if (!file_.is_open()) return;
  constexpr std::chrono::milliseconds kPoll(50);
  const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(file_.fd()));
  const auto until = std::chrono::steady_clock::now() + wait;
  // The whole possible length of the file, so that every holder locks the same range.
  const auto try_lock = [handle] {
    OVERLAPPED at{};
    return LockFileEx(handle, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, MAXDWORD,
                      MAXDWORD, &at) != 0;
  };
  while (!(held_ = try_lock()) && std::chrono::steady_clock::now() < until) {
    std::this_thread::sleep_for(kPoll);
    if (waiting) waiting();
  }
}

}  // namespace pellvane
