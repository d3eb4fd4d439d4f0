// Which files a scan takes, and in what order: regular files whose names end
// with the loader's extension in any case, in ascending order of their names
// folded to upper case (the order in which the loaders' original file system
// lists them). Whether a file is still being written is settle_check.h.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "os/env.h"

namespace qx::os {

bool matches_extension(std::string_view name, std::string_view extension);

// Fills `files` with the matching regular files of `dir` in scan order,
// and `others` (when given) with the matching entries that are anything
// else: symbolic links (not followed), directories, FIFOs, sockets,
// devices; and `held` (when given) with the matching names whose file a
// move holds under a hidden name beside them (loaded_move.h). After a
// failure (no such directory, no permission) all are empty.
IoResult list_input_files(Env& env, const std::filesystem::path& dir, std::string_view extension,
                          std::vector<DirectoryEntry>& files,
                          std::vector<DirectoryEntry>* others = nullptr,
                          std::vector<std::string>* held = nullptr);

}  // namespace qx::os
