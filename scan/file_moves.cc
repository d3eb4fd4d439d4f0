#include "scan/file_moves.h"

#include <algorithm>
#include <iterator>
#include <utility>

#include "os/loaded_move.h"
#include "os/move_file.h"
#include "os/shown_name.h"

namespace qx::scan {
namespace fs = std::filesystem;

namespace {

// Printed paths join the directory as typed and the name with the
// platform's separator.
std::string display_path(const std::string& dir_as_typed, const std::string& name) {
  return (fs::path(dir_as_typed) / os::shown_name(name)).string();
}

}  // namespace

fs::path absolute_in(os::Env& env, const fs::path& path) {
  // An empty path names no directory: it is refused as the standard
  // library refuses it, never taken to be the current directory.
  if (path.empty()) {
    throw fs::filesystem_error("cannot make absolute path", path,
                               std::make_error_code(std::errc::invalid_argument));
  }
  return path.is_absolute() ? path : env.current_directory() / path;
}

FileMoves::FileMoves(AlarmOutlets& outlets, DatabaseWatch& database,
                     const std::string& input_as_typed, const std::string& backup_as_typed,
                     FailedSettings failed)
    : outlets_(outlets),
      database_(database),
      input_as_typed_(input_as_typed),
      backup_as_typed_(backup_as_typed),
      input_dir_(absolute_in(outlets.env, input_as_typed)),
      backup_dir_(absolute_in(outlets.env, backup_as_typed)),
      failed_(outlets.env, std::move(failed), outlets.console),
      backup_failure_(outlets, FailureKind::backup_move) {}

std::string FileMoves::source_display(const std::string& name) const {
  return display_path(input_as_typed_, name);
}

std::string FileMoves::backup_display(const std::string& name) const {
  return display_path(backup_as_typed_, name);
}

os::IoResult FileMoves::move_loaded(const std::string& name, const os::FileNode& node_read,
                                    const std::string& bytes_read) {
  if (!database_.storage_intact_since_commit()) {
    return os::IoResult::failure(std::make_error_code(std::errc::io_error),
                                 "the database does not keep what it stores");
  }
  const os::LoadedMove move = move_loaded_file(
      outlets_.env, {input_dir_ / name, backup_dir_ / name, node_read, bytes_read});
  if (move.held_aside) held_names_.insert(name);
  if (move.misplaced) misplaced_[name] = node_read;
  if (!move.result.ok()) {
    report_failed_move(name, move.result);
    return move.result;
  }
  const std::string backup = backup_display(name);
  if (move.other_file_waits) {
    outlets_.console.print("File " + os::shown_name(name) +
                               " was replaced while it was loaded: the bytes loaded are in " +
                               backup + ", the new file waits for the next scan\n",
                           os::Priority::warning);
  } else if (move.stored_from_memory) {
    outlets_.console.print("File " + os::shown_name(name) +
                               " was removed while it was loaded: the bytes loaded are in " +
                               backup + "\n",
                           os::Priority::warning);
  }
  moves_failing_.erase(name);
  if (moves_failing_.empty()) {
    backup_failure_.clear(backup_as_typed_,
                          "Moving into the backup directory " + backup_as_typed_ + " works again");
  }
  return move.result;
}

void FileMoves::report_failed_move(const std::string& name, const os::IoResult& failure) {
  temporaries_to_remove_.insert(name);
  // Each file is named when its move starts to fail, and the failure is
  // recalled every reminder interval, not for every file at every scan.
  const bool newly_failing = moves_failing_.insert(name).second;
  backup_failure_.raise(
      {.detail = backup_as_typed_ + ": " + name + ": " + failure.reason(),
       .headline = "File " + os::shown_name(name) + " was loaded but could not be moved to " +
                   backup_display(name) + ": " + failure.reason(),
       .advice = "it will not be loaded again, only its move retried",
       .lasted_as = "moves have failed for"},
      newly_failing);
}

void FileMoves::put_back_held_files(const std::vector<std::string>& held) {
  held_names_.insert(held.begin(), held.end());
  std::erase_if(misplaced_, [&](const auto& entry) {
    bool held_now = false;
    const bool settled = return_misplaced(
        outlets_.env, {input_dir_ / entry.first, backup_dir_ / entry.first, entry.second, {}},
        held_now);
    if (held_now) held_names_.insert(entry.first);
    return settled;
  });
  std::erase_if(held_names_, [&](const std::string& name) {
    return put_back_held(outlets_.env, input_dir_ / name);
  });
}

void FileMoves::forget_all_but(const std::vector<os::DirectoryEntry>& files,
                               const std::vector<os::DirectoryEntry>& others) {
  failed_.forget_all_but(files, others);
  for (const os::DirectoryEntry& other : others) {
    // Told (and, with a failed directory, a link moved there) by the policy;
    // whether it went changes nothing for this scan.
    static_cast<void>(failed_.not_regular(input_dir_, other));
  }
  std::erase_if(moves_failing_, [&](const std::string& name) {
    return std::none_of(files.begin(), files.end(),
                        [&](const os::DirectoryEntry& file) { return file.name == name; });
  });
}

void FileMoves::remove_stale_temporaries() {
  for (auto it = temporaries_to_remove_.begin(); it != temporaries_to_remove_.end();) {
    os::IoResult removed = outlets_.env.remove_file(os::temporary_path(backup_dir_ / *it));
    bool gone = removed.ok() || removed.error() == std::errc::no_such_file_or_directory;
    it = gone ? temporaries_to_remove_.erase(it) : std::next(it);
  }
}

}  // namespace qx::scan
