// Putting a loaded file into the backup directory, whole or not at all.
// Within one file system a rename does it. Across file systems the file is
// copied to a temporary name beside its destination, flushed, renamed into
// place and the directory flushed, and only then is the input file removed,
// so that a power cut or a full disk never leaves a partial file under the
// destination's name, nor loses the file. The same way stores bytes held in
// memory: a loaded file's bytes (loaded_move.h), a failed file's reason.
#pragma once

#include <filesystem>
#include <optional>
#include <string_view>

#include "os/env.h"

namespace qx::os {

// Moves `from` to `to`, replacing a file at `to`. A failure names the step
// that failed in its reason ("copy failed: ..."). After a failure `from` is
// still in place (when only its removal failed, the copy is at `to` as
// well) and no temporary file is left, unless removing it failed too.
IoResult move_file(Env& env, const std::filesystem::path& from, const std::filesystem::path& to);

// Whether the failure of a move_file left the whole file at its destination
// too: only the removal of the input file failed.
bool copied_before_failure(const IoResult& failed_move);

// Writes `contents` to `to`, replacing a file there, through a temporary
// name as above; with `permissions`, the file has exactly those before it
// takes its name (the umask leaves them alone). After a failure `to` is as
// it was (or already holds `contents` when only the directory's flush
// failed).
IoResult store_file(Env& env, std::string_view contents, const std::filesystem::path& to,
                    std::optional<std::filesystem::perms> permissions = std::nullopt);

// A hidden name beside `beside`, ending in `suffix` so that no loader's
// pattern takes it, and within the file system's name limit whatever the
// name's length: ".NAME" + suffix, or for a name too long for that its
// start and a digest of the whole name.
std::filesystem::path hidden_path(const std::filesystem::path& beside, std::string_view suffix);

// The temporary name beside `to`: hidden_path with ".partial".
std::filesystem::path temporary_path(const std::filesystem::path& to);

}  // namespace qx::os
