// What --check does: everything a loader needs before it can load, checked
// once, with nothing loaded and nothing moved: the input directory can be
// read, the backup directory can be written, the database answers and has
// the program's tables. Each problem is printed as one line saying what to
// do; "OK" when there is none.
#pragma once

#include <string>

#include "db/session.h"
#include "db/target.h"
#include "driver/console.h"
#include "driver/env.h"
#include "driver/exit_status.h"

namespace qx::driver {

struct CheckedPlaces {
  std::string input_dir;   // as typed
  std::string backup_dir;  // as typed
};

// `session` has been asked to connect; `connected` is what it answered.
// Returns the exit status of the first problem found, or kExitDone.
ExitStatus check_program(Env& env, const CheckedPlaces& places, db::Session& session,
                         const db::Status& connected, const db::Target& target,
                         const std::string& program, Console console);

}  // namespace qx::driver
