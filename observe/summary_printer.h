// The per-file summary of --summary: one line after a file's own lines,
//   Summary of NAME: OUTCOME[ (WHY)]; key K; lines N; stored S[ (TABLE n, ...)];
//   rejected R[ (lines L, ...)]; D.DDD s
// OUTCOME is "loaded", "moved earlier", "waiting" or "failed"; the tables are those
// that took rows, in the order they were first written; the rejected lines
// are the first 20 known, followed by ", ..." when there were more.
#pragma once

#include <string>

#include "os/console.h"
#include "scan/scan_observer.h"

namespace qx::observe {

// The summary line of `report`, line end included.
std::string summary_line(const scan::FileReport& report);

class SummaryPrinter : public scan::ScanObserver {
 public:
  explicit SummaryPrinter(os::Console console) : console_(console) {}
  void file_done(const scan::FileReport& report) override { console_.print(summary_line(report)); }

 private:
  os::Console console_;
};

}  // namespace qx::observe
