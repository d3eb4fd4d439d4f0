// The event log of --log-file: JSON Lines for log shippers, one object per
// event, appended to the file and written out at once, the file opened for
// each event so that a log rotated away is started afresh. Every object has
// "time" (UTC, ISO 8601 with milliseconds and the offset,
// "2026-03-01T09:15:02.348+00:00") and "event":
//   start:         program, version, instance, database, input_dir, backup_dir
//   stop
//   file:          name, outcome ("loaded", "moved earlier", "waiting",
//                  "failed"), why, reason (for "failed" the label of
//                  qx_loader_files_failed_total, empty otherwise),
//                  moved, key, lines, rows_stored, rows_rejected,
//                  tables ({"TABLE": rows, ...}), rejected_lines ([...]),
//                  seconds
//   failure_start: kind ("database", "input_directory", "backup_move",
//                  "file"), detail
//   failure_end:   kind, detail, lasted_seconds
// A log that cannot be written is said once on the console (and once more
// when it can be written again); the loader goes on.
#pragma once

#include <string>

#include "observe/json_line.h"
#include "os/console.h"
#include "scan/scan_observer.h"

namespace qx::observe {

// The "time" of an event at `when`.
std::string event_time(std::chrono::system_clock::time_point when);

class EventLog : public scan::ScanObserver {
 public:
  EventLog(std::string path, os::Console console) : path_(std::move(path)), console_(console) {}

  void started(const scan::StartInfo& info) override;
  void stopped() override;
  void file_done(const scan::FileReport& report) override;
  void failure_started(scan::FailureKind kind, const std::string& detail) override;
  void failure_ended(scan::FailureKind kind, const std::string& detail,
                     std::chrono::seconds lasted) override;

 private:
  // An object with "time" and "event" set.
  static JsonLine event(std::string_view name);
  void append(const JsonLine& line);

  std::string path_;
  os::Console console_;
  bool failing_ = false;
};

}  // namespace qx::observe
