// Moving a loaded file into the backup directory: rename, replacing a file
// of that name; where rename cannot cross file systems, copy (replacing),
// flush, then remove the input file.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "driver/env.h"

namespace qx::driver {

// Moves `from` to `to`. Returns nothing on success, otherwise why the move
// failed, for a person to read. After a failure `from` is still in place
// (when only its removal failed, the copy is at `to` as well).
std::optional<std::string> move_file(Env& env, const std::filesystem::path& from,
                                     const std::filesystem::path& to);

}  // namespace qx::driver
