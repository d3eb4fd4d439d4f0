// Which files a scan takes, and in what order: regular files whose names end
// with the loader's extension in any case, in ascending order of their names
// folded to upper case (the order in which the loaders' original file system
// lists them). Whether a file is still being written is settle_check.h.
#pragma once

#include <filesystem>
#include <string_view>
#include <vector>

#include "driver/env.h"

namespace qx::driver {

bool matches_extension(std::string_view name, std::string_view extension);

// Fills `files` with the matching files of `dir` in scan order. After a
// failure (no such directory, no permission) `files` is empty.
IoResult list_input_files(Env& env, const std::filesystem::path& dir, std::string_view extension,
                          std::vector<DirectoryEntry>& files);

}  // namespace qx::driver
