#include "records/record_files.h"

#include "driver/console.h"

namespace qx::records {

bool read_whole_file(driver::FileJob& job, std::string& contents, std::FILE* out) {
  driver::IoResult read = job.read(contents);
  if (read.ok()) return true;
  driver::print_line(
      out, "Cannot open " + job.name() + ": " + read.reason() + "; it stays for the next scan\n");
  driver::print_line(out, kFileReadComplete);
  return false;
}

FileEnd end_loaded_file(driver::FileJob& job, LoadOutcome outcome, bool verbose, std::FILE* out) {
  if (outcome != LoadOutcome::committed) {
    driver::print_line(out, "\nFile " + job.name() + " was not loaded: " + why_not_loaded(outcome) +
                                "; nothing of it was stored and it stays for a later scan\n");
    driver::print_line(out, kFileReadComplete);
    return FileEnd::not_loaded;
  }
  if (verbose) {
    driver::print_line(
        out, "\nFile Moved As: " + job.source_display() + "---" + job.destination_display() + "\n");
  }
  driver::print_line(out, kFileReadComplete);
  return job.move_to_backup() ? FileEnd::moved : FileEnd::not_moved;
}

}  // namespace qx::records
