#include "os/move_file.h"

#include <xxhash.h>

#include <climits>
#include <cstdio>
#include <functional>

namespace qx::os {
namespace {

constexpr const char* kRemovalFailed = "copied, but the input file could not be removed";

// Fills the temporary beside `to` through `fill`, flushes it, renames it
// into place and flushes the directory. A temporary left by a failed step
// is removed; a failed removal is not reported over the step's own failure.
IoResult place_through_temporary(Env& env, const std::filesystem::path& to,
                                 const std::function<IoResult(const std::filesystem::path&)>& fill,
                                 const char* fill_step) {
  const std::filesystem::path temporary = temporary_path(to);
  auto failed = [&](const IoResult& step, const char* what) {
    // A temporary that stays is swept by a later scan; the step's own
    // failure is the one to tell.
    static_cast<void>(env.remove_file(temporary));
    return IoResult::failure(step.error(), what);
  };
  IoResult filled = fill(temporary);
  if (!filled.ok()) return failed(filled, fill_step);
  IoResult synced = env.sync_file(temporary);
  if (!synced.ok()) return failed(synced, "flush failed");
  IoResult renamed = env.rename_file(temporary, to);
  if (!renamed.ok()) return failed(renamed, "rename into place failed");
  IoResult directory_synced = env.sync_file(to.parent_path());
  if (!directory_synced.ok()) {
    return IoResult::failure(directory_synced.error(), "flush of the backup directory failed");
  }
  return IoResult::success();
}

}  // namespace

std::filesystem::path hidden_path(const std::filesystem::path& beside, std::string_view suffix) {
  const std::string name = beside.filename().string();
  std::string hidden = "." + name + std::string(suffix);
  if (hidden.size() <= NAME_MAX) return beside.parent_path() / hidden;
  // The name's start keeps it recognisable; the digest of the whole name
  // keeps two long names that start alike apart.
  char digest[17];
  std::snprintf(digest, sizeof digest, "%016llx",
                static_cast<unsigned long long>(XXH3_64bits(name.data(), name.size())));
  const std::size_t kept = NAME_MAX - 1 - 1 - 16 - suffix.size();
  return beside.parent_path() / ("." + name.substr(0, kept) + "~" + digest + std::string(suffix));
}

std::filesystem::path temporary_path(const std::filesystem::path& to) {
  return hidden_path(to, ".partial");
}

IoResult move_file(Env& env, const std::filesystem::path& from, const std::filesystem::path& to) {
  IoResult renamed = env.rename_file(from, to);
  if (renamed.ok()) return renamed;
  if (renamed.error() != std::errc::cross_device_link) {
    return IoResult::failure(renamed.error(), "rename failed");
  }
  IoResult placed = place_through_temporary(
      env, to,
      [&](const std::filesystem::path& temporary) { return env.copy_file(from, temporary); },
      "copy failed");
  if (!placed.ok()) return placed;
  IoResult removed = env.remove_file(from);
  if (!removed.ok()) {
    return IoResult::failure(removed.error(), kRemovalFailed);
  }
  return IoResult::success();
}

bool copied_before_failure(const IoResult& failed_move) {
  return !failed_move.ok() && failed_move.context() == kRemovalFailed;
}

IoResult store_file(Env& env, std::string_view contents, const std::filesystem::path& to,
                    std::optional<std::filesystem::perms> permissions) {
  return place_through_temporary(
      env, to,
      [&](const std::filesystem::path& temporary) {
        IoResult written = env.write_file(temporary, contents);
        if (!written.ok() || !permissions) return written;
        std::error_code error;
        std::filesystem::permissions(temporary, *permissions, error);
        return error ? IoResult::failure(error) : IoResult::success();
      },
      "write failed");
}

}  // namespace qx::os
