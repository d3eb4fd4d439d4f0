// What --check does: everything a loader needs before it can load, checked
// once, with nothing loaded and nothing moved: the input directory can be
// read; the backup directory, the failed directory (or, while it is
// missing, the directory the loader creates it in) and the directories of
// the event log and the metrics file can be written; the database answers,
// has the program's tables, and lets the loader's role read, insert and
// update them and draw its keys. Each problem is printed as one line saying
// what to do; "OK" when there is none, that is when a load would not fail
// for the configuration.
#pragma once

#include <string>

#include "db/session.h"
#include "db/target.h"
#include "os/console.h"
#include "os/env.h"
#include "program/exit_status.h"

namespace qx::program {

struct CheckedPlaces {
  std::string input_dir;   // as typed
  std::string backup_dir;  // as typed
  // Empty when not configured.
  std::string failed_dir;
  std::string log_file;
  std::string metrics_file;
};

// `session` has been asked to connect; `connected` is what it answered.
// Returns the exit status of the first problem found, or kExitDone.
ExitStatus check_program(os::Env& env, const CheckedPlaces& places, db::Session& session,
                         const db::Status& connected, const db::Target& target,
                         const std::string& program, os::Console console);

}  // namespace qx::program
