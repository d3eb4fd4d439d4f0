// One file of a scan, as its loader sees it: claimed by this process and
// read by the loop before the handler is given it, and able to move itself
// into the backup or the failed directory (through the loop's FileMoves)
// and to tell the database's answer to its work (through DatabaseWatch).
// The loop builds a job for each settled file, takes and claims it
// (file_claims.h), hands it over, and reports what became of it
// (scan_reporting.h); a job lives no longer than the scan that made it.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "history/file_identity.h"
#include "history/load_history.h"
#include "os/env.h"
#include "scan/file_report.h"

namespace qx::scan {

class DatabaseWatch;
class FileMoves;

class FileJob {
 public:
  // `moves` and `database` (the loop's) and `entry` (the scan's listing)
  // must outlive the job.
  FileJob(FileMoves& moves, DatabaseWatch& database, const os::DirectoryEntry& entry,
          std::chrono::steady_clock::time_point began)
      : moves_(moves), database_(database), entry_(entry), name_(entry.name), began_(began) {}

  // The name alone, as the directory holds it.
  const std::string& name() const { return name_; }
  // The whole file, as the loop read it. After a failure `contents` is
  // empty and the file stays where it is, for the next scan.
  os::IoResult read(std::string& contents);
  // Puts the loaded file into the backup directory. When the name still
  // holds the file that was read, the file is moved; when it now holds
  // another file (or none), the bytes that were read are written to the
  // backup directory instead, and the other file is left for the next scan.
  // A failure is printed with the file's name and the reason; the load
  // history says the file was loaded, so later scans only retry its move.
  // Returns whether the file left the input directory for the backup
  // directory.
  bool move_to_backup();
  // After move_to_backup: whether the loaded bytes are in the backup
  // directory, also when only the removal of the input file failed.
  bool copied_to_backup() const { return copied_; }
  // The move's source and destination in the form typed on the command line.
  std::string source_display() const;
  std::string destination_display() const;

  // Whether a failed read is to be told now: it just started failing, or
  // the failure has lasted a reminder interval since it was last told.
  bool tell_read_failure() const { return tell_read_failure_; }

  // The load history of the loop, or nullptr when it keeps none; then
  // identity() and progress() mean nothing.
  history::LoadHistory* history() const { return history_; }
  const history::FileIdentity& identity() const { return identity_; }
  // How far the file got in earlier runs: new, or part-way (AIR).
  const history::LoadProgress& progress() const { return progress_; }
  history::HistoryEntry history_entry() const { return {history_, &identity_, &progress_}; }

  // What became of the file, for the loop's observer: the handler adds its
  // key, lines, rows and, for a file that waits, why.
  FileReport& report() { return report_; }
  const FileReport& report() const { return report_; }
  // Counts a load of this file that its own data ended (failed_files.h);
  // at the last allowed attempt, with a failed directory, the file is moved
  // there with `what` as its reason. Returns whether it was moved. A file
  // moved is reported as failed, for `reason`, with `what`.
  bool count_failed_load(FileReport::SetAside reason, const std::string& what);
  // Moves the file into the failed directory at once, with `what` as its
  // reason; false when there is none (the file stays) or the move failed.
  // A file moved is reported as failed, for `reason`, with `what`.
  bool move_to_failed(FileReport::SetAside reason, const std::string& what);
  bool has_failed_directory() const;
  // Tells at once, from the report, whether the database took the file's
  // work: a refusal that begins, or one that ends. A handler of batches
  // calls it as each file ends, so that these lines come where one file at
  // a time puts them; the loop's own telling after the batch then adds
  // nothing.
  void tell_database_outcome();

  // What the loop does with the job before and after its handler.
  const os::DirectoryEntry& entry() const { return entry_; }
  std::chrono::steady_clock::time_point began() const { return began_; }
  // Locks the file at `path` (the lock is held while the job lives).
  os::IoResult lock(os::Env& env, const std::filesystem::path& path) {
    return env.lock_file(path, lock_);
  }
  // Reads the whole file at `path`, through its lock when it holds one;
  // read() hands the result over.
  const os::IoResult& read_whole(os::Env& env, const std::filesystem::path& path) {
    read_result_ = lock_ ? env.read_locked(*lock_, path, bytes_read_, node_read_)
                         : env.read_file(path, bytes_read_, node_read_);
    return read_result_;
  }
  // Whether the bytes read came from another file than the one locked (the
  // name was given to a new file in between).
  bool read_other_than_locked() const {
    return read_result_.ok() && lock_ && !lock_->node.same_inode(node_read_);
  }
  const os::IoResult& read_result() const { return read_result_; }
  const std::string& bytes_read() const { return bytes_read_; }
  const os::FileNode& node_read() const { return node_read_; }
  void set_tell_read_failure(bool tell) { tell_read_failure_ = tell; }
  // Names the file's identity for the history's claim.
  void identify(history::FileIdentity identity) { identity_ = std::move(identity); }
  // The history's claim gave the file to this process, with `progress`.
  void claimed(history::LoadHistory& history, const history::LoadProgress& progress);
  // Takes the key the claim drew for the file (0 when it drew none): the
  // file's load then draws its own.
  std::int64_t take_drawn_key() { return std::exchange(progress_.drawn_key, 0); }

  // Work a handler did on the file ahead of its turn
  // (FileHandler::prepare_ahead), kept with the job for the handler alone.
  struct Prepared {
    virtual ~Prepared() = default;
  };
  void set_prepared(std::unique_ptr<Prepared> prepared) { prepared_ = std::move(prepared); }
  Prepared* prepared() const { return prepared_.get(); }
  // Whether the file left the input directory (for the backup directory or
  // the failed one).
  bool moved() const { return moved_; }
  // The loop set the file aside into the failed directory for `reason`.
  void note_set_aside(FileReport::SetAside reason, const std::string& what);
  // Set when the file went into the failed directory: its report says so,
  // whatever the handler wrote into it afterwards.
  const std::optional<FileReport::SetAside>& set_aside() const { return set_aside_; }
  const std::string& set_aside_why() const { return set_aside_why_; }

 private:
  FileMoves& moves_;
  DatabaseWatch& database_;
  const os::DirectoryEntry& entry_;
  std::string name_;
  std::chrono::steady_clock::time_point began_;
  std::unique_ptr<os::FileLock> lock_;
  bool moved_ = false;
  bool copied_ = false;
  os::IoResult read_result_ = os::IoResult::success();
  bool tell_read_failure_ = true;
  std::string bytes_read_;
  os::FileNode node_read_;
  history::LoadHistory* history_ = nullptr;
  history::FileIdentity identity_;
  history::LoadProgress progress_;
  FileReport report_;
  std::optional<FileReport::SetAside> set_aside_;
  std::string set_aside_why_;
  std::unique_ptr<Prepared> prepared_;
};

}  // namespace qx::scan
