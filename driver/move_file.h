// Moving a loaded file into the backup directory: rename, replacing a file
// of that name; where rename cannot cross file systems, copy (replacing),
// flush, then remove the input file.
#pragma once

#include <filesystem>

#include "driver/env.h"

namespace qx::driver {

// Moves `from` to `to`. A failure names the step that failed in its reason
// ("copy failed: ..."). After a failure `from` is still in place (when only
// its removal failed, the copy is at `to` as well).
IoResult move_file(Env& env, const std::filesystem::path& from, const std::filesystem::path& to);

}  // namespace qx::driver
