// The batch writer: several files of a backlog share one transaction
// (record_batch.cc). `write_file` writes one file's history row (already in
// its final state, since in a batch every row goes through or the batch is
// given up), its rows and its header update without committing, each type's
// rows a few to an insert; on a database that binds arrays they are held
// back instead and sent with the other files' rows of that type in one
// insert at `commit_batch`, or in one COPY where the session copies rows
// (Session::copies_rows) and the type's values are all bound. It stops at the first failure of any
// kind without printing it, since a batch that meets any failure is rolled back and its files are
// loaded again one by one through RecordLoad::load_file (record_load.h), which reports as a file
// alone does.
//
// The rows written are those the per-file writer's record tables hold; they
// are emptied as that writer empties them (RecordLoad::clear_records), and
// each row's insert is announced the same way.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "db/array_literal.h"
#include "db/bind.h"
#include "db/copy_rows.h"
#include "db/session.h"
#include "history/load_history.h"
#include "record_loader/record_load.h"

namespace qx::record_loader {

class BatchWriter {
 public:
  // A type's rows held back for a batch: a column's values as one array,
  // or the rows for COPY.
  struct HeldRows {
    std::vector<db::ArrayLiteral> columns;
    db::CopyRows copied;
  };
  // A file's rows converted ahead of its batch, per type.
  using PreparedRows = std::vector<HeldRows>;

  // Builds each type's inserts once, over the session and record tables of
  // `load`, which must outlive the writer.
  explicit BatchWriter(RecordLoad& load);

  // Writes the filed rows as part of a batch's transaction, into
  // `account`, and then clears them. Returns false, having printed nothing,
  // when any write failed (even a row's own failure): the caller rolls the
  // batch back and loads its files one by one.
  // `key` is the file's key when the batch drew it already, or 0.
  bool write_file(std::string_view file_name, bool verbose, history::HistoryEntry history,
                  FileAccount& account, std::int64_t key = 0);
  // On a database that binds arrays: converts the filed rows under `key`
  // into `rows` and counts them into `account`, as write_file would hold
  // them back, and then clears them, without touching the database; the
  // file joins a batch later through add_prepared.
  void prepare_file(std::string_view file_name, bool verbose, std::int64_t key,
                    FileAccount& account, PreparedRows& rows);
  // Adds a file prepared earlier to the batch in hand, as write_file would
  // have written it: its rows join the batch's, and its history row and
  // header update go with them. `account` must live until commit_batch.
  void add_prepared(const PreparedRows& rows, history::HistoryEntry history,
                    const FileAccount& account);
  // The sequence the files' keys come from.
  std::string_view key_sequence() const { return load_.plan().sequence; }
  // Sends what the batch's files held back (on a database that binds
  // arrays, every type's rows in one insert, then each file's header
  // update) and commits the batch through RecordLoad::commit, which keeps
  // why a commit failed:
  // committed, commit_unconfirmed when the connection went during the
  // commit, or another outcome after which the caller rolls back and
  // nothing is stored. Prints nothing.
  LoadOutcome commit_batch();
  // Forgets what a batch that is given up held back.
  void drop_batch();

 private:
  // A file's writes: its history row, its rows and its header update, or
  // on a database that binds arrays its rows and header update held back
  // for commit_batch; false at the first failure.
  bool write_rows(std::string_view file_name, bool verbose, history::HistoryEntry history,
                  FileAccount& account);
  // Counts the filed rows into `account`, which is then loaded: in a batch
  // every row goes through or the batch is given up.
  void count_rows(FileAccount& account) const;
  // Inserts the rows of type `t` a few to a statement; false at a failure.
  bool insert_together(std::size_t t, std::string_view file_name, bool verbose, std::int64_t key);
  // Holds the rows of type `t` back into `held`, as arrays or for its
  // COPY, for send_held_batch.
  void hold_rows(std::size_t t, std::string_view file_name, bool verbose, std::int64_t key,
                 HeldRows& held);
  // Sends the rows of type `t` held back as arrays in one insert; false
  // when it failed.
  bool send_held_rows(std::size_t t);
  // Sends everything the batch held back; false at a failure.
  bool send_held_batch();
  static std::size_t most_rows_per_insert(std::size_t values_per_row);
  // The insert of `rows` rows of type `t` in one statement, built once.
  const std::string& multi_row_insert(std::size_t t, std::size_t rows);

  RecordLoad& load_;
  db::Session& session_;
  records::RecordSet& records_;
  // Per type, the insert of one row.
  std::vector<std::string> inserts_;
  // Per type, the insert of many rows as arrays (record_statements.h), for
  // a database that binds arrays.
  std::vector<std::string> array_inserts_;
  // Per type, the table and columns its rows are copied into; empty for a
  // type that only an insert can write (record_statements.h).
  std::vector<std::string> copy_targets_;
  // The types' rows send_held_batch copies, all in one call.
  std::vector<db::CopiedTable> copied_tables_;
  // Per type, the inserts of 2, 4, 8, ... rows, built when first needed.
  std::vector<std::vector<std::string>> multi_row_inserts_;
  std::vector<db::Bind> binds_;
  std::vector<db::Bind> row_binds_;
  // Per type, the rows the batch holds back.
  std::vector<HeldRows> held_;
  // The batch's files whose history row and header update are held back
  // with their rows.
  struct HeldFile {
    std::int64_t key;
    history::HistoryEntry history;
    const FileAccount* account;
  };
  std::vector<HeldFile> held_files_;
};

}  // namespace qx::record_loader
