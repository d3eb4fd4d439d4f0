// The metrics of --metrics-file, rewritten after every scan in the text
// exposition format a node exporter's textfile collector reads. The file is
// written under a temporary name in its directory and renamed into place
// (move_file.h), so the collector never reads half of it, with the
// permissions 0644 whatever the umask. Every sample carries the labels
// program and loader_instance:
//   qx_loader_files_loaded_total                   counter
//   qx_loader_files_failed_total{reason="..."}     counter, one per reason a file
//                                                  is set aside (file_report.h)
//   qx_loader_rows_loaded_total                    counter (rows of files loaded)
//   qx_loader_rows_rejected_total                  counter (rows of files loaded)
//   qx_loader_failures_total{kind="..."}           counter, one per failure kind
//   qx_loader_files_waiting                        gauge
//   qx_loader_oldest_waiting_file_age_seconds      gauge (0 when none waits)
//   qx_loader_last_successful_scan_timestamp_seconds gauge (unix time; 0 before one)
//   qx_loader_database_up                          gauge (0 or 1)
// Counters count from the start of the process. A file that cannot be
// written is said once on the console; the loader goes on.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>

#include "os/console.h"
#include "os/env.h"
#include "scan/scan_observer.h"

namespace qx::observe {

inline constexpr std::filesystem::perms kMetricsFilePermissions =
    std::filesystem::perms::owner_read | std::filesystem::perms::owner_write |
    std::filesystem::perms::group_read | std::filesystem::perms::others_read;

class MetricsFile : public scan::ScanObserver {
 public:
  // A relative `path` is taken from the current directory, once.
  MetricsFile(os::Env& env, const std::filesystem::path& path, os::Console console)
      : env_(env), path_(env.current_directory() / path), console_(console) {}

  void started(const scan::StartInfo& info) override;
  void file_done(const scan::FileReport& report) override;
  void scan_done(const scan::ScanReport& report) override;
  void failure_started(scan::FailureKind kind, const std::string& detail) override;

  // The whole file as it is written after `report`.
  std::string text(const scan::ScanReport& report) const;

 private:
  os::Env& env_;
  std::filesystem::path path_;
  os::Console console_;
  std::string labels_;  // program="...",loader_instance="..."
  std::int64_t files_loaded_ = 0;
  std::array<std::int64_t, scan::FileReport::kSetAsideKinds> files_failed_{};
  std::int64_t rows_loaded_ = 0;
  std::int64_t rows_rejected_ = 0;
  std::array<std::int64_t, 5> failures_{};
  std::int64_t last_successful_scan_ = 0;
  bool failing_ = false;
};

}  // namespace qx::observe
