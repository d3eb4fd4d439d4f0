// Reporting to observers (scan_observer.h): what became of each file the
// loop took up, each file too large to read, and each scan; and, from the
// files' reports, the alarm of a file that waits for a reason of its own
// (unreadable, refused for its own data), which begins with its first such
// report and ends when the file goes, or leaves the directory. The console
// hears nothing from here: the loop and the handlers print their own lines.
// Without an observer nothing is reported and nothing kept.
#pragma once

#include <chrono>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "scan/alarm.h"
#include "scan/file_claims.h"
#include "scan/file_handler.h"
#include "scan/file_job.h"

namespace qx::scan {

// What one scan did, for the exit status of a single scan (--once).
struct ScanOutcome {
  bool connected = true;
  bool input_readable = true;
  int files_found = 0;   // files of the pattern in the input directory
  int files_done = 0;    // of those, loaded (now or earlier) and moved, or set aside
  int files_failed = 0;  // of those done, set aside into the failed directory
  bool all_done() const { return connected && input_readable && files_done == files_found; }
};

class ScanReporting {
 public:
  // `outlets` (whose observer is the one told) and `handler` must outlive
  // the reporting.
  ScanReporting(AlarmOutlets& outlets, FileHandler& handler)
      : outlets_(outlets), handler_(handler) {}

  // A scan begins with the listing `files` (empty when it was not read).
  void scan_begins(const std::vector<os::DirectoryEntry>& files);
  // The file `name` of the scan is done: moved, or set aside.
  void done(const std::string& name) { done_.insert(name); }
  // Completes the file's report after its handler (`prepared` is what the
  // loop made of it before) and tells the observer.
  void file(FileJob& job, JobStep prepared);
  // The one report of a file too large to read, when it is first found:
  // failed when it was moved into the failed directory, waiting otherwise.
  void too_large(const std::string& name, bool moved, const std::string& why);
  // Tells the observer what the scan found and left.
  void scan(const ScanOutcome& outcome);

 private:
  AlarmOutlets& outlets_;
  FileHandler& handler_;
  // The files of the scan in hand and those of them done.
  std::vector<os::DirectoryEntry> scanned_;
  std::set<std::string> done_;
  // Files waiting for a reason of their own, by name.
  std::map<std::string, Alarm> files_failing_;
  // For the waiting age: when the loop first saw each file that waits.
  std::map<std::string, std::chrono::system_clock::time_point> waiting_since_;
};

}  // namespace qx::scan
