// What a loader program contributes to the scan loop: its database session,
// its error printer, and how it takes one file (or a batch of files) of a
// scan. The loop owns the jobs it hands over; the handler loads each and
// moves it through the job itself.
#pragma once

#include <cstddef>
#include <span>
#include <string_view>

#include "db/session.h"
#include "scan/file_job.h"

namespace qx::scan {

class FileHandler {
 public:
  virtual ~FileHandler() = default;
  virtual db::Session& session() = 0;
  // Prints a database failure through the loader's own error printer.
  virtual void report_sql_error(const db::Status& status) = 0;
  // Loads one file (reading it through the job) and moves it if it should
  // go; its own progress lines, in its own order.
  virtual void handle_file(FileJob& job) = 0;
  // Whether the handler loads several files in one transaction; the loop
  // then hands it the settled files of a backlog a batch at a time (within
  // ScanSettings::batch).
  virtual bool takes_batches() const { return false; }
  // Loads `jobs` (claimed and read, in scan order) so that each ends as
  // handle_file would have ended it, and moves those that go, in order.
  // Returns how many of them, from the first, it handled: the rest wait for
  // a later scan, as the files after a lost connection do.
  virtual std::size_t handle_batch(std::span<FileJob* const> jobs) {
    for (FileJob* job : jobs) handle_file(*job);
    return jobs.size();
  }
  // Works ahead on `job`, locked and read (not yet claimed) while the batch
  // before waits on a database server: the handler may do now what does
  // not need the database, keeping it with the job (FileJob::set_prepared),
  // so that handle_batch finds it done. It tells nothing, and a job it
  // leaves is handled as ever. False when it did no work on the job: the
  // files after it in the batch are then left to their turn, in order.
  virtual bool prepare_ahead(FileJob& job) {
    (void)job;
    return false;
  }
  // Called at the end of a scan in which no file was handled.
  virtual void on_scan_without_files() = 0;
  // The sequence of the one key a file's load draws, when it draws exactly
  // one (the claim may draw it in the same round trip); empty otherwise.
  virtual std::string_view file_key_sequence() const { return {}; }
};

}  // namespace qx::scan
