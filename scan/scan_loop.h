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
//     batch of files, ScanSettings::batch) in hand;
//   - while the server takes a full batch (its rows, its commit), the files
//     of the next one are locked and read one by one, and the handler may
//     cut and convert each (the server stores one batch while the loop
//     prepares the next); a file is still moved only after the commit that
//     stored it.
//
// The loop is the order of these steps; the machinery is in the pieces it
// is made of: DatabaseWatch (the connection, the storage, a refusal),
// FileClaims (claims and batches), FileMoves (the backup and the failed
// directories), ScanReporting (the observers), each telling its failures
// as alarms (alarm.h).
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "history/load_history.h"
#include "os/console.h"
#include "os/env.h"
#include "os/settle_check.h"
#include "scan/alarm.h"
#include "scan/batch_limits.h"
#include "scan/database_watch.h"
#include "scan/failed_file_policy.h"
#include "scan/faulted_files.h"
#include "scan/file_claims.h"
#include "scan/file_handler.h"
#include "scan/file_job.h"
#include "scan/file_moves.h"
#include "scan/file_report.h"
#include "scan/scan_observer.h"
#include "scan/scan_reporting.h"

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

class ScanLoop {
 public:
  // Makes both directories absolute against the Env's current directory,
  // once. With `history` (which must outlive the loop) files are claimed
  // and looked up in it before they are handled. `failed` says which files
  // are too large to read and where files that cannot be loaded go.
  ScanLoop(os::Env& env, FileHandler& handler, ScanSettings settings, os::Console console,
           history::LoadHistory* history = nullptr, FailedSettings failed = {});
  // The pieces hold references to the loop's outlets.
  ScanLoop(const ScanLoop&) = delete;
  ScanLoop& operator=(const ScanLoop&) = delete;

  // Scans until a stop is requested, or once with `once` set. Returns what
  // the last scan did.
  ScanOutcome run();
  // One scan, without the pause after it.
  ScanOutcome scan();

  // Tells `observer` (which must outlive the loop) of every file done,
  // scan done and failure begun or ended from now on.
  void observe(ScanObserver& observer) { outlets_.observer = &observer; }

 private:
  ScanOutcome scan_files();
  // Connects, prints the scanning line and lists the input directory
  // (regular files of the pattern into `files`, other names of it into
  // `others`; `idle` when it holds none). False when the scan ends there.
  bool list_files(ScanOutcome& outcome, std::vector<os::DirectoryEntry>& files,
                  std::vector<os::DirectoryEntry>& others, bool& idle);
  // Claims the batch's files, hands them to the handler, moves those loaded
  // earlier, and settles each; false when the rest of the scan waits
  // (scan_goes_on). Counts the files taken into `handled`.
  // `work_while_waiting` runs in steps while the server takes the batch
  // (Session::set_work_while_waiting).
  bool run_batch(Batch& batch, ScanOutcome& outcome, int& handled,
                 const std::function<bool()>& work_while_waiting = {});
  // The next batch, locked, read and worked on ahead while the batch
  // before waits on the server.
  struct WorkAhead {
    const std::vector<os::DirectoryEntry>& files;
    std::size_t next;                           // the first of `files` not taken
    std::chrono::system_clock::time_point now;  // the scan's time
    Batch batch;
    bool reading = true;      // more files may be taken
    bool preparing = true;    // the handler may work on the files taken
    std::size_t offered = 0;  // the files offered to the handler's work
  };
  // One step of the work ahead: the handler works on the file read last,
  // or one more file is read; false when nothing is left to do.
  bool step_ahead(WorkAhead& ahead);
  // Locks and reads the next of the files into the batch ahead, as far as
  // it passes the loop's checks with nothing to tell; false when it and
  // the files after it wait for the loop's turn, or the batch is full.
  bool read_one_ahead(WorkAhead& ahead);
  // Counts the file's outcome, tells the observer and, with `release`,
  // gives its claim up.
  void finish_job(FileJob& job, JobStep prepared, ScanOutcome& outcome, bool release = true);
  // False when the rest of the scan waits: the connection was lost, or the
  // database refuses work that is not the file's fault.
  bool scan_goes_on(const FileJob& job, ScanOutcome& outcome);
  // Says when reading the input directory starts failing, reminds while it
  // fails, and says when it works again.
  void note_input_directory(const os::IoResult& listed);
  JobStep move_loaded_earlier(FileJob& job);
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

  os::Env& env_;
  FileHandler& handler_;
  ScanSettings settings_;
  os::Console console_;
  std::string extension_;
  AlarmOutlets outlets_;
  DatabaseWatch database_;
  FileMoves moves_;
  FileClaims claims_;
  ScanReporting reporting_;
  Alarm input_failure_;
  os::SettleCheck settle_check_;
  FaultedFiles faulted_;
};

}  // namespace qx::scan
