#include "observe/summary_printer.h"

#include <cstdio>

#include "os/shown_name.h"

namespace qx::observe {

std::string summary_line(const scan::FileReport& report) {
  std::string line = "Summary of " + os::shown_name(report.name) + ": " +
                     std::string(outcome_name(report.outcome));
  if (!report.why.empty()) line += " (" + report.why + ")";
  line += "; key " + std::to_string(report.key);
  line += "; lines " + std::to_string(report.lines_read);
  line += "; stored " + std::to_string(report.rows_stored);
  const auto& tables = report.tally.tables;
  for (std::size_t i = 0; i < tables.size(); ++i) {
    line += (i == 0 ? " (" : ", ") + tables[i].table + " " + std::to_string(tables[i].rows);
  }
  if (!tables.empty()) line += ")";
  line += "; rejected " + std::to_string(report.rows_rejected);
  const auto& lines = report.tally.rejected_lines;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    line += (i == 0 ? " (lines " : ", ") + std::to_string(lines[i]);
  }
  if (!lines.empty()) {
    if (report.rows_rejected > static_cast<std::int64_t>(lines.size())) line += ", ...";
    line += ")";
  }
  char seconds[32];
  std::snprintf(seconds, sizeof seconds, "; %.3f s\n",
                static_cast<double>(report.duration.count()) / 1000.0);
  return line + seconds;
}

}  // namespace qx::observe
