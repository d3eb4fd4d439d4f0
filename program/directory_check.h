// The start-up check of the two directories a loader is given: a backup
// directory that is the input directory itself, under whatever path it was
// typed (a symbolic link, "..", relative to the current directory), would
// leave every loaded file where the next scan finds it again. A backup
// directory inside the input directory is fine: scans do not descend.
#pragma once

#include <optional>
#include <string>

#include "os/env.h"

namespace qx::program {

// The line that refuses the two directories when they are one directory
// (the same device and inode), or nothing. A directory that cannot be
// looked at (missing, no permission) is not refused here: the scans report
// it.
// The line that refuses an input or backup directory typed as an empty
// name (no directory can be made of it), or nothing.
std::optional<std::string> empty_directory_refusal(const std::string& input_as_typed,
                                                   const std::string& backup_as_typed);

std::optional<std::string> same_directory_refusal(os::Env& env, const std::string& input_as_typed,
                                                  const std::string& backup_as_typed);

}  // namespace qx::program
