// The life every loader shares once it has started: scan the input
// directory, hand each file to the loader, move what was loaded into the
// backup directory, pause, and begin again, until stopped.
//
// What the loop guarantees, whatever the file handler does:
//   - each scan first connects again if the connection is missing, and
//     without a connection no file is opened or moved;
//   - files are taken in scan order (directory_scan.h), and a file still
//     being written (settle check) is left for a later scan;
//   - each file is claimed before it is read (an exclusive lock, and with a
//     load history, load_history.h, the history's claim and lookup): a file
//     another instance is loading is left alone, and a file the history
//     holds as loaded is only moved (by this process or any other, after
//     any restart);
//   - for a handler that takes batches, the settled files of a backlog are
//     locked and read up to the batch limits, claimed together, and handed
//     over as one batch; files moved only (loaded earlier) follow it;
//   - what reaches the backup directory is the file that was loaded: a name
//     that now holds another file gets the loaded bytes, and the other file
//     waits for the next scan;
//   - an input directory that cannot be read is reported at each scan, and
//     no other directory is scanned in its place;
//   - a stop request (stop_signal.h) ends the loop after the file (or the
//     batch of files, ScanSettings::batch) in hand.
#pragma once

#include <chrono>
#include <ctime>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "db/session.h"
#include "history/file_identity.h"
#include "history/load_history.h"
#include "os/console.h"
#include "os/env.h"
#include "os/settle_check.h"
#include "scan/batch_limits.h"
#include "scan/failed_file_policy.h"
#include "scan/faulted_files.h"
#include "scan/file_report.h"
#include "scan/ongoing_failure.h"
#include "scan/scan_observer.h"

namespace qx::scan {

struct ScanSettings {
  // As typed on the command line; printed paths keep this form.
  std::string input_dir_as_typed;
  std::string backup_dir_as_typed;
  std::string pattern;  // "*.air": names ending in the part after "*", in any case
  std::chrono::milliseconds pause{0};
  std::chrono::milliseconds settle{0};
  bool once = false;
  // The program's connect just before the loop starts failed and it has
  // said so: the first scan does not try again at once (it counts the
  // failure as begun, so that a later connect tells its end).
  bool connect_tried_at_start = false;
  // Files per transaction for a handler that takes batches.
  BatchLimits batch = {};
  // A scan that finds no file prints neither its scanning line nor the
  // handler's line for an empty scan.
  bool quiet_idle = false;
};

class ScanLoop;

// What one scan did, for the exit status of a single scan (--once).
struct ScanOutcome {
  bool connected = true;
  bool input_readable = true;
  int files_found = 0;   // files of the pattern in the input directory
  int files_done = 0;    // of those, loaded (now or earlier) and moved, or set aside
  int files_failed = 0;  // of those done, set aside into the failed directory
  bool all_done() const { return connected && input_readable && files_done == files_found; }
};

// One file of a scan, as the loader sees it: claimed by this process and
// read by the loop before the handler is given it.
class FileJob {
 public:
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

 private:
  friend class ScanLoop;
  FileJob(ScanLoop& loop, const os::DirectoryEntry& entry)
      : loop_(loop), entry_(entry), name_(entry.name) {}
  ScanLoop& loop_;
  const os::DirectoryEntry& entry_;
  std::string name_;
  std::unique_ptr<os::FileLock> lock_;
  std::chrono::steady_clock::time_point began_;
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
  // Set when the file went into the failed directory: its report says so,
  // whatever the handler wrote into it afterwards.
  std::optional<FileReport::SetAside> set_aside_;
  std::string set_aside_why_;
  void note_set_aside(FileReport::SetAside reason, const std::string& what);
};

// What a loader program contributes to the loop: how it takes one file of
// a scan.
class FileHandler {
 public:
  virtual ~FileHandler() = default;
  virtual db::Session& session() = 0;
  // Prints a database failure through the loader's own error printer.
  virtual void report_sql_error(const db::Status& status) = 0;
  // Loads one file (reading it through the job) and moves it if it should
  // go; its own progress lines, in its own order.
  virtual void handle_file(FileJob& job) = 0;
  // Whether the handler loads several files in one transaction; the loop
  // then hands it the settled files of a backlog a batch at a time (within
  // ScanSettings::batch).
  virtual bool takes_batches() const { return false; }
  // Loads `jobs` (claimed and read, in scan order) so that each ends as
  // handle_file would have ended it, and moves those that go, in order.
  // Returns how many of them, from the first, it handled: the rest wait for
  // a later scan, as the files after a lost connection do.
  virtual std::size_t handle_batch(std::span<FileJob* const> jobs) {
    for (FileJob* job : jobs) handle_file(*job);
    return jobs.size();
  }
  // Called at the end of a scan in which no file was handled.
  virtual void on_scan_without_files() = 0;
  // The sequence of the one key a file's load draws, when it draws exactly
  // one (the claim may draw it in the same round trip); empty otherwise.
  virtual std::string_view file_key_sequence() const { return {}; }
};

class ScanLoop {
 public:
  // Makes both directories absolute against the current directory, once.
  // With `history` (which must outlive the loop) files are claimed and
  // looked up in it before they are handled. `failed` says which files are
  // too large to read and where files that cannot be loaded go.
  ScanLoop(os::Env& env, FileHandler& handler, ScanSettings settings, os::Console console,
           history::LoadHistory* history = nullptr, FailedSettings failed = {});

  // Scans until a stop is requested, or once with `once` set. Returns what
  // the last scan did.
  ScanOutcome run();
  // One scan, without the pause after it.
  ScanOutcome scan();

  // Tells `observer` (which must outlive the loop) of every file done,
  // scan done and failure begun or ended from now on.
  void observe(ScanObserver& observer) { observer_ = &observer; }

 private:
  friend class FileJob;
  // What became of a file before its handler was asked.
  enum class JobStep {
    to_claim,        // read, with a history: to be claimed before it is handled
    to_handle,       // claimed and read (or not: the handler reports that)
    loaded_earlier,  // the history holds it as loaded: only to be moved
    done,            // loaded earlier: moved now, or its move reported
    skipped,         // another instance has it, or the history could not be read
    stop_scan,       // the database cannot answer: the rest waits for a later scan
  };

  // Claimed, read files waiting to be handed over together.
  struct Batch {
    std::vector<std::unique_ptr<FileJob>> jobs;
    std::uint64_t bytes = 0;
    bool full(const BatchLimits& limits) const;
  };

  ScanOutcome scan_files();
  // Claims the batch's files together: those another instance has leave
  // the batch, those loaded earlier go to `earlier`. False (said, and the
  // batch emptied: its files wait) when the history could not be read.
  bool claim_batch(Batch& batch, std::vector<std::unique_ptr<FileJob>>& earlier);
  // Claims the batch's files, hands them to the handler, moves those loaded
  // earlier, and settles each; false when the rest of the scan waits
  // (scan_goes_on). Counts the files taken into `handled`.
  bool run_batch(Batch& batch, ScanOutcome& outcome, int& handled);
  // Counts the file's outcome, tells the observer and, with `release`,
  // gives its claim up.
  void finish_job(FileJob& job, JobStep prepared, ScanOutcome& outcome, bool release = true);
  // False when the rest of the scan waits: the connection was lost, or the
  // database refuses work that is not the file's fault.
  bool scan_goes_on(const FileJob& job, ScanOutcome& outcome);
  // Completes the file's report after its handler and tells the observer.
  void report_file(FileJob& job, JobStep prepared, std::chrono::steady_clock::time_point began);
  // The one report of a file too large to read, when it is first found:
  // failed when it was moved into the failed directory, waiting otherwise.
  void report_too_large(const std::string& name, bool moved, const std::string& why);
  void report_scan(const ScanOutcome& outcome);
  bool ensure_connected();
  // Asks an open connection one question, in a scan that found no file, so
  // that an idle loader notices a server that went away as a busy one does
  // (and the observers' database state follows it); the question leaves no
  // transaction open. False when the connection is lost and cannot be made
  // again.
  bool still_connected();
  // Says when reading the input directory starts failing, reminds while it
  // fails, and says when it works again.
  void note_input_directory(const os::IoResult& listed);
  // Claims and reads the file and, with a history, looks it up.
  JobStep prepare(FileJob& job);
  // Locks and reads the file, and names its identity for the claim.
  JobStep take(FileJob& job);
  // What the history's claim makes of the file.
  JobStep after_claim(FileJob& job, history::Claim claim);
  // The history could not be read: said once and at the reminder interval.
  void report_unreadable_history(const FileJob& job, const db::Status& status);
  JobStep move_loaded_earlier(FileJob& job);
  // Moves a loaded file (loaded_move.h) and says what became of its name;
  // a failure is printed as a failed move. Moves nothing while the
  // database's storage fails (storage_intact).
  os::IoResult move_loaded(const std::string& name, const os::FileNode& node_read,
                           const std::string& bytes_read);
  // Whether the database keeps what it stores; says when that starts to
  // fail, at the reminder interval, and when it holds again.
  bool storage_intact();
  // Puts back under their names the files held aside by moves for want of
  // a free name, once the names are free, and returns to the input
  // directory what a move took into the backup directory in error and
  // could not put back at once.
  void put_back_held_files();
  // Prints a failed move and remembers that a temporary of it may be left.
  void report_failed_move(const std::string& name, const os::IoResult& failure);
  // Notes that the loaded file `name` reached the backup directory; says
  // that moves work again once no file's move fails any more.
  void note_moved(const std::string& name);
  // Keeps the rhythm of a database that refuses work that is not the
  // files' fault; true when the file just handled met such a refusal, so
  // that the rest of the scan waits.
  bool note_database_refusal(const FileJob& job);
  // Tells the refusal when it starts and at the reminder interval; true
  // when it told it now.
  bool tell_refusal(const std::string& why);
  // Runs `handle` (a file or a batch handed to the handler) with its lines
  // held while the database refuses work and no reminder is due: refused
  // again (`refused_again`), they are dropped; otherwise printed.
  void quiet_while_refused(const std::function<void()>& handle,
                           const std::function<bool()>& refused_again);
  // Hands one file to the handler; an unexpected failure sets it aside.
  void handle_guarded(FileJob& job);
  // Hands a batch to the handler; after an unexpected failure the files it
  // did not move are handed over one by one through handle_guarded.
  // Returns how many of them, from the first, were handled.
  std::size_t handle_batch_guarded(std::span<FileJob* const> jobs);
  // Rolls back what the file's handling held, tells `what` went wrong, and
  // moves the file to the failed directory or holds it back (FaultedFiles).
  void set_aside_faulted(FileJob& job, const std::string& what);
  // Says why a file that has not settled is held back (settle_check.h).
  void tell_held_back(const os::DirectoryEntry& file, os::HeldBack held,
                      std::chrono::system_clock::time_point now);
  // Keeps the rhythm of a file that cannot be read: told when it starts,
  // recalled at the reminder interval, and said when it reads again.
  void note_read(FileJob& job);
  // Removes the temporaries that failed moves may have left in the backup
  // directory (when even their removal failed), until that succeeds.
  void remove_stale_temporaries();

  os::Env& env_;
  FileHandler& handler_;
  ScanSettings settings_;
  os::Console console_;
  bool skip_next_connect_;
  history::LoadHistory* history_;
  std::filesystem::path input_dir_;
  std::filesystem::path backup_dir_;
  std::string extension_;
  // Names whose move failed since the last sweep of temporaries.
  std::set<std::string> failed_moves_;
  // Loaded files in the input directory whose move has failed and not yet
  // succeeded: moving works again only when none is left.
  std::set<std::string> moves_failing_;
  os::SettleCheck settle_check_;
  FailedFilePolicy failed_;
  FaultedFiles faulted_;
  OngoingFailure database_failure_;
  OngoingFailure input_failure_;
  OngoingFailure backup_failure_;
  OngoingFailure refusal_failure_;
  OngoingFailure storage_failure_;
  // Names under whose hidden held name a move left a file.
  std::set<std::string> held_names_;
  // Backup names that may hold a file other than the loaded one, with the
  // loaded file's identity.
  std::map<std::string, os::FileNode> misplaced_;
  // Files that cannot be read, by name, while they are in the directory.
  std::map<std::string, OngoingFailure> unreadable_;

  ScanObserver* observer_ = nullptr;
  // For the observer: the files of the scan in hand and those of them done.
  std::vector<os::DirectoryEntry> scanned_;
  std::set<std::string> done_;
  // Failures begun and not yet ended, as the observer was told: failed
  // moves, and files waiting for a reason of their own, by name.
  std::optional<std::chrono::system_clock::time_point> backup_failing_since_;
  std::map<std::string, std::chrono::system_clock::time_point> files_failing_;
  // For the waiting age: when the loop first saw each file that waits.
  std::map<std::string, std::chrono::system_clock::time_point> waiting_since_;
};

// The operator's line about a database that cannot be connected to: the
// whole reason (host, socket or file), how long it has lasted, and what to
// check.
std::string database_failure_line(const db::Session& session, const db::Status& status,
                                  std::chrono::seconds lasted = std::chrono::seconds(0));

}  // namespace qx::scan
