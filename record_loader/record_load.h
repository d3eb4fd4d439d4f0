// The per-file writer of a loader that reads a whole file first and writes
// afterwards: `load_file` draws one key from the loader's sequence, inserts
// every filed row type by type (rows numbered from 0 within each type),
// runs the header statement, commits once, and `clear_records` empties the
// rows. One file is one transaction.
//
// Every statement is one step: a failure is printed through the by-code
// error printer and the work goes on, so a failed insert loses that row
// only. Two failures stop the file instead, because going on would store
// it wrongly: without a key its rows would carry no file's key, and a
// failed commit stores nothing. Then the transaction is rolled back,
// nothing of the file is stored, and the caller leaves the file where it is
// to be loaded again later under a new key.
//
// Several files may also share one transaction: that is the batch writer's
// (batch_writer.h), which writes the same filed rows and empties them
// through `clear_records` and `announce_row` here.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "db/bind.h"
#include "db/session.h"
#include "history/load_history.h"
#include "os/console.h"
#include "records/record_format.h"
#include "records/record_set.h"
#include "scan/file_report.h"

namespace qx::record_loader {

enum class LoadOutcome {
  committed,
  key_not_drawn,     // nothing was inserted
  connection_lost,   // the connection went while the rows were sent
  systemic_failure,  // a statement failed for a reason that is not the file's
  commit_failed,
  // The commit was refused for the file's own data (a deferred constraint).
  commit_refused,
  // The connection went while the commit was under way: the database may
  // have stored the file or not, and its load history says which.
  commit_unconfirmed,
  // The file's history row was taken by another instance first: it loaded
  // the file, and the next scan only moves it.
  loaded_elsewhere,
};

// Why a file was not loaded, for the line that says so ("its commit
// failed"); empty for a committed file.
std::string why_not_loaded(LoadOutcome outcome);

// What one file's load wrote, for its history row and its report: the
// key, the account (rows stored and rejected, the first rejected line) and
// the rows per table with their rejected lines. A backend that sends rows
// ahead reads the account when it sends the history row, so an account
// must live until its transaction's commit returns.
struct FileAccount {
  std::int64_t key = 0;  // 0 when none was drawn
  history::LoadProgress progress;
  scan::RowTally tally;
};

class RecordLoad {
 public:
  // Builds each type's insert once; the statements are reused for every
  // file. Deferred statement failures of `session` are printed on `out`
  // from now on. `records` and `session` must outlive the load.
  RecordLoad(db::Session& session, records::RecordSet& records, records::LoadPlan plan,
             os::Console console);

  // Loads the filed rows as one transaction and then clears them, whatever
  // the outcome. With `verbose` each row's insert is announced (the row's
  // count and its number from 1) before it is sent. With a history entry
  // the file's history row is the transaction's first write, and its last
  // says the file is loaded, with its key and its counts of rows.
  LoadOutcome load_file(std::string_view file_name, bool verbose,
                        history::HistoryEntry history = {});

  // Empties every filed row; with `verbose` announces each type that held
  // rows, before its rows are emptied.
  void clear_records(bool verbose);
  // Announces the insert of row `row` of `table` (the row's count and its
  // number from 1).
  void announce_row(const records::RecordTable& table, std::size_t row) const;

  // What the file's writes go to and come from, for the batch writer.
  db::Session& session() const { return session_; }
  records::RecordSet& records() const { return records_; }
  const records::LoadPlan& plan() const { return plan_; }

  // The key of the file loaded last by load_file; 0 when none was drawn.
  std::int64_t file_key() const { return account_.key; }
  // The account of the file loaded last by load_file.
  const FileAccount& account() const { return account_; }
  const history::LoadProgress& progress() const { return account_.progress; }
  const scan::RowTally& tally() const { return account_.tally; }

  // Commits the open transaction, and keeps what the commit met for
  // commit_failure: load_file's commit and the batch writer's.
  db::Status commit();
  // Why the last commit (load_file's or the batch writer's) failed, as the
  // database or the connection said; success after a commit that went
  // through.
  const db::Status& commit_failure() const { return commit_failure_; }

  // Prints a failed status by code (silent on NULL fetched and invalid
  // number).
  void report_sql_error(const db::Status& status) const;

 private:
  // Writes the file's history row, rows and header update; empty when
  // every write went through (the commit is still to come), or else the
  // outcome of the file stopped.
  std::optional<LoadOutcome> write_rows(std::string_view file_name, bool verbose,
                                        history::HistoryEntry history);
  // The header update and the history row's last write of a file whose
  // rows are written.
  std::optional<LoadOutcome> finish_rows(std::int64_t key, history::HistoryEntry history);
  // Inserts the rows of table `t`, one statement per row; false when the
  // file stops.
  bool insert_rows(std::size_t t, std::string_view file_name, bool verbose);
  // Prints a failure; false when the file cannot go on: the connection is
  // gone or the failure is not the row's own.
  bool step(const db::Status& status);
  // Prints a failure of the file's history row; false on any failure, even
  // one of the kind a row's data causes: a file whose history row is not
  // written would be stored without it, and moved while the history does
  // not say it was loaded.
  bool account_step(const db::Status& status);
  // The outcome of a file stopped by a failure that was not its rows'.
  LoadOutcome stopped() const;

  db::Session& session_;
  records::RecordSet& records_;
  records::LoadPlan plan_;
  os::Console console_;
  std::vector<std::string> inserts_;
  std::vector<db::Bind> binds_;
  // The account of the file load_file loads; the failure sink keeps its
  // counts current while a backend sends held-back rows.
  FileAccount account_;
  db::Status commit_failure_;
};

}  // namespace qx::record_loader
