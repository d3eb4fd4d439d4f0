#include "records/record_files.h"

#include "driver/console.h"

namespace qx::records {

bool read_whole_file(driver::FileJob& job, std::string& contents, driver::Console console) {
  driver::IoResult read = job.read(contents);
  if (read.ok()) return true;
  console.print("Cannot open " + job.name() + ": " + read.reason() +
                "; it stays for the next scan\n");
  console.print(kFileReadComplete);
  return false;
}

FileEnd end_loaded_file(driver::FileJob& job, LoadOutcome outcome, bool verbose,
                        driver::Console console) {
  if (outcome != LoadOutcome::committed) {
    console.print("\nFile " + job.name() + " was not loaded: " + why_not_loaded(outcome) +
                  "; nothing of it was stored and it stays for a later scan\n");
    console.print(kFileReadComplete);
    return FileEnd::not_loaded;
  }
  if (verbose) {
    console.print("\nFile Moved As: " + job.source_display() + "---" + job.destination_display() +
                  "\n");
  }
  console.print(kFileReadComplete);
  return job.move_to_backup() ? FileEnd::moved : FileEnd::not_moved;
}

}  // namespace qx::records
