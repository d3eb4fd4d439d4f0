// The one database connection a loader keeps for its whole life.
//
// Statement texts use the loaders' placeholders :b0, :b1, ...; every
// occurrence of a placeholder takes the next value of `binds`, in order, so a
// name written twice is bound twice. Texts are portable SQL (COALESCE,
// CURRENT_TIMESTAMP); each backend rewrites the placeholders, and makes
// CURRENT_TIMESTAMP the database's local time (statement_rewrite.h).
//
// Transactions are implicit: the first statement after connect() or commit()
// opens one, commit() ends it. A statement that fails undoes itself only; the
// rest of the transaction stays and the next commit() stores it.
//
// Every operation returns a Status (status.h). When the session is not
// connected every operation fails with kNotConnected and does nothing.
// A transaction that must end either committed or rolled back is held by a
// db::Transaction, and a batch's row-failure mode by a RowFailuresFail
// (transaction.h).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "db/bind.h"
#include "db/copy_rows.h"
#include "db/rows.h"
#include "db/status.h"

namespace qx::db {

class Session {
 public:
  // Receives, in statement order, the failures of statements whose outcome
  // was not known when execute() returned (see execute()).
  using FailureSink = std::function<void(const Status&)>;

  virtual ~Session() = default;

  // Opens the connection, or opens it again after it was lost. A session
  // that is still connected closes its connection first, and its open
  // transaction with it. After a failure connected() is false and the
  // session can be asked again later.
  virtual Status connect() = 0;
  virtual bool connected() const = 0;

  // Runs a statement that writes (insert, update). A backend may hold the
  // statement back and send it together with later ones; it then returns
  // success at once, and if the statement fails for its row's own data its
  // Status goes to the failure sink before the next query, next_value() or
  // commit() returns. A held-back statement that fails for a reason that is
  // not its row's own (not Status::row_failure()) fails that next operation
  // instead,
  // and nothing of the transaction is kept. Either way the statement's
  // effect (or its failure) is as if it had run right away, the caller
  // giving the transaction up at a systemic failure.
  virtual Status execute(std::string_view sql, std::span<const Bind> binds) = 0;

  // Produces the bind values of an account write (execute_account()).
  using AccountValues = std::function<void(std::vector<Bind>&)>;

  // Runs the write that keeps a transaction's own account (a file's load
  // history row). Unlike execute(), its failure fails the whole transaction:
  // the caller rolls back, and a backend that held the write back fails the
  // next query, next_value() or commit() with it, storing nothing. A backend
  // that holds it back asks `values` for its bind values each time it sends
  // it, so that counts kept by the failure sink are current when the
  // transaction is sent again; `values` must stay callable until the
  // transaction ends. The default runs the write at once.
  virtual Status execute_account(std::string_view sql, const AccountValues& values) {
    std::vector<Bind> binds;
    values(binds);
    return execute(sql, binds);
  }

  // With `on`, a write that fails for its row's own data fails the whole
  // transaction like any other failure, instead of undoing only itself: a
  // caller that tries several files in one transaction, and loads them one
  // by one when anything fails, wants nothing kept and nothing reported
  // then. A backend that runs each write at once returns the failure
  // either way, and needs nothing; one that holds writes back stops
  // replaying them. A batch sets it for its own scope (RowFailuresFail,
  // transaction.h).
  virtual void set_row_failures_fail_transaction(bool /*on*/) {}

  // True when a bind value may be an array literal (db/array_literal.h)
  // cast to an array type, so that one statement takes many rows.
  virtual bool binds_arrays() const { return false; }

  // True when copy_rows() takes a table's rows as one stream, which costs
  // the database less per row than statements do.
  virtual bool copies_rows() const { return false; }

  // Stores each table's rows (copy_rows.h) in its table and columns, in
  // the order given, as part of the current transaction, after every write
  // made before it; a table without rows is passed over. Its failure,
  // whatever the cause (a row's data included), fails the whole transaction
  // as an account write's does: the caller rolls back. A backend that
  // copies cannot send the transaction again once rows were copied, so from
  // then on until the transaction ends any failure fails it, as under
  // set_row_failures_fail_transaction(true), and every operation but
  // rollback() returns that failure. A backend that does not copy
  // (copies_rows() false) refuses with a failure and does nothing.
  virtual Status copy_tables(std::span<const CopiedTable> /*tables*/) {
    return Status::failure(kBindExtra, "this database takes no rows by COPY");
  }
  // copy_tables for the rows of one table ("t (a,b,c)").
  Status copy_rows(std::string_view table_and_columns, const CopyRows& rows) {
    const CopiedTable table[] = {{table_and_columns, &rows}};
    return copy_tables(table);
  }

  // True when the database can hold locks named by a number for this
  // session (PostgreSQL's advisory locks), so that instances on several
  // hosts can claim a file.
  virtual bool has_advisory_locks() const { return false; }

  // One-row, one-column queries. A NULL or empty result leaves `out` empty
  // (text) or unchanged (integer) and returns kNullFetched, as does a query
  // that returns no row; several rows are a failure. A text comes back as
  // the database holds it, in UTF-8. An integer query accepts a decimal
  // result rounded half away from zero; anything else is kInvalidNumber.
  virtual Status query_integer(std::string_view sql, std::span<const Bind> binds,
                               std::int64_t& out) = 0;
  virtual Status query_text(std::string_view sql, std::span<const Bind> binds,
                            std::string& out) = 0;

  // A query's every row into `out` (rows.h), as many columns as the query
  // selects; no row is success with `out` empty. On failure `out` holds no
  // row.
  virtual Status query_rows(std::string_view sql, std::span<const Bind> binds, Rows& out) = 0;

  // Draws the next value of a database sequence (BOOK_SEQUENCE, ...). A value
  // is handed out once, whatever becomes of the transaction that drew it.
  virtual Status next_value(std::string_view sequence, std::int64_t& out) = 0;

  // Draws out.size() values of the sequence at once, as next_value() would
  // one by one (a backend may draw them in one statement). On failure no
  // value is to be used.
  virtual Status next_values(std::string_view sequence, std::span<std::int64_t> out) {
    for (std::int64_t& value : out) {
      if (Status status = next_value(sequence, value); status.failed()) return status;
    }
    return Status::success();
  }

  // Makes the current transaction permanent. On failure nothing of the
  // transaction is stored (it is rolled back) and the session is ready for
  // the next one. Committing with no open transaction succeeds and does nothing.
  virtual Status commit() = 0;

  // Work for the client while the server takes a batch's rows and its
  // commit, in steps: each does a little and returns whether more is left.
  // A backend that waits on a server runs steps while such an answer is
  // awaited and has not come, one at a time, and goes on as soon as it has;
  // what is left waits for the next of those answers. A backend that
  // commits in the process has no such wait and runs none: run after the
  // commit, they would only hold the moves back. A step must not use the
  // session. An empty function takes back the steps not yet run.
  virtual void set_work_while_waiting(std::function<bool()> step) {
    work_while_waiting_ = std::move(step);
  }
  // Whether the work set is run while the server works (a server's
  // session); such a backend's keys are drawn outside transactions, so a
  // key drawn stays this session's even when its transaction is undone.
  virtual bool works_while_waiting() const { return false; }

  // Undoes the current transaction, if any. Statements a backend held back
  // are dropped unsent, so a failure they would have met is not reported.
  virtual Status rollback() = 0;

  // Empty while what the session commits reaches the database it opened;
  // otherwise why not, for an operator: the database's file or its journal
  // was removed or replaced under the open connection, so that what is
  // committed now would be lost when the connection closes. A backend whose
  // storage cannot be taken from under it has nothing to say.
  virtual std::string storage_problem() { return {}; }
  // How many transactions the session has committed: a look at the storage
  // taken after the latest of them holds for what follows it, up to the next.
  virtual std::uint64_t commits_made() const { return 0; }

  // Names the database for people: the target without its password.
  virtual std::string description() const = 0;

  // The whole reason the last connect() failed, for an operator (the
  // Status keeps only what fits in a status message): the server's host or
  // socket, or the file's path, and why. Empty when the backend has nothing
  // beyond the Status.
  virtual std::string connect_failure_detail() const { return {}; }

  void set_failure_sink(FailureSink sink) { failure_sink_ = std::move(sink); }

 protected:
  void report_deferred_failure(const Status& status) const {
    if (failure_sink_) failure_sink_(status);
  }
  // Runs one step of the work set; false when there is none left to run.
  bool run_waiting_step() {
    if (work_while_waiting_ && work_while_waiting_()) return true;
    work_while_waiting_ = {};
    return false;
  }

 private:
  FailureSink failure_sink_;
  std::function<bool()> work_while_waiting_;
};

}  // namespace qx::db
