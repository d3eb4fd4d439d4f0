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
//
// Several files may also share one transaction (a batch, record_batch.h):
// `write_file` writes one file's history row (already in its final state),
// rows and header update without committing, each type's rows a few to an
// insert (on a database that binds arrays, held back and sent with the
// other files' rows of that type in one insert at `commit_batch`), and
// stops at the first failure of any kind without printing it, since a
// batch that meets any failure is loaded again file by file through
// `load_file`, which reports as above.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "db/array_literal.h"
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

  // Writes the filed rows as part of a batch's transaction, into
  // `account`, and then clears them. Returns false, having printed nothing,
  // when any write failed (even a row's own failure): the caller rolls the
  // batch back and loads its files one by one.
  // `key` is the file's key when the batch drew it already, or 0.
  bool write_file(std::string_view file_name, bool verbose, history::HistoryEntry history,
                  FileAccount& account, std::int64_t key = 0);
  // The sequence the files' keys come from.
  std::string_view key_sequence() const { return plan_.sequence; }
  // Sends what the batch's files held back (on a database that binds
  // arrays, every type's rows in one insert, then each file's header
  // update) and commits the batch:
  // committed, commit_unconfirmed when the connection went during the
  // commit, or another outcome after which the caller rolls back and
  // nothing is stored. Prints nothing.
  LoadOutcome commit_batch();
  // Forgets what a batch that is given up held back.
  void drop_batch();

  // Empties every filed row; with `verbose` announces each type that held
  // rows, before its rows are emptied.
  void clear_records(bool verbose);

  // The key of the file loaded last by load_file; 0 when none was drawn.
  std::int64_t file_key() const { return account_.key; }
  // The account of the file loaded last by load_file.
  const FileAccount& account() const { return account_; }
  const history::LoadProgress& progress() const { return account_.progress; }
  const scan::RowTally& tally() const { return account_.tally; }

  // Why the last commit (load_file's or commit_batch's) failed, as the
  // database or the connection said; success after a commit that went
  // through.
  const db::Status& commit_failure() const { return commit_failure_; }

  // Prints a failed status by code (silent on NULL fetched and invalid
  // number).
  void report_sql_error(const db::Status& status) const;

 private:
  // How a file's writes take failures.
  enum class Writing {
    alone,     // printed; a row's own failure loses that row only
    in_batch,  // any failure stops the file, unprinted
  };
  // Writes the file's rows, header update and history rows; empty when
  // every write went through (the commit is still to come), or else the
  // outcome of the file stopped.
  std::optional<LoadOutcome> write_rows(std::string_view file_name, bool verbose,
                                        history::HistoryEntry history, FileAccount& account,
                                        Writing writing, std::int64_t key = 0);
  // The header update and the history row's last write of a file loaded
  // alone whose rows are written.
  std::optional<LoadOutcome> finish_rows(std::int64_t key, history::HistoryEntry history,
                                         FileAccount& account);
  // A file's writes in a batch: its history row, its rows and its header
  // update, or on a database that binds arrays its rows and header update
  // held back for commit_batch.
  std::optional<LoadOutcome> write_in_batch(std::string_view file_name, bool verbose,
                                            history::HistoryEntry history, FileAccount& account);
  // Inserts the rows of type `t` a few to a statement; false at a failure.
  bool insert_together(std::size_t t, std::string_view file_name, bool verbose, std::int64_t key);
  // Holds the rows of type `t` back, copied, for send_held_rows.
  bool hold_rows(std::size_t t, std::string_view file_name, bool verbose, std::int64_t key);
  // Sends the rows of type `t` held back as arrays in one insert; false
  // when it failed.
  bool send_held_rows(std::size_t t);
  // Sends everything the batch held back; false at a failure.
  bool send_held_batch();
  static std::size_t most_rows_per_insert(std::size_t values_per_row);
  // Inserts the rows of table `t` of a file loaded alone, one statement per
  // row; false when the file stops.
  bool insert_rows(std::size_t t, std::string_view file_name, bool verbose, FileAccount& account);
  void announce_row(const records::RecordTable& table, std::size_t row) const;
  // The insert of `rows` rows of type `t` in one statement, built once.
  const std::string& multi_row_insert(std::size_t t, std::size_t rows);
  // Prints a failure (alone); false when the file cannot go on: the
  // connection is gone, the failure is not the row's own, or the file is
  // written in a batch.
  bool step(const db::Status& status, Writing writing);
  // Prints a failure of the file's history row (alone); false on any
  // failure, even one of the kind a row's data causes: a file whose history
  // row is not written would be stored without it, and moved while the
  // history does not say it was loaded.
  bool account_step(const db::Status& status, Writing writing);
  // The outcome of a file stopped by a failure that was not its rows'.
  LoadOutcome stopped() const;

  db::Session& session_;
  records::RecordSet& records_;
  records::LoadPlan plan_;
  os::Console console_;
  std::vector<std::string> inserts_;
  // Per type, the insert of many rows as arrays (record_statements.h), for
  // a database that binds arrays.
  std::vector<std::string> array_inserts_;
  // Per type, the inserts of 2, 4, 8, ... rows, built when first needed.
  std::vector<std::vector<std::string>> multi_row_inserts_;
  std::vector<db::Bind> binds_;
  std::vector<db::Bind> row_binds_;
  // Per type, the rows a batch holds back, a column's values as one array.
  struct HeldRows {
    std::vector<db::ArrayLiteral> columns;
  };
  std::vector<HeldRows> held_;
  // The batch's files whose history row and header update are held back
  // with their rows.
  struct HeldFile {
    std::int64_t key;
    history::HistoryEntry history;
    const FileAccount* account;
  };
  std::vector<HeldFile> held_files_;
  // The account of the file load_file loads; the failure sink keeps its
  // counts current while a backend sends held-back rows.
  FileAccount account_;
  db::Status commit_failure_;
};

}  // namespace qx::record_loader
