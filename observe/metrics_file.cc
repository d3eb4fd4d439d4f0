#include "observe/metrics_file.h"

#include <algorithm>

#include "os/move_file.h"

namespace qx::observe {
namespace {

constexpr std::array<scan::FailureKind, 5> kKinds = {
    scan::FailureKind::database, scan::FailureKind::input_directory, scan::FailureKind::backup_move,
    scan::FailureKind::file, scan::FailureKind::database_refusal};

// A label value with backslash, quote and line end escaped.
std::string label_value(std::string_view value) {
  std::string out;
  for (char c : value) {
    if (c == '\\' || c == '"') out += '\\';
    if (c == '\n') {
      out += "\\n";
      continue;
    }
    out += c;
  }
  return out;
}

std::int64_t unix_seconds(std::chrono::system_clock::time_point time) {
  return std::chrono::duration_cast<std::chrono::seconds>(time.time_since_epoch()).count();
}

}  // namespace

void MetricsFile::started(const scan::StartInfo& info) {
  // Not "instance": the collector gives every sample that label itself
  // (the scraped host), and would rename this one.
  labels_ = "program=\"" + label_value(info.program) + "\",loader_instance=\"" +
            label_value(info.instance) + "\"";
}

void MetricsFile::file_done(const scan::FileReport& report) {
  if (report.outcome == scan::FileReport::Outcome::failed) {
    ++files_failed_[static_cast<std::size_t>(report.set_aside)];
    return;
  }
  // Rows count once, with their file's load: a file that waits is counted
  // when it is loaded in the end.
  if (report.outcome != scan::FileReport::Outcome::loaded) return;
  ++files_loaded_;
  rows_loaded_ += report.rows_stored;
  rows_rejected_ += report.rows_rejected;
}

void MetricsFile::failure_started(scan::FailureKind kind, const std::string& /*detail*/) {
  ++failures_[static_cast<std::size_t>(kind)];
}

std::string MetricsFile::text(const scan::ScanReport& report) const {
  std::string out;
  auto metric = [&](std::string_view name, std::string_view type, std::string_view help) {
    out += "# HELP qx_loader_" + std::string(name) + " " + std::string(help) + "\n";
    out += "# TYPE qx_loader_" + std::string(name) + " " + std::string(type) + "\n";
  };
  auto sample = [&](std::string_view name, std::int64_t value, std::string_view extra = {}) {
    out += "qx_loader_" + std::string(name) + "{" + labels_;
    if (!extra.empty()) out += "," + std::string(extra);
    out += "} " + std::to_string(value) + "\n";
  };
  metric("files_loaded_total", "counter", "Files loaded and stored since the loader started.");
  sample("files_loaded_total", files_loaded_);
  metric("files_failed_total", "counter",
         "Files set aside into the failed directory, by why they could not be loaded.");
  for (std::size_t i = 0; i < files_failed_.size(); ++i) {
    sample("files_failed_total", files_failed_[i],
           "reason=\"" + std::string(set_aside_name(static_cast<scan::FileReport::SetAside>(i))) +
               "\"");
  }
  metric("rows_loaded_total", "counter", "Rows stored by the files loaded.");
  sample("rows_loaded_total", rows_loaded_);
  metric("rows_rejected_total", "counter", "Rows the database refused for their own data.");
  sample("rows_rejected_total", rows_rejected_);
  metric("failures_total", "counter", "Failures begun, by where they lie.");
  for (scan::FailureKind kind : kKinds) {
    sample("failures_total", failures_[static_cast<std::size_t>(kind)],
           "kind=\"" + std::string(failure_kind_name(kind)) + "\"");
  }
  metric("files_waiting", "gauge", "Files left in the input directory by the last scan.");
  sample("files_waiting", report.files_waiting());
  metric("oldest_waiting_file_age_seconds", "gauge",
         "Age of the oldest file left in the input directory, by its modification time or "
         "since first seen, whichever is longer.");
  std::int64_t age = 0;
  if (report.oldest_waiting) {
    age =
        std::max<std::int64_t>(0, unix_seconds(report.time) - unix_seconds(*report.oldest_waiting));
  }
  sample("oldest_waiting_file_age_seconds", age);
  metric("last_successful_scan_timestamp_seconds", "gauge",
         "Unix time of the last scan that reached the database and read the input directory.");
  sample("last_successful_scan_timestamp_seconds", last_successful_scan_);
  metric("database_up", "gauge", "Whether the database answered at the last scan.");
  sample("database_up", report.connected ? 1 : 0);
  return out;
}

void MetricsFile::scan_done(const scan::ScanReport& report) {
  if (report.successful()) last_successful_scan_ = unix_seconds(report.time);
  // Readable by the group and by others whatever the loader's umask: the
  // collector runs as a user of its own, and the numbers hold no secret.
  os::IoResult stored = store_file(env_, text(report), path_, kMetricsFilePermissions);
  if (!stored.ok() && !failing_) {
    console_.print("Cannot write the metrics file " + path_.string() + ": " + stored.reason() +
                       "; loading goes on without it\n",
                   os::Priority::warning);
  } else if (stored.ok() && failing_) {
    console_.print("The metrics file " + path_.string() + " can be written again\n",
                   os::Priority::notice);
  }
  failing_ = !stored.ok();
}

}  // namespace qx::observe
