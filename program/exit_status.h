// The exit statuses of the loader programs, as the README documents them.
// A program that runs until stopped exits 0; a single scan (--once) and a
// check (--check) exit 0 only when nothing was left undone.
#pragma once

namespace qx::program {

enum ExitStatus : int {
  kExitDone = 0,
  kExitUsage = 2,             // a command line the program cannot run with
  kExitNoDatabase = 3,        // no connection, or the schema lacks tables
  kExitInputUnreadable = 4,   // the input directory cannot be read
  kExitFilesLeft = 5,         // files found but not loaded and moved
  kExitBackupUnwritable = 6,  // the backup directory cannot be written (--check)
  kExitFilesFailed = 7,       // every file done, but some set aside as failed (--once)
};

}  // namespace qx::program
