#include "scan/scan_reporting.h"

#include <algorithm>

namespace qx::scan {

void ScanReporting::scan_begins(const std::vector<os::DirectoryEntry>& files) {
  scanned_ = files;
  done_.clear();
}

void ScanReporting::file(FileJob& job, JobStep prepared) {
  ScanObserver* observer = outlets_.observer;
  if (observer == nullptr) return;
  FileReport& report = job.report();
  report.name = job.name();
  report.moved = job.moved();
  report.duration = std::chrono::duration_cast<std::chrono::milliseconds>(
      outlets_.env.steady_now() - job.began());
  if (job.set_aside()) {
    // Whatever the handler counted, nothing of a file set aside is kept.
    report.outcome = FileReport::Outcome::failed;
    report.set_aside = *job.set_aside();
    report.why = job.set_aside_why();
  } else if (prepared == JobStep::done) {
    // The account its load left in the history.
    report.key = job.progress().key;
    report.lines_read = job.progress().lines_done;
    report.rows_stored = job.progress().rows_stored;
    report.rows_rejected = job.progress().rows_rejected;
    report.outcome =
        job.moved() ? FileReport::Outcome::moved_earlier : FileReport::Outcome::waiting;
    if (!job.moved()) report.why = "loaded earlier; its move to the backup directory failed";
  } else if (job.moved() || report.committed) {
    report.outcome = FileReport::Outcome::loaded;
    if (!job.moved()) report.why = "its move to the backup directory failed";
  } else {
    report.outcome = FileReport::Outcome::waiting;
    if (report.why.empty()) report.why = "not loaded";
  }
  // A file that waits while the database answers waits for a reason of
  // its own: unreadable, or refused.
  // A refusal of the database is told as its own failure, not the file's.
  const bool own_failure = report.outcome == FileReport::Outcome::waiting &&
                           !report.database_refused && prepared == JobStep::to_handle &&
                           handler_.session().connected();
  auto failing = files_failing_.find(job.name());
  if (own_failure && failing == files_failing_.end()) {
    files_failing_.try_emplace(job.name(), outlets_, FailureKind::file)
        .first->second.raise_told(job.name() + ": " + report.why);
  } else if (report.outcome != FileReport::Outcome::waiting && failing != files_failing_.end()) {
    failing->second.clear(job.name(), {});
    files_failing_.erase(failing);
  }
  observer->file_done(report);
}

void ScanReporting::too_large(const std::string& name, bool moved, const std::string& why) {
  if (outlets_.observer == nullptr) return;
  FileReport report;
  report.name = name;
  report.outcome = moved ? FileReport::Outcome::failed : FileReport::Outcome::waiting;
  report.set_aside = FileReport::SetAside::too_large;
  report.why = why;
  report.moved = moved;
  outlets_.observer->file_done(report);
}

void ScanReporting::scan(const ScanOutcome& outcome) {
  ScanObserver* observer = outlets_.observer;
  if (observer == nullptr) return;
  ScanReport report;
  report.time = outlets_.env.now();
  report.connected = outcome.connected && handler_.session().connected();
  report.input_readable = outcome.input_readable;
  report.files_found = outcome.files_found;
  report.files_done = outcome.files_done;
  std::set<std::string> present;
  for (const os::DirectoryEntry& file : scanned_) {
    present.insert(file.name);
    if (done_.count(file.name) != 0) {
      waiting_since_.erase(file.name);
      continue;
    }
    // A file dated ahead, or still changing, has waited at least since the
    // loop first saw it.
    const auto seen = waiting_since_.try_emplace(file.name, report.time).first->second;
    const auto waiting = std::min(file.modified, seen);
    if (!report.oldest_waiting || waiting < *report.oldest_waiting) {
      report.oldest_waiting = waiting;
    }
  }
  if (outcome.input_readable) {
    std::erase_if(waiting_since_,
                  [&](const auto& entry) { return !present.contains(entry.first); });
  }
  // A failing file that is gone from a directory that could be read (taken
  // away by hand) fails no more.
  for (auto it = files_failing_.begin(); outcome.input_readable && it != files_failing_.end();) {
    if (present.count(it->first) != 0) {
      ++it;
      continue;
    }
    it->second.clear(it->first, {});
    it = files_failing_.erase(it);
  }
  observer->scan_done(report);
}

}  // namespace qx::scan
