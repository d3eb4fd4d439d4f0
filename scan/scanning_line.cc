#include "scan/scanning_line.h"

#include <cstdio>

namespace qx::scan {

std::string format_scanning_line(std::string_view input_dir_as_typed, const std::tm& local,
                                 std::string_view pattern) {
  char when[64];
  std::snprintf(when, sizeof when, " %04d-%02d-%02d %02d:%02d:%02d", local.tm_year + 1900,
                local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
  std::string line = "Scanning Directory ";
  line += input_dir_as_typed;
  line += when;
  line += " for ";
  line += pattern;
  line += " Files\n";
  return line;
}

std::tm local_time(std::chrono::system_clock::time_point when) {
  std::time_t seconds = std::chrono::system_clock::to_time_t(when);
  std::tm local{};
  localtime_r(&seconds, &local);
  return local;
}

}  // namespace qx::scan
