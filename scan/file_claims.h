// Claims and batches: how the loop takes a settled file before its handler
// is given it. A file is locked (another process that holds it is another
// instance loading it: it is left alone), read whole, and, with a load
// history, claimed and looked up there: a file another instance has is
// left alone, a file the history holds as loaded is only moved. For a
// handler that takes batches, the files of a backlog are locked and read
// one by one up to the batch limits and then claimed together, in one
// round trip.
//
// After a failure: a file that cannot be read is handed over all the same
// (its handler tells it, when tell_read_failure() says so) or, at its last
// allowed attempt, set aside into the failed directory; a history that
// cannot be read is told through the loader's printer and as a refusal of
// the database (DatabaseWatch), every claim is given up, and the file and
// the rest of the scan wait.
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <vector>

#include "history/load_history.h"
#include "os/env.h"
#include "scan/alarm.h"
#include "scan/batch_limits.h"
#include "scan/database_watch.h"
#include "scan/file_handler.h"
#include "scan/file_job.h"
#include "scan/file_moves.h"

namespace qx::scan {

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
  void add(std::unique_ptr<FileJob> job) {
    bytes += job->bytes_read().size();
    jobs.push_back(std::move(job));
  }
  // Whether the batch is at one of its limits at `now` (the time limit
  // runs from its first file's read).
  bool full(const BatchLimits& limits, std::chrono::steady_clock::time_point now) const;
};

class FileClaims {
 public:
  // Everything given must outlive the claims; `history` may be nullptr
  // (no history: a file read is handed over at once).
  FileClaims(AlarmOutlets& outlets, FileHandler& handler, DatabaseWatch& database, FileMoves& moves,
             history::LoadHistory* history);

  // Takes the file and, with a history, claims and looks it up.
  [[nodiscard]] JobStep prepare(FileJob& job);
  // Locks and reads the file, and names its identity for the claim.
  [[nodiscard]] JobStep take(FileJob& job);
  // Takes the file as take() does when that has nothing to tell (locked,
  // read whole, and not a file that could not be read before), without a
  // word and without touching the database. False otherwise: the job is to
  // be dropped, and the file is taken again in its turn.
  [[nodiscard]] bool take_quietly(FileJob& job);
  // Claims the batch's files together: those another instance has leave
  // the batch, those loaded earlier go to `earlier`. False (said, and the
  // batch emptied: its files wait) when the history could not be read.
  [[nodiscard]] bool claim_batch(Batch& batch, std::vector<std::unique_ptr<FileJob>>& earlier);
  // Gives the file's claim up, when the history holds one.
  void release(const FileJob& job);
  // Gives up the claims of all `jobs` in one statement.
  void release_all(const std::vector<const FileJob*>& jobs);
  // Forgets the files that cannot be read and are gone from the scan's
  // listing `files`.
  void forget_all_but(const std::vector<os::DirectoryEntry>& files);

 private:
  // What the history's claim makes of the file.
  JobStep after_claim(FileJob& job, history::Claim claim, const history::LoadProgress& progress);
  // The history could not be read: said once and at the reminder interval.
  void report_unreadable_history(const FileJob& job, const db::Status& status);
  // Keeps the rhythm of a file that cannot be read: told when it starts,
  // recalled at the reminder interval (by its handler), and said when it
  // reads again.
  void note_read(FileJob& job);

  AlarmOutlets& outlets_;
  FileHandler& handler_;
  DatabaseWatch& database_;
  FileMoves& moves_;
  history::LoadHistory* history_;
  // Files that cannot be read, by name, while they are in the directory.
  std::map<std::string, Alarm> unreadable_;
};

}  // namespace qx::scan
