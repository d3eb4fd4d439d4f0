#include "db/postgres_session.h"

#include <libpq-fe.h>

#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstdlib>
#include <memory>

#include "db/backend_errors.h"
#include "db/statement_rewrite.h"
#include "db/statement_rules.h"

namespace qx::db {
namespace {

constexpr std::string_view kDrawStatement = "select nextval(:b0)";
// The values in the order they were drawn, as one text: "11,12,13".
constexpr std::string_view kDrawManyStatement =
    "select string_agg(v::text, ',' order by n) from (select n, nextval(:b0) v from "
    "generate_series(1, cast(:b1 as integer)) n) drawn";
constexpr std::size_t kNullOffset = static_cast<std::size_t>(-1);

using Result = std::unique_ptr<PGresult, decltype(&PQclear)>;

// The next result, or nothing when the server has not answered by
// `deadline` (or the connection failed): a server that was stopped, or a
// network that silently dropped it, must not hold the loader for ever, and
// neither TCP keepalives nor a unix socket notice a server that is alive
// but does not answer.
Result next_result(PGconn* conn, std::chrono::steady_clock::time_point deadline, bool& timed_out) {
  timed_out = false;
  while (PQisBusy(conn) == 1) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      timed_out = true;
      return Result(nullptr, &PQclear);
    }
    pollfd socket{PQsocket(conn), POLLIN, 0};
    const int ready = ::poll(&socket, 1, static_cast<int>(std::min<long long>(left.count(), 1000)));
    if (ready < 0 && errno != EINTR) return Result(nullptr, &PQclear);
    // A connection the server closed may still hold its last message (the
    // FATAL error that says why it ended the session): libpq hands it over
    // first, or its own error when there is none.
    if (ready > 0 && PQconsumeInput(conn) != 1) return Result(PQgetResult(conn), &PQclear);
  }
  return Result(PQgetResult(conn), &PQclear);
}

// Runs a setting on a new connection, before pipeline mode; false when the
// server did not answer by `deadline`. A setting the server refuses is
// passed over: it only makes the session faster.
bool run_setting(PGconn* conn, const char* sql, std::chrono::steady_clock::time_point deadline) {
  if (PQsendQuery(conn, sql) != 1) return false;
  bool timed_out = false;
  while (Result result = next_result(conn, deadline, timed_out)) {
  }
  return !timed_out && PQstatus(conn) == CONNECTION_OK;
}

std::string_view first_line(std::string_view text) {
  return text.substr(0, text.find('\n'));
}

// `text` on one line: every run of blanks that holds a tab or a line end
// becomes one space, and the ends are trimmed. libpq indents a connect
// failure's hint with a tab on a line of its own, and a server's message
// may quote a value that holds either; printed as they stand they would
// break the loader's one-line messages.
std::string on_one_line(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size();) {
    std::size_t run_end = text.find_first_not_of(" \t\r\n", i);
    if (run_end == std::string_view::npos) run_end = text.size();
    if (run_end == i) {
      out += text[i++];
      continue;
    }
    const std::string_view run = text.substr(i, run_end - i);
    out += run.find_first_of("\t\r\n") == std::string_view::npos ? run : " ";
    i = run_end;
  }
  out.erase(0, out.find_first_not_of(' '));
  while (out.ends_with(' ')) out.pop_back();
  return out;
}

// libpq reports a failed connect as "connection to server ... failed: WHY",
// sometimes with the server's "FATAL:  " in front of WHY; the reason is what
// fits in a status message.
std::string connect_failure_reason(std::string_view message) {
  auto line = first_line(message);
  if (const auto failed = line.rfind("failed: "); failed != std::string_view::npos) {
    line.remove_prefix(failed + 8);
  }
  if (line.starts_with("FATAL:  ")) line.remove_prefix(8);
  return std::string(line);
}

// A server that ends the session while no statement is under way (an
// idle-in-transaction timeout, an administrator's command) says why in a
// "FATAL:" message that libpq hands to the notice processor: it is kept, so
// that the loss is told with the server's reason rather than only "server
// closed the connection". Every other notice is dropped.
void keep_server_farewell(void* farewell, const char* message) {
  std::string_view text(message);
  if (!text.starts_with("FATAL:")) return;
  text.remove_prefix(6);
  while (text.starts_with(' ')) text.remove_prefix(1);
  *static_cast<std::string*>(farewell) = std::string(first_line(text));
}

}  // namespace

PostgresSession::PostgresSession(Target target) : target_(std::move(target)) {}

void PostgresSession::ConnectionDeleter::operator()(pg_conn* conn) const {
  PQfinish(conn);
}

PostgresSession::~PostgresSession() = default;

Status PostgresSession::connect() {
  // The old connection's end is no failure of this connect, which says for
  // itself how it went.
  if (conn_ != nullptr) (void)drop_connection("connection reopened");
  std::vector<const char*> keys;
  std::vector<const char*> values;
  const auto add = [&](const char* key, const std::string& value) {
    keys.push_back(key);
    values.push_back(value.c_str());
  };
  // The URI or service comes first: the login given beside it wins over one
  // written inside it, and the encoding is always ours.
  // Bounded waits come first, so that a URI that sets its own wins; TCP
  // keepalives notice a peer that is gone.
  const std::string connect_timeout = std::to_string(target_.connect_timeout.count());
  static const std::string kOn = "1", kIdle = "30", kInterval = "10", kCount = "3";
  if (std::getenv("PGCONNECT_TIMEOUT") == nullptr) add("connect_timeout", connect_timeout);
  add("keepalives", kOn);
  add("keepalives_idle", kIdle);
  add("keepalives_interval", kInterval);
  add("keepalives_count", kCount);
  if (target_.kind == Target::Kind::postgres_uri) add("dbname", target_.location);
  if (target_.kind == Target::Kind::postgres_service) add("service", target_.location);
  if (!target_.user.empty()) add("user", target_.user);
  if (!target_.password.empty()) add("password", target_.password);
  static const std::string kUtf8 = "UTF8";
  static const std::string kApplication = "qx_loader";
  add("client_encoding", kUtf8);
  add("fallback_application_name", kApplication);
  keys.push_back(nullptr);
  values.push_back(nullptr);

  Connection conn(PQconnectdbParams(keys.data(), values.data(),
                                    target_.kind == Target::Kind::postgres_uri ? 1 : 0));
  if (conn == nullptr) return Status::failure(kNotConnected, "out of memory");
  if (PQstatus(conn.get()) != CONNECTION_OK) {
    // libpq's whole message names the host or socket of every attempt.
    connect_failure_detail_ = on_one_line(PQerrorMessage(conn.get()));
    // The message is copied before the connection is closed.
    return Status::failure(kNotConnected,
                           on_one_line(connect_failure_reason(PQerrorMessage(conn.get()))));
  }
  server_farewell_.clear();
  PQsetNoticeProcessor(conn.get(), keep_server_farewell, &server_farewell_);
  // The loaders run each statement text many times with new values, and a
  // plan made for one set of values (a custom plan) costs more to make than
  // it saves: every statement here finds its rows by equality or inserts
  // them. Servers before 12 do not know the setting and plan as ever.
  if (PQserverVersion(conn.get()) >= 120000 &&
      !run_setting(conn.get(), "SET plan_cache_mode = force_generic_plan",
                   std::chrono::steady_clock::now() + target_.answer_timeout)) {
    return Status::failure(kNotConnected, "the server did not answer after the login");
  }
  if (PQenterPipelineMode(conn.get()) != 1) {
    return Status::failure(kNotConnected, on_one_line(first_line(PQerrorMessage(conn.get()))));
  }
  conn_ = std::move(conn);
  return Status::success();
}

Status PostgresSession::drop_connection(std::string reason) {
  conn_.reset();
  forget_transaction();
  for (auto& [text, statement] : statements_) statement.prepared_name.clear();
  return Status::failure(kNotConnected,
                         reason.empty() ? "connection to the server was lost" : reason);
}

void PostgresSession::forget_transaction() {
  log_.clear();
  applied_ = 0;
  server_ = ServerTransaction::none;
  copied_ = false;
  failed_transaction_ = Status::success();
}

PostgresSession::StatementText& PostgresSession::statement_text(std::string_view sql) {
  if (auto found = statements_.find(sql); found != statements_.end()) return found->second;
  auto rewritten = rewrite_statement(sql, StatementDialect::postgresql);
  StatementText text{std::move(rewritten.text), rewritten.parameter_count, {}};
  return statements_.emplace(std::string(sql), std::move(text)).first->second;
}

PostgresSession::Parameters PostgresSession::parameters_from(std::span<const Bind> binds) {
  Parameters parameters;
  parameters.offsets.reserve(binds.size());
  char number[32];
  for (const Bind& bind : binds) {
    if (bind.kind() == Bind::Kind::null) {
      parameters.offsets.push_back(kNullOffset);
      continue;
    }
    parameters.offsets.push_back(parameters.values.size());
    // Every value travels as text and the server casts it to the column's
    // type, so one prepared statement serves whatever kinds are bound.
    switch (bind.kind()) {
      case Bind::Kind::integer: {
        const auto end = std::to_chars(number, number + sizeof number, bind.as_integer()).ptr;
        parameters.values.append(number, end);
        break;
      }
      case Bind::Kind::real: {
        const auto end = std::to_chars(number, number + sizeof number, bind.as_real()).ptr;
        parameters.values.append(number, end);
        break;
      }
      case Bind::Kind::text:
        append_bound_text(bind.as_text(), parameters.values);
        break;
      case Bind::Kind::null:
        break;
    }
    parameters.values.push_back('\0');
  }
  return parameters;
}

Status PostgresSession::execute(std::string_view sql, std::span<const Bind> binds) {
  if (!connected()) return not_connected();
  if (failed_transaction_.failed()) return failed_transaction_;
  StatementText& statement = statement_text(sql);
  if (auto status = check_bind_count(statement.parameter_count, binds.size()); status.failed()) {
    return status;
  }
  log_.push_back(LoggedWrite{&statement, parameters_from(binds), false, {}});
  return Status::success();
}

Status PostgresSession::execute_account(std::string_view sql, const AccountValues& values) {
  if (!connected()) return not_connected();
  if (failed_transaction_.failed()) return failed_transaction_;
  StatementText& statement = statement_text(sql);
  std::vector<Bind> binds;
  values(binds);
  if (auto status = check_bind_count(statement.parameter_count, binds.size()); status.failed()) {
    return status;
  }
  // Its values are converted only when it is sent, which asks for them again.
  log_.push_back(LoggedWrite{&statement, {}, false, values});
  return Status::success();
}

Status PostgresSession::query(std::string_view sql, std::span<const Bind> binds, Operation& op) {
  if (!connected()) return not_connected();
  if (failed_transaction_.failed()) return failed_transaction_;
  op.statement = &statement_text(sql);
  if (auto status = check_bind_count(op.statement->parameter_count, binds.size());
      status.failed()) {
    return status;
  }
  op.parameters = parameters_from(binds);
  return perform(op);
}

Status PostgresSession::query_integer(std::string_view sql, std::span<const Bind> binds,
                                      std::int64_t& out) {
  Operation op(Operation::Kind::query);
  if (auto status = query(sql, binds, op); status.failed()) return status;
  return fetched_integer(op.value, out);
}

Status PostgresSession::query_text(std::string_view sql, std::span<const Bind> binds,
                                   std::string& out) {
  Operation op(Operation::Kind::query);
  if (auto status = query(sql, binds, op); status.failed()) {
    out.clear();
    return status;
  }
  return fetched_text(op.value, out);
}

Status PostgresSession::query_rows(std::string_view sql, std::span<const Bind> binds, Rows& out) {
  out.reset(0);
  Operation op(Operation::Kind::query);
  op.rows = &out;
  Status status = query(sql, binds, op);
  if (status.failed()) out.reset(0);
  return status;
}

Status PostgresSession::next_value(std::string_view sequence, std::int64_t& out) {
  Operation op(Operation::Kind::query);
  const Bind binds[] = {Bind::text(sequence)};
  auto status = query(kDrawStatement, binds, op);
  // The server names a missing sequence a missing relation.
  if (status.code == kTableMissing) {
    constexpr std::size_t kNumberPrefix = 7;  // "00942: "
    return Status::failure(kSequenceMissing,
                           std::string_view(status.message).substr(kNumberPrefix));
  }
  if (status.failed()) return status;
  return fetched_integer(op.value, out);
}

Status PostgresSession::next_values(std::string_view sequence, std::span<std::int64_t> out) {
  if (out.size() <= 1) return Session::next_values(sequence, out);
  Operation op(Operation::Kind::query);
  const Bind binds[] = {Bind::text(sequence), Bind::integer(static_cast<std::int64_t>(out.size()))};
  auto status = query(kDrawManyStatement, binds, op);
  if (status.code == kTableMissing) {
    constexpr std::size_t kNumberPrefix = 7;  // "00942: "
    return Status::failure(kSequenceMissing,
                           std::string_view(status.message).substr(kNumberPrefix));
  }
  if (status.failed()) return status;
  if (!op.value) return null_fetched();
  std::string_view values = *op.value;
  for (std::int64_t& value : out) {
    const std::size_t end = std::min(values.find(','), values.size());
    if (status = fetched_integer(values.substr(0, end), value); status.failed()) return status;
    values.remove_prefix(std::min(end + 1, values.size()));
  }
  if (!values.empty()) return too_many_rows();
  return Status::success();
}

Status PostgresSession::commit() {
  if (!connected()) return not_connected();
  if (failed_transaction_.failed()) {
    // Nothing of a failed transaction is stored; the failure is the commit's.
    const Status failure = failed_transaction_;
    (void)rollback();
    return failure;
  }
  Operation op(Operation::Kind::commit);
  const BatchWait wait(batch_wait_);
  return perform(op);
}

Status PostgresSession::rollback() {
  if (!connected()) return not_connected();
  log_.clear();
  applied_ = 0;
  Operation op(Operation::Kind::rollback);
  return perform(op);
}

Status PostgresSession::copy_tables(std::span<const CopiedTable> tables) {
  if (!connected()) return not_connected();
  if (failed_transaction_.failed()) return failed_transaction_;
  std::string commands;
  std::vector<std::string_view> rows;
  for (const CopiedTable& table : tables) {
    if (table.rows->rows() == 0) continue;
    commands.append("COPY ").append(table.table_and_columns).append(" FROM STDIN;");
    rows.push_back(table.rows->text());
  }
  if (rows.empty()) return Status::success();
  const BatchWait wait(batch_wait_);
  // The writes held back go first, with their answers, as a query's do, and
  // leave the transaction open on the server for the rows.
  Operation flush(Operation::Kind::flush);
  if (Status status = perform(flush); status.failed()) return status;
  copied_ = true;
  Status status = send_copy(commands, rows);
  if (!connected()) return status;
  // What follows (header updates, history rows, the commit) travels in
  // pipelines again.
  if (PQsetnonblocking(conn_.get(), 0) != 0 || PQenterPipelineMode(conn_.get()) != 1) {
    return drop_connection_with_libpq_error();
  }
  note_server_transaction();
  if (status.failed()) {
    log_.clear();
    applied_ = 0;
    failed_transaction_ = status;
  }
  return status;
}

Status PostgresSession::send_copy(const std::string& commands,
                                  std::span<const std::string_view> rows) {
  PGconn* conn = conn_.get();
  // libpq carries no COPY inside a pipeline. Without blocking, a server
  // that stops reading holds the loader no longer than the answer timeout.
  if (PQexitPipelineMode(conn) != 1 || PQsetnonblocking(conn, 1) != 0 ||
      PQsendQuery(conn, commands.c_str()) != 1) {
    return drop_connection_with_libpq_error();
  }
  Status status;
  if (!flush_output(status)) return status;
  for (std::size_t table = 0; table < rows.size(); ++table) {
    bool timed_out = false;
    deadline_ = std::chrono::steady_clock::now() + target_.answer_timeout;
    const Result start = next_answer(timed_out);
    if (start == nullptr) {
      return timed_out ? drop_silent_server() : drop_connection_with_libpq_error();
    }
    // A missing table or column is refused before any row.
    if (PQresultStatus(start.get()) != PGRES_COPY_IN) return finish_command(start.get());
    if (!send_copy_data(rows[table], status)) return status;
    deadline_ = std::chrono::steady_clock::now() + target_.answer_timeout;
    const Result end = next_answer(timed_out);
    if (end == nullptr) {
      return timed_out ? drop_silent_server() : drop_connection_with_libpq_error();
    }
    // A table's rows refused end the query: the server skips the COPY
    // commands after it.
    const bool last = table + 1 == rows.size();
    if (last || PQresultStatus(end.get()) != PGRES_COMMAND_OK) return finish_command(end.get());
  }
  return status;
}

bool PostgresSession::send_copy_data(std::string_view rows, Status& status) {
  PGconn* conn = conn_.get();
  // In chunks, so that neither copy of the rows is held twice whole.
  constexpr std::size_t kChunk = 1 << 16;
  std::string chunk;
  for (std::size_t at = 0; at < rows.size(); at += kChunk) {
    chunk.clear();
    append_bound_text(rows.substr(at, kChunk), chunk);
    if (PQputCopyData(conn, chunk.data(), static_cast<int>(chunk.size())) != 1) {
      status = drop_connection_with_libpq_error();
      return false;
    }
    if (!flush_output(status)) return false;
  }
  if (PQputCopyEnd(conn, nullptr) != 1) {
    status = drop_connection_with_libpq_error();
    return false;
  }
  return flush_output(status);
}

Status PostgresSession::finish_command(const PGresult* first) {
  Status status;
  switch (PQresultStatus(first)) {
    case PGRES_COMMAND_OK:
      break;
    case PGRES_FATAL_ERROR:
      if (connection_lost(first)) return drop_connection(error_text(first));
      status = failure_from(first);
      break;
    default:
      return drop_connection("unexpected answer from the server");
  }
  // The command's results end with a null result.
  bool timed_out = false;
  if (next_answer(timed_out) != nullptr) {
    return drop_connection("unexpected answer from the server");
  }
  if (timed_out) return drop_silent_server();
  return status;
}

PostgresSession::Answer PostgresSession::next_answer(bool& timed_out) {
  PGconn* conn = conn_.get();
  if (batch_wait_) {
    bool worked = false;
    while (PQisBusy(conn) == 1 && run_waiting_step()) {
      worked = true;
      if (PQconsumeInput(conn) != 1) break;  // next_result hands the failure over
    }
    // The answer's time runs from the work's end.
    if (worked) deadline_ = std::chrono::steady_clock::now() + target_.answer_timeout;
  }
  return next_result(conn, deadline_, timed_out);
}

bool PostgresSession::flush_output(Status& status) {
  PGconn* conn = conn_.get();
  deadline_ = std::chrono::steady_clock::now() + target_.answer_timeout;
  for (;;) {
    const int flushed = PQflush(conn);
    if (flushed == 0) return true;
    if (flushed < 0) {
      status = drop_connection_with_libpq_error();
      return false;
    }
    if (batch_wait_ && run_waiting_step()) {
      // The server reads on while the client works; what it says meanwhile
      // is read, and the time for its reading runs from the work's end.
      if (PQconsumeInput(conn) != 1) {
        status = drop_connection_with_libpq_error();
        return false;
      }
      deadline_ = std::chrono::steady_clock::now() + target_.answer_timeout;
      continue;
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline_ - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      status = drop_silent_server();
      return false;
    }
    pollfd socket{PQsocket(conn), POLLIN | POLLOUT, 0};
    const int ready = ::poll(&socket, 1, static_cast<int>(std::min<long long>(left.count(), 1000)));
    // What the server says meanwhile (a refused row) is read, so that it
    // never waits on us to read while we wait on it.
    if ((ready < 0 && errno != EINTR) ||
        (ready > 0 && (socket.revents & POLLIN) != 0 && PQconsumeInput(conn) != 1)) {
      status = drop_connection_with_libpq_error();
      return false;
    }
  }
}

Status PostgresSession::perform(Operation& op) {
  // Each round either settles the operation or marks one more write failed,
  // so this ends after at most one round per logged write.
  for (;;) {
    Status status;
    if (send_round(op, status) != Round::write_failed) return status;
  }
}

bool PostgresSession::send_command(const char* sql) {
  return PQsendQueryParams(conn_.get(), sql, 0, nullptr, nullptr, nullptr, nullptr, 0) == 1;
}

bool PostgresSession::send_prepare(StatementText& statement) {
  // Named now, so that later uses in the same pipeline refer to it; a prepare
  // that fails or is skipped loses the name again.
  statement.prepared_name = "qx_" + std::to_string(++prepared_count_);
  return PQsendPrepare(conn_.get(), statement.prepared_name.c_str(), statement.server_text.c_str(),
                       static_cast<int>(statement.parameter_count), nullptr) == 1;
}

bool PostgresSession::send_prepared(const StatementText& statement, const Parameters& parameters) {
  parameter_pointers_.clear();
  for (const auto offset : parameters.offsets) {
    parameter_pointers_.push_back(offset == kNullOffset ? nullptr
                                                        : parameters.values.data() + offset);
  }
  return PQsendQueryPrepared(conn_.get(), statement.prepared_name.c_str(),
                             static_cast<int>(parameter_pointers_.size()),
                             parameter_pointers_.data(), nullptr, nullptr, 0) == 1;
}

bool PostgresSession::send_items(Operation& op) {
  items_.clear();
  const bool open = server_ == ServerTransaction::open;
  if (server_ == ServerTransaction::aborted || (op.kind == Operation::Kind::rollback && open)) {
    items_.push_back({Role::rollback});
    if (!send_command("ROLLBACK")) return false;
  }
  if (op.kind != Operation::Kind::rollback && !send_transaction(op, open)) return false;
  return items_.empty() || PQpipelineSync(conn_.get()) == 1;
}

bool PostgresSession::send_transaction(Operation& op, bool open) {
  bool writes_pending = false;
  for (auto i = applied_; i < log_.size() && !writes_pending; ++i) writes_pending = !log_[i].failed;
  // A flush opens the transaction that the rows copied after it go into.
  if (!open &&
      (writes_pending || op.kind == Operation::Kind::query || op.kind == Operation::Kind::flush)) {
    items_.push_back({Role::begin});
    if (!send_command("BEGIN")) return false;
  }
  for (auto i = applied_; i < log_.size(); ++i) {
    LoggedWrite& write = log_[i];
    if (write.failed) continue;
    if (write.account_values) {
      // Counts the failure sink keeps may have moved since it was logged.
      std::vector<Bind> binds;
      write.account_values(binds);
      write.parameters = parameters_from(binds);
    }
    if (write.statement->prepared_name.empty()) {
      items_.push_back({Role::prepare_write, i, write.statement});
      if (!send_prepare(*write.statement)) return false;
    }
    items_.push_back({Role::write, i});
    if (!send_prepared(*write.statement, write.parameters)) return false;
  }
  if (op.kind == Operation::Kind::query) {
    if (op.statement->prepared_name.empty()) {
      items_.push_back({Role::prepare_operation, 0, op.statement});
      if (!send_prepare(*op.statement)) return false;
    }
    items_.push_back({Role::operation});
    if (!send_prepared(*op.statement, op.parameters)) return false;
  }
  if (op.kind == Operation::Kind::commit && (open || writes_pending)) {
    items_.push_back({Role::commit});
    if (!send_command("COMMIT")) return false;
  }
  return true;
}

std::string PostgresSession::error_text(const PGresult* result) const {
  if (const char* primary = PQresultErrorField(result, PG_DIAG_MESSAGE_PRIMARY)) {
    return on_one_line(primary);
  }
  return on_one_line(first_line(PQresultErrorMessage(result)));
}

Status PostgresSession::failure_from(const PGresult* result) const {
  const char* sqlstate_field = PQresultErrorField(result, PG_DIAG_SQLSTATE);
  const char* table_field = PQresultErrorField(result, PG_DIAG_TABLE_NAME);
  const std::string_view sqlstate = sqlstate_field != nullptr ? sqlstate_field : "";
  // The server names the table of an integrity violation; of any other
  // failure it is no constraint's.
  const std::string_view table =
      table_field != nullptr && sqlstate.starts_with("23") ? table_field : "";
  return Status::failure(postgres_error_number(sqlstate), error_text(result),
                         postgres_failure_class(sqlstate), table);
}

bool PostgresSession::connection_lost(const PGresult* result) const {
  if (PQstatus(conn_.get()) == CONNECTION_BAD) return true;
  // A FATAL error is the server ending the session, whatever its code.
  const char* severity = PQresultErrorField(result, PG_DIAG_SEVERITY_NONLOCALIZED);
  if (severity != nullptr && std::string_view(severity) == "FATAL") return true;
  const char* sqlstate = PQresultErrorField(result, PG_DIAG_SQLSTATE);
  return sqlstate != nullptr && postgres_connection_lost(sqlstate);
}

void PostgresSession::read_operation_result(Operation& op, const PGresult* result,
                                            Status& status) const {
  if (op.kind != Operation::Kind::query) return;
  const int rows = PQntuples(result);
  if (op.rows != nullptr) {
    const int columns = PQnfields(result);
    op.rows->reset(static_cast<std::size_t>(columns));
    for (int row = 0; row < rows; ++row) {
      for (int column = 0; column < columns; ++column) {
        op.rows->add(PQgetisnull(result, row, column) != 0
                         ? std::nullopt
                         : std::optional<std::string_view>(std::string_view(
                               PQgetvalue(result, row, column),
                               static_cast<std::size_t>(PQgetlength(result, row, column)))));
      }
    }
  } else if (rows > 1) {
    status = too_many_rows();
  } else if (rows == 1 && PQnfields(result) > 0 && PQgetisnull(result, 0, 0) == 0) {
    op.value.emplace(PQgetvalue(result, 0, 0), static_cast<std::size_t>(PQgetlength(result, 0, 0)));
  }
}

Status PostgresSession::drop_silent_server() {
  return drop_connection("the server did not answer within " +
                         std::to_string(target_.answer_timeout.count()) + " s");
}

Status PostgresSession::drop_connection_with_libpq_error() {
  // A send that failed on a connection the server closed leaves its last
  // message unread: read it, so that a session the server ended is told
  // with the server's reason. Only what needs no wait is taken.
  PQconsumeInput(conn_.get());
  for (int taken = 0; taken < 4 && server_farewell_.empty() && PQisBusy(conn_.get()) == 0;
       ++taken) {
    const Result result(PQgetResult(conn_.get()), &PQclear);
    const char* severity =
        result ? PQresultErrorField(result.get(), PG_DIAG_SEVERITY_NONLOCALIZED) : nullptr;
    if (severity != nullptr && std::string_view(severity) == "FATAL") {
      server_farewell_ = error_text(result.get());
    }
  }
  if (!server_farewell_.empty()) return drop_connection(on_one_line(server_farewell_));
  return drop_connection(on_one_line(first_line(PQerrorMessage(conn_.get()))));
}

PostgresSession::ItemOutcome PostgresSession::read_item_result(Operation& op, const Item& item,
                                                               Status& status, Status& failure) {
  bool timed_out = false;
  const Result result = next_answer(timed_out);
  if (result == nullptr) {
    status = timed_out ? drop_silent_server() : drop_connection_with_libpq_error();
    return ItemOutcome::lost;
  }
  auto outcome = ItemOutcome::succeeded;
  switch (PQresultStatus(result.get())) {
    case PGRES_COMMAND_OK:
    case PGRES_TUPLES_OK:
    case PGRES_EMPTY_QUERY:
      if (item.role == Role::operation) read_operation_result(op, result.get(), status);
      break;
    case PGRES_PIPELINE_ABORTED:
      break;
    case PGRES_FATAL_ERROR:
      if (connection_lost(result.get())) {
        status = drop_connection(error_text(result.get()));
        return ItemOutcome::lost;
      }
      failure = failure_from(result.get());
      outcome = ItemOutcome::failed;
      break;
    default:
      // Nothing the session sends answers otherwise (a COPY would); the
      // protocol state is unknown from here on.
      status = drop_connection("unexpected answer from the server");
      return ItemOutcome::lost;
  }
  // Each item's results end with a null result.
  if (next_answer(timed_out) != nullptr) {
    status = drop_connection("unexpected answer from the server");
    return ItemOutcome::lost;
  }
  return outcome;
}

bool PostgresSession::read_sync(Status& status) {
  if (items_.empty()) return true;
  bool timed_out = false;
  const Result sync = next_answer(timed_out);
  if (sync != nullptr && PQresultStatus(sync.get()) == PGRES_PIPELINE_SYNC) return true;
  status = timed_out         ? drop_silent_server()
           : sync == nullptr ? drop_connection_with_libpq_error()
                             : drop_connection("unexpected answer from the server");
  return false;
}

void PostgresSession::note_server_transaction() {
  switch (PQtransactionStatus(conn_.get())) {
    case PQTRANS_IDLE:
      server_ = ServerTransaction::none;
      break;
    case PQTRANS_INTRANS:
      server_ = ServerTransaction::open;
      break;
    default:
      server_ = ServerTransaction::aborted;
      break;
  }
}

PostgresSession::Round PostgresSession::round_succeeded(const Operation& op) {
  applied_ = log_.size();
  if (op.kind == Operation::Kind::commit || op.kind == Operation::Kind::rollback) {
    forget_transaction();
  }
  return Round::done;
}

PostgresSession::Round PostgresSession::settle_failure(const Operation& op, std::size_t failed_item,
                                                       const Status& failure, Status& status) {
  // The prepares from the failing item on never happened.
  for (auto i = failed_item; i < items_.size(); ++i) {
    if (items_[i].prepared != nullptr) items_[i].prepared->prepared_name.clear();
  }
  applied_ = 0;
  const Item& item = items_[failed_item];
  const bool write = item.role == Role::write || item.role == Role::prepare_write;
  if (copied_) {
    // The copied rows cannot be sent again: nothing of the transaction is
    // kept. A commit's failure ends it; any other leaves it failed until
    // the caller rolls back. The server rolls back what it holds before
    // the next transaction.
    log_.clear();
    status = failure;
    if (op.kind == Operation::Kind::commit || op.kind == Operation::Kind::rollback) {
      copied_ = false;
    } else {
      failed_transaction_ = failure;
    }
    return Round::finished_with_failure;
  }
  if (write && !log_[item.write].account_values && failure.row_failure() && !row_failures_fail_) {
    // The row's own failure: the write undoes only itself.
    log_[item.write].failed = true;
    report_deferred_failure(failure);
    return Round::write_failed;
  }
  if (write) {
    // An account write that failed, or a failure that is not the row's own:
    // nothing of the transaction may be kept, and the operation that sent
    // it fails with it. The server's transaction is aborted and is rolled
    // back before the next one.
    log_.clear();
    status = failure;
    return Round::finished_with_failure;
  }
  if (op.kind == Operation::Kind::commit) {
    // A failed COMMIT has rolled the transaction back.
    log_.clear();
  }
  status = failure;
  return Round::finished_with_failure;
}

PostgresSession::Round PostgresSession::send_round(Operation& op, Status& status) {
  deadline_ = std::chrono::steady_clock::now() + target_.answer_timeout;
  if (!send_items(op)) {
    status = drop_connection_with_libpq_error();
    return Round::lost;
  }
  // The server answers every item after the first failure as aborted, so at
  // most one item fails per round.
  std::optional<std::size_t> failed_item;
  Status failure;
  for (std::size_t i = 0; i < items_.size(); ++i) {
    switch (read_item_result(op, items_[i], status, failure)) {
      case ItemOutcome::lost:
        return Round::lost;
      case ItemOutcome::failed:
        failed_item = i;
        break;
      case ItemOutcome::succeeded:
        break;
    }
  }
  if (!read_sync(status)) return Round::lost;
  note_server_transaction();
  if (!failed_item) return round_succeeded(op);
  return settle_failure(op, *failed_item, failure, status);
}

}  // namespace qx::db
