// A failure an operator must act on (the database cannot be reached, the
// input directory cannot be read): told in full when it starts, recalled at
// a slow interval while it lasts rather than at every scan, and told once
// more when it ends, so that a loader left alone for months neither floods
// its log nor hides a lasting fault.
#pragma once

#include <chrono>
#include <optional>
#include <string>

namespace qx::scan {

inline constexpr std::chrono::minutes kReminderInterval{15};

class OngoingFailure {
 public:
  using Clock = std::chrono::system_clock;

  explicit OngoingFailure(std::chrono::seconds reminder_interval = kReminderInterval)
      : reminder_interval_(reminder_interval) {}

  // The failure is there at `now`. True when it is to be told now: it has
  // just started, or the last telling is a reminder interval old.
  bool due(Clock::time_point now) {
    if (!since_) {
      since_ = now;
      last_told_ = now;
      return true;
    }
    if (now - last_told_ < reminder_interval_) return false;
    last_told_ = now;
    return true;
  }
  // The failure is gone at `now`. Returns how long it lasted when it was
  // there until now, so that its end can be told; nothing otherwise.
  std::optional<std::chrono::seconds> ended(Clock::time_point now) {
    if (!since_) return std::nullopt;
    auto lasted = std::chrono::duration_cast<std::chrono::seconds>(now - *since_);
    since_.reset();
    return lasted;
  }
  bool ongoing() const { return since_.has_value(); }
  // Whether due(now) would tell the failure: it is not there yet, or its
  // last telling is a reminder interval old.
  bool reminder_due(Clock::time_point now) const {
    return !since_ || now - last_told_ >= reminder_interval_;
  }
  // A reminder tells how long the failure has lasted.
  std::chrono::seconds lasted(Clock::time_point now) const {
    return since_ ? std::chrono::duration_cast<std::chrono::seconds>(now - *since_)
                  : std::chrono::seconds(0);
  }

 private:
  std::chrono::seconds reminder_interval_;
  std::optional<Clock::time_point> since_;
  Clock::time_point last_told_;
};

// "42 s", "3 min", "2 h 5 min": how long, for people.
std::string describe_duration(std::chrono::seconds duration);

}  // namespace qx::scan
