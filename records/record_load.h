// The per-file load of a loader that reads a whole file first and writes
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
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "db/bind.h"
#include "db/session.h"
#include "driver/console.h"
#include "driver/file_report.h"
#include "driver/load_history.h"
#include "records/record_set.h"

namespace qx::records {

struct LoadPlan {
  std::string_view sequence;  // "TARVO_SEQUENCE"
  // Run after the inserts with the file's key as :b0; marks the header.
  std::string_view header_update;
  // The first type (the header) is cleared after the others instead of
  // before them.
  bool header_cleared_last = false;
};

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

class RecordLoad {
 public:
  // Builds each type's insert once; the statements are reused for every
  // file. Deferred statement failures of `session` are printed on `out`
  // from now on. `records` and `session` must outlive the load.
  RecordLoad(db::Session& session, RecordSet& records, LoadPlan plan, driver::Console console);

  // Loads the filed rows as one transaction and then clears them, whatever
  // the outcome. With `verbose` each row's insert is announced (the row's
  // count and its number from 1) before it is sent. With a history entry
  // the file's history row is the transaction's first write, and its last
  // says the file is loaded, with its key and its counts of rows.
  LoadOutcome load_file(std::string_view file_name, bool verbose,
                        driver::HistoryEntry history = {});

  // Empties every filed row; with `verbose` announces each type that held
  // rows, before its rows are emptied.
  void clear_records(bool verbose);

  // The key of the file loaded last; 0 when none was drawn.
  std::int64_t file_key() const { return file_key_; }
  // The account of the file loaded last (rows stored and rejected, the
  // first rejected line) and its rows per table with their rejected lines.
  const driver::LoadProgress& progress() const { return progress_; }
  const driver::RowTally& tally() const { return tally_; }

  // Prints a failed status by code (silent on NULL fetched and invalid
  // number).
  void report_sql_error(const db::Status& status) const;

 private:
  LoadOutcome store_rows(std::string_view file_name, bool verbose, driver::HistoryEntry history);
  // Prints a failure; false when the file cannot go on: the connection is
  // gone, or the failure is not the row's own.
  bool step(const db::Status& status);
  // Prints a failure of the file's history row; false on any failure, even
  // one of the kind a row's data causes: a file whose history row is not
  // written would be stored without it, and moved while the history does
  // not say it was loaded.
  bool account_step(const db::Status& status);
  // The outcome of a file stopped by a failure that was not its rows'.
  LoadOutcome stopped() const;

  db::Session& session_;
  RecordSet& records_;
  LoadPlan plan_;
  driver::Console console_;
  std::vector<std::string> inserts_;
  std::vector<db::Bind> binds_;
  std::int64_t file_key_ = 0;
  // The file's account for its history row; the failure sink keeps its
  // counts current while a backend sends held-back rows.
  driver::LoadProgress progress_;
  driver::RowTally tally_;
};

}  // namespace qx::records
