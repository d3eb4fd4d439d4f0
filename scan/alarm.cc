#include "scan/alarm.h"

namespace qx::scan {

std::string alarm_line(const AlarmNotice& notice, std::chrono::seconds lasted) {
  std::string line = notice.headline;
  if (!notice.lasted_as.empty() && lasted.count() > 0) {
    line += " (" + notice.lasted_as + " " + describe_duration(lasted) + ")";
  }
  return line + "; " + notice.advice + "\n";
}

bool Alarm::raise(const AlarmNotice& notice, bool tell_anyway) {
  const auto now = outlets_->env.now();
  const bool began = !timing_.ongoing();
  const bool due = timing_.due(now);
  if (began && kind_ && outlets_->observer != nullptr) {
    outlets_->observer->failure_started(*kind_, notice.detail);
  }
  if ((due || tell_anyway) && !notice.headline.empty()) {
    outlets_->console.print(alarm_line(notice, timing_.lasted(now)), notice.priority);
  }
  return due;
}

bool Alarm::raise_told(const std::string& detail) {
  return raise({.detail = detail, .headline = {}, .advice = {}});
}

std::optional<std::chrono::seconds> Alarm::clear(const std::string& subject,
                                                 const std::string& cleared) {
  const auto lasted = timing_.ended(outlets_->env.now());
  if (!lasted) return lasted;
  if (!cleared.empty()) {
    outlets_->console.print(cleared + ", after " + describe_duration(*lasted) + "\n",
                            os::Priority::notice);
  }
  if (kind_ && outlets_->observer != nullptr) {
    outlets_->observer->failure_ended(*kind_, subject, *lasted);
  }
  return lasted;
}

}  // namespace qx::scan
