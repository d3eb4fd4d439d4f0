// Files that cannot be loaded: a file too large to read, one that cannot
// be read, one that holds no record the loader knows, one whose load was
// refused for its own data again and again, and a name of the pattern that
// holds no regular file (a symbolic link, a directory, a FIFO, ...). Without a failed directory
// such files stay in the input directory (a file too large is told once);
// with one they are moved there, by the same safe move as the backup, with
// a text NAME.reason beside them that says what failed, when, and after
// how many attempts.
//
// Attempts are counted in this process's memory, per file: its name, size
// and modification time, so that a file dropped again (changed) starts
// afresh. A restart starts every count again. Only failures that are the
// file's own count: a read that fails, or a load ended by a refusal of the
// file's own data (a commit refused by a deferred constraint). A database
// that fails (a lost connection, a full or read-only database, a missing
// table) never counts, as the file is not at fault.
#pragma once

#include <cstdint>
#include <ctime>
#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "os/console.h"
#include "os/env.h"

namespace qx::scan {

struct FailedSettings {
  // As typed on the command line; empty for none.
  std::string dir_as_typed;
  int max_attempts = 3;
  // A file larger than this is not read.
  std::uint64_t max_file_size = UINT64_MAX;
};

class FailedFilePolicy {
 public:
  // Makes the failed directory absolute against the Env's current directory.
  FailedFilePolicy(os::Env& env, FailedSettings settings, os::Console console);

  bool enabled() const { return !settings_.dir_as_typed.empty(); }
  // Whether the file is small enough to be read (too_large() tells the rest).
  bool within_size(const os::DirectoryEntry& file) const {
    return file.size <= settings_.max_file_size;
  }
  const FailedSettings& settings() const { return settings_; }

  // Whether the file is too large to read. The first time a file (name,
  // size, modification time) is found too large it is told, and moved to
  // the failed directory when there is one; `moved` says whether it went,
  // and `told` is what was said of it then (empty when it was told
  // earlier).
  bool too_large(const std::filesystem::path& input_dir, const os::DirectoryEntry& file,
                 bool& moved, std::string& told);

  // Counts one failed attempt at `file`. When the attempts reach the
  // maximum and there is a failed directory, the file is moved there with
  // `what` as its reason; returns whether it was moved. Without a failed
  // directory nothing is counted and nothing moves.
  bool count_attempt(const std::filesystem::path& input_dir, const os::DirectoryEntry& file,
                     const std::string& what);

  // Moves the file there at once, when there is a failed directory.
  bool give_up(const std::filesystem::path& input_dir, const os::DirectoryEntry& file,
               const std::string& what, int attempts = 1);

  // A name of the pattern that holds no regular file is never read. It is
  // told the first time it is found (by name and type, and again only after
  // it left the directory); with a failed directory a symbolic link is moved
  // there as the link it is (renamed: never followed, never copied), while
  // anything else stays where it is. Returns whether it was moved.
  bool not_regular(const std::filesystem::path& input_dir, const os::DirectoryEntry& entry);

  // Forgets every file that is not among `files` and `others` (the regular
  // files and the other entries of a scan), so that what is remembered
  // never outgrows the input directory.
  void forget_all_but(const std::vector<os::DirectoryEntry>& files,
                      const std::vector<os::DirectoryEntry>& others = {});

  // The text of NAME.reason; `when` is a local time as local_time() gives
  // it, printed with its offset from UTC ("2026-03-01 10:15:02 +0100").
  static std::string reason_text(const std::string& name, const std::string& what,
                                 const std::tm& when, int attempts);

 private:
  using Key = std::tuple<std::string, std::uintmax_t, std::chrono::system_clock::time_point>;
  static Key key_of(const os::DirectoryEntry& file) {
    return {file.name, file.size, file.modified};
  }

  os::Env& env_;
  FailedSettings settings_;
  os::Console console_;
  std::filesystem::path dir_;
  std::map<Key, int> attempts_;
  std::map<Key, bool> told_too_large_;
  std::set<std::pair<std::string, os::EntryType>> told_not_regular_;
};

// The line that refuses a failed directory that is the input directory
// (by any path), or nothing; see directory_check.h.
std::optional<std::string> failed_directory_refusal(os::Env& env, const std::string& input_as_typed,
                                                    const std::string& failed_as_typed);

}  // namespace qx::scan
