#include "observe/event_log.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

namespace qx::observe {

std::string event_time(std::chrono::system_clock::time_point when) {
  const auto since_epoch = when.time_since_epoch();
  const auto seconds = std::chrono::floor<std::chrono::seconds>(since_epoch);
  const auto millis = std::chrono::duration_cast<std::chrono::milliseconds>(since_epoch - seconds);
  const std::time_t whole = static_cast<std::time_t>(seconds.count());
  std::tm utc{};
  gmtime_r(&whole, &utc);
  char stamp[40];
  const std::size_t length = std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%S", &utc);
  std::snprintf(stamp + length, sizeof stamp - length, ".%03d+00:00",
                static_cast<int>(millis.count()));
  return stamp;
}

JsonLine EventLog::event(std::string_view name) {
  JsonLine line;
  line.text("time", event_time(std::chrono::system_clock::now())).text("event", name);
  return line;
}

void EventLog::append(const JsonLine& json) {
  const std::string line = json.line();
  // One write of the whole line to a file opened for appending: lines of
  // several writers never interleave.
  int fd = ::open(path_.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  int error = fd < 0 ? errno : 0;
  if (fd >= 0) {
    if (::write(fd, line.data(), line.size()) != static_cast<ssize_t>(line.size())) {
      error = errno != 0 ? errno : EIO;
    }
    ::close(fd);
  }
  if (error != 0 && !failing_) {
    console_.print("Cannot write the event log " + path_ + ": " + std::strerror(error) +
                       "; loading goes on without it\n",
                   os::Priority::warning);
  } else if (error == 0 && failing_) {
    console_.print("The event log " + path_ + " can be written again\n", os::Priority::notice);
  }
  failing_ = error != 0;
}

void EventLog::started(const scan::StartInfo& info) {
  append(event("start")
             .text("program", info.program)
             .text("version", info.version)
             .text("instance", info.instance)
             .text("database", info.database)
             .text("input_dir", info.input_dir)
             .text("backup_dir", info.backup_dir));
}

void EventLog::stopped() {
  append(event("stop"));
}

void EventLog::file_done(const scan::FileReport& report) {
  std::string tables = "{";
  for (const scan::TableRows& entry : report.tally.tables) {
    if (tables.size() > 1) tables += ',';
    tables += json_string(entry.table) + ":" + std::to_string(entry.rows);
  }
  std::string lines = "[";
  for (std::int64_t rejected : report.tally.rejected_lines) {
    if (lines.size() > 1) lines += ',';
    lines += std::to_string(rejected);
  }
  append(event("file")
             .text("name", report.name)
             .text("outcome", outcome_name(report.outcome))
             .text("why", report.why)
             .text("reason", report.outcome == scan::FileReport::Outcome::failed
                                 ? set_aside_name(report.set_aside)
                                 : std::string_view())
             .boolean("moved", report.moved)
             .number("key", report.key)
             .number("lines", report.lines_read)
             .number("rows_stored", report.rows_stored)
             .number("rows_rejected", report.rows_rejected)
             .raw("tables", tables + "}")
             .raw("rejected_lines", lines + "]")
             .decimal("seconds", static_cast<double>(report.duration.count()) / 1000.0));
}

void EventLog::failure_started(scan::FailureKind kind, const std::string& detail) {
  append(event("failure_start").text("kind", failure_kind_name(kind)).text("detail", detail));
}

void EventLog::failure_ended(scan::FailureKind kind, const std::string& detail,
                             std::chrono::seconds lasted) {
  append(event("failure_end")
             .text("kind", failure_kind_name(kind))
             .text("detail", detail)
             .number("lasted_seconds", lasted.count()));
}

}  // namespace qx::observe
