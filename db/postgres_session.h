// The Session on a PostgreSQL server, through libpq in pipeline mode.
//
// Writes do not wait for the server. execute() checks the statement's binds,
// keeps an owned copy of them in the transaction's write log and returns
// success; the writes not yet sent travel in one pipeline together with the
// next operation that needs an answer (a query, next_value() or commit()),
// behind a BEGIN when the transaction opens and ending in one Sync. A file
// of N inserts and a commit thus costs one round trip. Statements are
// prepared once per connection and cached by their text; the prepare rides
// in the same pipeline as the statement's first use.
//
// A statement that fails undoes only itself, as the loaders expect, without
// a savepoint per statement: the server aborts a pipeline at its first
// failure, so the session rolls the transaction back, marks that write
// failed (its Status goes to the failure sink, once, in statement order) and
// sends the transaction again: BEGIN, every logged write not marked failed,
// then the pending operation, until nothing fails. A failing query or
// next_value() returns its own Status; the transaction it aborted is rebuilt
// the same way, with the next pipeline. The outcome is that of each
// statement run alone. Each failure costs one round trip and one replay of
// the transaction so far.
//
// Rows copied (copy_tables) leave the pipeline: the writes not yet sent go
// first with their answers, in one round trip, as a query's do; then the
// connection leaves pipeline mode and sends one query of a COPY ... FROM
// STDIN per table, so that the server's answer to one table's rows and its
// call for the next table's come in one round trip; each table's rows go in
// chunks. It reads the outcome and enters pipeline mode again for what
// follows, in the same transaction. Copied rows are not kept in the write
// log, so a transaction that holds them is never sent again: from the copy
// on, any failure (the copy's own included) fails the transaction, and
// every operation but rollback() returns it until the transaction ends.
//
// Waits are bounded: the connect by the target's connect timeout (unless
// the URI or PGCONNECT_TIMEOUT sets one), each round's answers by its answer
// timeout, and TCP keepalives notice a peer that is gone; a server that
// keeps the session waiting longer is taken as a lost connection.
//
// A lost connection (the server gone, or the session terminated) makes
// connected() false, drops the open transaction and its unsent writes, and
// every operation returns kNotConnected until connect() succeeds again.
// Nothing is printed: notices from the server are discarded, and failures
// are returned or go to the failure sink.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

#include "db/session.h"
#include "db/target.h"

struct pg_conn;
struct pg_result;

namespace qx::db {

class PostgresSession final : public Session {
 public:
  explicit PostgresSession(Target target);
  ~PostgresSession() override;
  PostgresSession(const PostgresSession&) = delete;
  PostgresSession& operator=(const PostgresSession&) = delete;

  Status connect() override;
  bool connected() const override { return conn_ != nullptr; }
  Status execute(std::string_view sql, std::span<const Bind> binds) override;
  Status execute_account(std::string_view sql, const AccountValues& values) override;
  void set_row_failures_fail_transaction(bool on) override { row_failures_fail_ = on; }
  bool has_advisory_locks() const override { return true; }
  bool binds_arrays() const override { return true; }
  bool copies_rows() const override { return true; }
  bool works_while_waiting() const override { return true; }
  Status copy_tables(std::span<const CopiedTable> tables) override;
  Status query_integer(std::string_view sql, std::span<const Bind> binds,
                       std::int64_t& out) override;
  Status query_text(std::string_view sql, std::span<const Bind> binds, std::string& out) override;
  Status query_rows(std::string_view sql, std::span<const Bind> binds, Rows& out) override;
  Status next_value(std::string_view sequence, std::int64_t& out) override;
  // One query, one round trip, for all of them.
  Status next_values(std::string_view sequence, std::span<std::int64_t> out) override;
  Status commit() override;
  // Unsent writes are dropped without being tried, so a failure they would
  // have met is never reported.
  Status rollback() override;
  std::string description() const override { return target_.display(); }
  std::string connect_failure_detail() const override { return connect_failure_detail_; }

 private:
  // One statement text as the loaders write it, rewritten for the server.
  struct StatementText {
    std::string server_text;
    std::size_t parameter_count = 0;
    // The name of its prepared statement on this connection; empty until a
    // prepare succeeds.
    std::string prepared_name;
  };
  // Bind values as the text parameters libpq sends: each value ends in a
  // NUL inside `values`; the offset kNullOffset is NULL.
  struct Parameters {
    std::string values;
    std::vector<std::size_t> offsets;
  };
  struct LoggedWrite {
    StatementText* statement;
    Parameters parameters;
    bool failed = false;
    // An account write (execute_account): its values are asked for again
    // before each send, and its failure fails the transaction.
    AccountValues account_values;
  };
  struct ConnectionDeleter {
    void operator()(pg_conn* conn) const;
  };
  using Connection = std::unique_ptr<pg_conn, ConnectionDeleter>;
  using Answer = std::unique_ptr<pg_result, void (*)(pg_result*)>;
  // Marks the answers awaited while it lives as a batch's (its rows, its
  // commit), during which the work set for the client runs.
  struct BatchWait {
    bool& waiting;
    explicit BatchWait(bool& flag) : waiting(flag) { waiting = true; }
    ~BatchWait() { waiting = false; }
    BatchWait(const BatchWait&) = delete;
    BatchWait& operator=(const BatchWait&) = delete;
  };
  // The operation a pipeline carries after the writes; a flush carries
  // none, and leaves the transaction open on the server.
  struct Operation {
    enum class Kind { query, commit, rollback, flush };
    explicit Operation(Kind k) : kind(k) {}
    Kind kind;
    StatementText* statement = nullptr;  // query
    Parameters parameters;               // query
    std::optional<std::string> value;    // what a one-value query fetched
    Rows* rows = nullptr;                // every row, for query_rows()
  };
  // What the server holds of the transaction.
  enum class ServerTransaction { none, open, aborted };
  enum class Role { rollback, begin, prepare_write, write, prepare_operation, operation, commit };
  struct Item {
    Role role;
    std::size_t write = 0;              // the log entry of a (prepare_)write
    StatementText* prepared = nullptr;  // the text a prepare item prepares
  };
  struct Hash {
    using is_transparent = void;
    std::size_t operator()(std::string_view text) const {
      return std::hash<std::string_view>{}(text);
    }
  };

  StatementText& statement_text(std::string_view sql);
  static Parameters parameters_from(std::span<const Bind> binds);
  Status query(std::string_view sql, std::span<const Bind> binds, Operation& op);
  // Sends pipelines until the operation's outcome is known: a write that
  // fails is marked and reported and the transaction is sent again.
  Status perform(Operation& op);
  enum class Round { done, write_failed, finished_with_failure, lost };
  // One pipeline: sends it, reads every item's answer and the Sync, notes
  // what the server holds of the transaction, then settles the round.
  Round send_round(Operation& op, Status& status);
  enum class ItemOutcome { succeeded, failed, lost };
  // Reads the answer to one item: a query's value into `op`, a failure into
  // `failure`; on `lost` the connection is dropped and `status` says why.
  ItemOutcome read_item_result(Operation& op, const Item& item, Status& status, Status& failure);
  // Reads the Sync that ends the pipeline; false (connection dropped, `status`
  // says why) when it does not come.
  bool read_sync(Status& status);
  void note_server_transaction();
  // Every item succeeded: the writes are in the server's transaction, and a
  // commit or rollback has ended it.
  Round round_succeeded(const Operation& op);
  // Item `failed_item` failed: a write is marked failed and reported, so that
  // the transaction is sent again without it; a failing operation ends with
  // its own status.
  Round settle_failure(const Operation& op, std::size_t failed_item, const Status& failure,
                       Status& status);
  Status drop_connection_with_libpq_error();
  // Drops a connection whose server kept an answer waiting past the deadline.
  Status drop_silent_server();
  // Queues the pipeline for `op` and its Sync; false when sending failed.
  bool send_items(Operation& op);
  // The part after a needed ROLLBACK: BEGIN when no transaction is open, the
  // writes the server has not applied, then the operation.
  bool send_transaction(Operation& op, bool open);
  bool send_prepare(StatementText& statement);
  bool send_prepared(const StatementText& statement, const Parameters& parameters);
  bool send_command(const char* sql);
  // Sends `commands` (one COPY ... FROM STDIN per stream of `rows`, in one
  // query) and the rows outside pipeline mode, and reads the outcome; a lost
  // connection is dropped.
  Status send_copy(const std::string& commands, std::span<const std::string_view> rows);
  // Sends one COPY's rows in chunks, each converted to the server's
  // encoding as it goes, and their end.
  bool send_copy_data(std::string_view rows, Status& status);
  // The outcome of a command sent outside pipeline mode, from its first
  // result on, and the null result that ends it.
  // The next answer by the deadline (next_result); in a batch's wait,
  // the work set for the client runs first, for as long as the server
  // has not answered.
  Answer next_answer(bool& timed_out);
  Status finish_command(const pg_result* first);
  // Sends everything libpq holds of the output, waiting for the socket no
  // longer than the answer timeout; false (connection dropped, `status`
  // says why) when it cannot.
  bool flush_output(Status& status);
  void read_operation_result(Operation& op, const pg_result* result, Status& status) const;
  std::string error_text(const pg_result* result) const;
  Status failure_from(const pg_result* result) const;
  bool connection_lost(const pg_result* result) const;
  // Closes the connection and forgets everything that lived on it. The
  // reason is taken by value: it is often libpq's own text, gone with the
  // connection.
  Status drop_connection(std::string reason);
  void forget_transaction();

  Target target_;
  Connection conn_;
  // Why the server ended the session, when it said so (a FATAL notice).
  std::string server_farewell_;
  std::unordered_map<std::string, StatementText, Hash, std::equal_to<>> statements_;
  std::uint64_t prepared_count_ = 0;
  std::vector<LoggedWrite> log_;
  // log_[0, applied_) is in the server's open transaction (or failed).
  std::size_t applied_ = 0;
  std::string connect_failure_detail_;
  // When the answers of the round in hand must have come.
  std::chrono::steady_clock::time_point deadline_;
  ServerTransaction server_ = ServerTransaction::none;
  bool row_failures_fail_ = false;
  // The open transaction holds copied rows, so it cannot be sent again.
  bool copied_ = false;
  // The answers awaited are a batch's (BatchWait).
  bool batch_wait_ = false;
  // The failure that failed a transaction holding copied rows: every
  // operation but rollback() returns it until the transaction ends.
  Status failed_transaction_;
  // The current pipeline, in the order the server answers it.
  std::vector<Item> items_;
  std::vector<const char*> parameter_pointers_;
};

}  // namespace qx::db
