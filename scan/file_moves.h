// The backup and the failed directories, as the loop uses them: moving a
// loaded file into the backup directory (loaded_move.h), setting a file
// aside into the failed directory (FailedFilePolicy), and making good what
// interrupted or failed moves leave behind.
//
// A move that fails is printed with the file's name and the reason, and
// raises the backup alarm (alarm.h): each file is named when its move
// starts to fail, the failure is recalled at the reminder interval, and it
// is cleared ("works again") once a loaded file reaches the backup
// directory and no other file's move still fails. The load history says
// such a file was loaded, so later scans only retry its move. Nothing is
// moved while the database does not keep what it stores (DatabaseWatch).
#pragma once

#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "os/env.h"
#include "scan/alarm.h"
#include "scan/database_watch.h"
#include "scan/failed_file_policy.h"

namespace qx::scan {

// `path` taken against the Env's current directory when it is relative.
// Throws std::filesystem::filesystem_error for an empty path.
std::filesystem::path absolute_in(os::Env& env, const std::filesystem::path& path);

class FileMoves {
 public:
  // The directories as typed on the command line (printed paths keep that
  // form); they are made absolute against the Env's current directory, once.
  // `outlets` and `database` must outlive the moves.
  FileMoves(AlarmOutlets& outlets, DatabaseWatch& database, const std::string& input_as_typed,
            const std::string& backup_as_typed, FailedSettings failed);

  const std::filesystem::path& input_dir() const { return input_dir_; }

  // Moves the loaded file `name` (which held `node_read` and `bytes_read`
  // when it was read) into the backup directory, and says what became of
  // its name. A failure is printed as a failed move and returned; nothing
  // moves while the database's storage fails.
  [[nodiscard]] os::IoResult move_loaded(const std::string& name, const os::FileNode& node_read,
                                         const std::string& bytes_read);
  // Puts back under their names the files held aside by moves for want of
  // a free name (with those an earlier run left, `held`), once the names
  // are free, and returns to the input directory what a move took into the
  // backup directory in error and could not put back at once.
  void put_back_held_files(const std::vector<std::string>& held = {});
  // Forgets what it keeps of files that are no longer in the input
  // directory (`files` and `others` are the scan's listing): a file whose
  // move failed and that was taken away by hand no longer holds back the
  // end of the backup alarm. Then tells each name of the pattern that holds
  // no regular file (FailedFilePolicy::not_regular).
  void forget_all_but(const std::vector<os::DirectoryEntry>& files,
                      const std::vector<os::DirectoryEntry>& others);
  // Removes the temporaries that failed moves may have left in the backup
  // directory (when even their removal failed), until that succeeds.
  void remove_stale_temporaries();

  // The failed directory, for the file `file` of the input directory; see
  // FailedFilePolicy for each.
  [[nodiscard]] bool too_large(const os::DirectoryEntry& file, bool& moved, std::string& told) {
    return failed_.too_large(input_dir_, file, moved, told);
  }
  bool within_size(const os::DirectoryEntry& file) const { return failed_.within_size(file); }
  [[nodiscard]] bool count_attempt(const os::DirectoryEntry& file, const std::string& what) {
    return failed_.count_attempt(input_dir_, file, what);
  }
  [[nodiscard]] bool give_up(const os::DirectoryEntry& file, const std::string& what) {
    return failed_.give_up(input_dir_, file, what);
  }
  bool has_failed_directory() const { return failed_.enabled(); }

  // The paths of `name` in the input and backup directories, as typed.
  std::string source_display(const std::string& name) const;
  std::string backup_display(const std::string& name) const;

 private:
  // Prints a failed move and remembers that a temporary of it may be left.
  void report_failed_move(const std::string& name, const os::IoResult& failure);

  AlarmOutlets& outlets_;
  DatabaseWatch& database_;
  std::string input_as_typed_;
  std::string backup_as_typed_;
  std::filesystem::path input_dir_;
  std::filesystem::path backup_dir_;
  FailedFilePolicy failed_;
  Alarm backup_failure_;
  // Loaded files in the input directory whose move has failed and not yet
  // succeeded: the backup alarm is cleared only when none is left.
  std::set<std::string> moves_failing_;
  // Names whose move failed since the last sweep of temporaries.
  std::set<std::string> temporaries_to_remove_;
  // Names under whose hidden held name a move left a file.
  std::set<std::string> held_names_;
  // Backup names that may hold a file other than the loaded one, with the
  // loaded file's identity.
  std::map<std::string, os::FileNode> misplaced_;
};

}  // namespace qx::scan
