// The wall clock behind a small interface, so that tests can set the time the log stamps,
// and the log's timestamp text. Safe from two threads.
#pragma once

#include <ctime>
#include <string>

namespace pellvane {

class Clock {
 public:
  virtual ~Clock() = default;
  virtual std::time_t Now() const = 0;
};

class SystemClock final : public Clock {
 public:
  std::time_t Now() const override;
};

// A clock that stands still until it is set; for tests.
class FixedClock final : public Clock {
 public:
  explicit FixedClock(std::time_t t) : t_(t) {}
  void Set(std::time_t t) { t_ = t; }
  std::time_t Now() const override { return t_; }

 private:
  std::time_t t_;
};

// The local date and time as the user's locale writes them: short date, a blank, long time
// (strftime "%x %X"). At exactly 00:00:00 only the date is given.
std::string FormatTimestamp(std::time_t t);

}  // namespace pellvane
