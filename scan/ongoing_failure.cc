#include "scan/ongoing_failure.h"

namespace qx::scan {

std::string describe_duration(std::chrono::seconds duration) {
  const long long seconds = duration.count();
  if (seconds < 60) return std::to_string(seconds) + " s";
  const long long minutes = seconds / 60;
  if (minutes < 60) return std::to_string(minutes) + " min";
  return std::to_string(minutes / 60) + " h " + std::to_string(minutes % 60) + " min";
}

}  // namespace qx::scan
