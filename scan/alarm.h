// A failure an operator must act on, as the loop tells it: raised with its
// reason and what to check, recalled at the reminder interval while it
// lasts (OngoingFailure gives the timing), and cleared with how long it
// lasted. Each telling goes to the console and, for the kinds the
// observers know (FailureKind), to the observers: failure_started when it
// begins, failure_ended when it is cleared.
//
// An alarm whose line another part prints (a file's handler says that it
// cannot open the file) is raised with an empty headline: it keeps the
// timing and the observers' events, and the console hears nothing from it.
#pragma once

#include <chrono>
#include <optional>
#include <string>

#include "os/console.h"
#include "os/env.h"
#include "scan/ongoing_failure.h"
#include "scan/scan_observer.h"

namespace qx::scan {

// Where alarms are told, shared by every alarm of one loop: its clock, its
// console, and its observer once the loop is observed (nullptr before).
struct AlarmOutlets {
  os::Env& env;
  os::Console console;
  ScanObserver* observer = nullptr;
};

// What an alarm says when it is raised or recalled:
//   HEADLINE (LASTED_AS 3 min); ADVICE
// with the part in brackets only once the failure has lasted a second.
struct AlarmNotice {
  // For the observers, when the alarm begins: what fails, and why.
  std::string detail;
  // "Cannot read the input directory in: Permission denied"; empty when
  // the console line is another part's to print.
  std::string headline;
  // What happens meanwhile and what to check.
  std::string advice;
  // "for", "moves have failed for"; empty: how long is never told.
  std::string lasted_as = "for";
  os::Priority priority = os::Priority::err;
};

class Alarm {
 public:
  // `kind` is what the observers are told the alarm is; none: the
  // observers are not told of it (they learn of it otherwise, or not).
  explicit Alarm(AlarmOutlets& outlets, std::optional<FailureKind> kind = std::nullopt,
                 std::chrono::seconds reminder_interval = kReminderInterval)
      : outlets_(&outlets), kind_(kind), timing_(reminder_interval) {}

  // The failure is there now. When it begins the observers are told (with
  // `notice.detail`); the console line is printed when it begins, when the
  // reminder interval has passed since it was last printed, and with
  // `tell_anyway` (something new to name: a reminder is not counted then).
  // Returns whether the alarm was told now (begun, or recalled).
  bool raise(const AlarmNotice& notice, bool tell_anyway = false);
  // As raise, without a console line: another part prints it (the program
  // at start, a file's handler), when this returns true.
  bool raise_told(const std::string& detail);
  // The failure is gone. When the alarm was raised, prints
  // "CLEARED, after 3 min" (nothing when `cleared` is empty), tells the
  // observers it ended (with `subject`), and returns how long it lasted;
  // nothing otherwise.
  std::optional<std::chrono::seconds> clear(const std::string& subject, const std::string& cleared);

  bool raised() const { return timing_.ongoing(); }
  // Whether raise() would tell the alarm now: it is not raised, or its last
  // telling is a reminder interval old.
  bool recall_due() const { return timing_.reminder_due(outlets_->env.now()); }
  // How long it has lasted until now; 0 when it is not raised.
  std::chrono::seconds lasted() const { return timing_.lasted(outlets_->env.now()); }

 private:
  AlarmOutlets* outlets_;
  std::optional<FailureKind> kind_;
  OngoingFailure timing_;
};

// The console line of a notice that has lasted `lasted`.
std::string alarm_line(const AlarmNotice& notice, std::chrono::seconds lasted);

}  // namespace qx::scan
