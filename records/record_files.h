// The steps the loaders that read a whole file before they write it (PNR
// and MIR) take alike around a file of a scan: reading it, and ending it
// once its load is over. "File Read Complete" closes every file either way.
//
// A file is moved only when its transaction committed; a file that cannot
// be read or was not loaded stays in the input directory for a later scan,
// with nothing of it stored.
#pragma once

#include <cstdio>
#include <string>

#include "driver/console.h"
#include "driver/scan_loop.h"
#include "records/record_load.h"

namespace qx::records {

inline constexpr const char* kFileReadComplete = "\nFile Read Complete. Waiting for Next File\n";

// Reads the whole file into `contents`. When it cannot be read, prints
// "Cannot open NAME: REASON; it stays for the next scan" and "File Read
// Complete", and returns false; the file stays where it is.
bool read_whole_file(driver::FileJob& job, std::string& contents, driver::Console console);

enum class FileEnd {
  not_loaded,  // left in the input directory for a later scan
  moved,
  not_moved,  // loaded, but its move failed (the scan loop retries it)
};

// Ends a file whose load gave `outcome`. A file that was not committed is
// reported with the reason and stays; a committed one is announced as
// "File Moved As: SOURCE---DESTINATION" with `verbose`, and moved into the
// backup directory after "File Read Complete".
FileEnd end_loaded_file(driver::FileJob& job, LoadOutcome outcome, bool verbose,
                        driver::Console console);

}  // namespace qx::records
