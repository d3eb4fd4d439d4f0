#include "db/sqlite_session.h"

#include <sys/stat.h>

#include <sqlite3.h>

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

#include "db/backend_errors.h"
#include "db/statement_rewrite.h"
#include "db/statement_rules.h"
#include "schema/schema.h"

namespace qx::db {
namespace {

constexpr const char* kPragmas[] = {
    // First, so that the other pragmas already wait for a busy file.
    "PRAGMA busy_timeout=30000",
    "PRAGMA journal_mode=WAL",
    // A commit is on disk before the loader moves the file it came from.
    "PRAGMA synchronous=FULL",
};

const std::string& draw_statement() {
  static const std::string text = "UPDATE " + std::string(schema::kSqliteSequenceTable) +
                                  " SET last_value=last_value+1 WHERE sequence_name=:b0" +
                                  " RETURNING last_value";
  return text;
}

const std::string& draw_many_statement() {
  static const std::string text = "UPDATE " + std::string(schema::kSqliteSequenceTable) +
                                  " SET last_value=last_value+:b0 WHERE sequence_name=:b1" +
                                  " RETURNING last_value";
  return text;
}

const std::string& restore_draw_statement() {
  static const std::string text = "UPDATE " + std::string(schema::kSqliteSequenceTable) +
                                  " SET last_value=max(last_value,:b0) WHERE sequence_name=:b1";
  return text;
}

// Sequence names are identifiers, which the server databases fold; the rows
// hold them in upper case.
std::string sequence_key(std::string_view name) {
  std::string key(name);
  std::transform(key.begin(), key.end(), key.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return key;
}

// "'a','b','c'": names quoted for an IN list; the names are the schema's own.
std::string quoted_list(const std::vector<std::string>& names) {
  std::string list;
  for (const auto& name : names) list += (list.empty() ? "'" : ",'") + name + "'";
  return list;
}

}  // namespace

void SqliteSession::ConnectionDeleter::operator()(sqlite3* db) const {
  sqlite3_close(db);
}

void SqliteSession::StatementDeleter::operator()(sqlite3_stmt* statement) const {
  sqlite3_finalize(statement);
}

SqliteSession::SqliteSession(std::string path, std::string description)
    : path_(std::move(path)), description_(std::move(description)) {}

SqliteSession::~SqliteSession() {
  close();
}

void SqliteSession::close() {
  if (db_ == nullptr) return;
  if (in_transaction_ || !draws_.empty()) end_transaction_with_rollback();
  statements_.clear();
  db_.reset();
  in_transaction_ = false;
  transaction_lost_.reset();
}

Status SqliteSession::failure_from_db(int code) const {
  const int extended = db_ != nullptr ? sqlite3_extended_errcode(db_.get()) : code;
  const char* message = db_ != nullptr ? sqlite3_errmsg(db_.get()) : sqlite3_errstr(code);
  return Status::failure(sqlite_error_number(extended, message), message,
                         sqlite_failure_class(extended),
                         sqlite_constraint_table(extended, message));
}

Status SqliteSession::exec_plain(const char* sql) {
  const int rc = sqlite3_exec(db_.get(), sql, nullptr, nullptr, nullptr);
  return rc == SQLITE_OK ? Status::success() : failure_from_db(rc);
}

Status SqliteSession::exec_kept(std::string_view sql) {
  sqlite3_stmt* statement = nullptr;
  if (auto status = prepared(sql, statement); status.failed()) return status;
  const int rc = sqlite3_step(statement);
  sqlite3_reset(statement);
  return rc == SQLITE_DONE ? Status::success() : failure_from_db(rc);
}

Status SqliteSession::connect() {
  close();
  // An empty path would open a private temporary database, and rows loaded
  // into it would be gone with the process.
  if (path_.empty()) return Status::failure(-SQLITE_CANTOPEN, "no database file named");
  sqlite3* opened = nullptr;
  // The connection is used by one thread only: without its own mutex, no
  // bind or step takes a lock (a few per cent of a batch).
  const int rc =
      sqlite3_open_v2(path_.c_str(), &opened,
                      SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
  db_.reset(opened);  // also after a failed open, which may leave a handle to close
  Status status = rc == SQLITE_OK ? run_pragmas_and_schema() : failure_from_db(rc);
  if (status.failed()) {
    statements_.clear();
    db_.reset();
    return status;
  }
  database_id_ = file_id(path_);
  log_id_ = file_id(path_ + "-wal");
  return status;
}

std::optional<SqliteSession::FileId> SqliteSession::file_id(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return std::nullopt;
  return FileId{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
}

std::string SqliteSession::storage_problem() {
  if (!connected()) return {};
  if (file_id(path_) != database_id_) {
    return "its file " + path_ + " was removed or replaced while the loader has it open";
  }
  // The log appears with the first write of a new file.
  const std::string log = path_ + "-wal";
  const auto log_now = file_id(log);
  if (!log_id_) log_id_ = log_now;
  if (log_now != log_id_) {
    return "its write-ahead log " + log + " was removed or replaced while the loader has it open";
  }
  return {};
}

Status SqliteSession::schema_complete(bool& complete) {
  static const auto objects = schema::schema_objects(schema::Dialect::sqlite);
  static const std::string count_objects =
      "SELECT count(*) FROM sqlite_master WHERE name IN (" + quoted_list(objects) + ")";
  static const std::string count_sequences =
      "SELECT count(*) FROM " + std::string(schema::kSqliteSequenceTable) +
      " WHERE sequence_name IN (" + quoted_list(schema::sequences()) + ")";
  complete = false;
  std::int64_t count = 0;
  if (auto status = query_integer(count_objects, {}, count); status.failed()) return status;
  if (count != static_cast<std::int64_t>(objects.size())) return Status::success();
  if (auto status = query_integer(count_sequences, {}, count); status.failed()) return status;
  complete = count == static_cast<std::int64_t>(schema::sequences().size());
  return Status::success();
}

Status SqliteSession::run_pragmas_and_schema() {
  for (const char* pragma : kPragmas) {
    if (auto status = exec_plain(pragma); status.failed()) return status;
  }
  // A new file, or one written by an older loader, gets every missing table,
  // index and sequence, in the transaction the check opened. The DDL is
  // idempotent, so two loaders that find the same file at once do no harm.
  // A complete file is only read, so a read-only one still connects.
  bool complete = false;
  if (auto status = schema_complete(complete); status.failed()) {
    end_transaction_with_rollback();
    return status;
  }
  if (!complete) {
    for (const auto& statement : schema::ddl(schema::Dialect::sqlite)) {
      if (auto status = exec_plain(statement.c_str()); status.failed()) {
        end_transaction_with_rollback();
        return status;
      }
    }
  }
  return commit();
}

Status SqliteSession::begin_if_needed() {
  if (in_transaction_) return Status::success();
  if (auto status = exec_kept("BEGIN IMMEDIATE"); status.failed()) return status;
  in_transaction_ = true;
  return Status::success();
}

Status SqliteSession::prepared(std::string_view sql, sqlite3_stmt*& statement) {
  if (auto found = statements_.find(sql); found != statements_.end()) {
    statement = found->second.get();
    return Status::success();
  }
  const auto rewritten = rewrite_statement(sql, StatementDialect::sqlite);
  sqlite3_stmt* fresh = nullptr;
  const int rc =
      sqlite3_prepare_v3(db_.get(), rewritten.text.c_str(), static_cast<int>(rewritten.text.size()),
                         SQLITE_PREPARE_PERSISTENT, &fresh, nullptr);
  if (rc != SQLITE_OK) {
    sqlite3_finalize(fresh);
    return failure_from_db(rc);
  }
  statements_.emplace(std::string(sql), Statement(fresh));
  statement = fresh;
  return Status::success();
}

Status SqliteSession::bind_all(sqlite3_stmt* statement, std::span<const Bind> binds) {
  if (auto status = check_bind_count(
          static_cast<std::size_t>(sqlite3_bind_parameter_count(statement)), binds.size());
      status.failed()) {
    return status;
  }
  // Texts that need converting are converted first, all into one buffer
  // that stays put until the next statement's binds: SQLite then reads
  // every text in place, as it reads the caller's own bytes, instead of
  // copying each converted value.
  converted_.clear();
  converted_at_.assign(binds.size(), {kAsIs, 0});
  for (std::size_t i = 0; i < binds.size(); ++i) {
    const Bind& bind = binds[i];
    if (bind.kind() != Bind::Kind::text || bound_as_is(bind.as_text())) continue;
    const std::size_t start = converted_.size();
    append_bound_text(bind.as_text(), converted_);
    converted_at_[i] = {start, converted_.size() - start};
  }
  for (std::size_t i = 0; i < binds.size(); ++i) {
    const int index = static_cast<int>(i) + 1;
    const Bind& bind = binds[i];
    int rc = SQLITE_OK;
    switch (bind.kind()) {
      case Bind::Kind::null:
        rc = sqlite3_bind_null(statement, index);
        break;
      case Bind::Kind::integer:
        rc = sqlite3_bind_int64(statement, index, bind.as_integer());
        break;
      case Bind::Kind::real:
        rc = sqlite3_bind_double(statement, index, bind.as_real());
        break;
      case Bind::Kind::text: {
        // The caller's bytes, or their conversion, outlive the statement run.
        const auto [start, size] = converted_at_[i];
        const std::string_view text =
            start == kAsIs ? bind.as_text() : std::string_view(converted_).substr(start, size);
        rc = sqlite3_bind_text64(statement, index, text.data(), text.size(), SQLITE_STATIC,
                                 SQLITE_UTF8);
        break;
      }
    }
    if (rc != SQLITE_OK) return failure_from_db(rc);
  }
  return Status::success();
}

void SqliteSession::note_failure(const Status& status) {
  // SQLite undoes a failing statement alone, except on a few errors (I/O, a
  // full disk) where it rolls the whole transaction back.
  if (in_transaction_ && sqlite3_get_autocommit(db_.get()) != 0) {
    in_transaction_ = false;
    if (!transaction_lost_) transaction_lost_ = status;
  }
}

Status SqliteSession::run(std::string_view sql, std::span<const Bind> binds, Rows* rows,
                          std::size_t most_rows) {
  if (!connected()) return not_connected();
  sqlite3_stmt* statement = nullptr;
  if (auto status = prepared(sql, statement); status.failed()) return status;
  if (auto status = begin_if_needed(); status.failed()) return status;
  if (auto status = bind_all(statement, binds); status.failed()) {
    sqlite3_reset(statement);
    return status;
  }
  if (rows != nullptr) rows->reset(static_cast<std::size_t>(sqlite3_column_count(statement)));
  Status status;
  std::size_t fetched = 0;
  for (;;) {
    const int rc = sqlite3_step(statement);
    if (rc == SQLITE_DONE) break;
    if (rc != SQLITE_ROW) {
      status = failure_from_db(rc);
      break;
    }
    if (rows == nullptr) continue;  // a write that returns rows: run it to the end
    if (++fetched > most_rows) {
      status = too_many_rows();
      break;
    }
    for (std::size_t column = 0; column < rows->columns(); ++column) {
      const int index = static_cast<int>(column);
      const auto* text = sqlite3_column_text(statement, index);
      rows->add(text == nullptr
                    ? std::nullopt
                    : std::optional<std::string_view>(std::string_view(
                          reinterpret_cast<const char*>(text),
                          static_cast<std::size_t>(sqlite3_column_bytes(statement, index)))));
    }
  }
  sqlite3_reset(statement);
  if (status.failed()) {
    note_failure(status);
    if (rows != nullptr) rows->reset(0);
  }
  return status;
}

Status SqliteSession::run_for_value(std::string_view sql, std::span<const Bind> binds,
                                    std::optional<std::string>& value) {
  Rows rows;
  if (auto status = run(sql, binds, &rows); status.failed()) return status;
  if (rows.empty()) return null_fetched();
  if (!rows.is_null(0, 0)) value.emplace(rows.text(0, 0));
  return Status::success();
}

Status SqliteSession::execute(std::string_view sql, std::span<const Bind> binds) {
  return run(sql, binds, nullptr);
}

Status SqliteSession::query_integer(std::string_view sql, std::span<const Bind> binds,
                                    std::int64_t& out) {
  std::optional<std::string> value;
  if (auto status = run_for_value(sql, binds, value); status.failed()) return status;
  return fetched_integer(value, out);
}

Status SqliteSession::query_text(std::string_view sql, std::span<const Bind> binds,
                                 std::string& out) {
  std::optional<std::string> value;
  if (auto status = run_for_value(sql, binds, value); status.failed()) {
    out.clear();
    return status;
  }
  return fetched_text(value, out);
}

Status SqliteSession::query_rows(std::string_view sql, std::span<const Bind> binds, Rows& out) {
  out.reset(0);
  return run(sql, binds, &out, static_cast<std::size_t>(-1));
}

Status SqliteSession::next_value(std::string_view sequence, std::int64_t& out) {
  return next_values(sequence, {&out, 1});
}

Status SqliteSession::next_values(std::string_view sequence, std::span<std::int64_t> out) {
  if (out.empty()) return Status::success();
  const auto key = sequence_key(sequence);
  const auto count = static_cast<std::int64_t>(out.size());
  std::optional<std::string> row;
  Status status;
  if (count == 1) {
    const Bind binds[] = {Bind::text(key)};
    status = run_for_value(draw_statement(), binds, row);
  } else {
    const Bind binds[] = {Bind::integer(count), Bind::text(key)};
    status = run_for_value(draw_many_statement(), binds, row);
  }
  if (status.code == kNullFetched) {
    return Status::failure(kSequenceMissing);
  }
  if (status.failed()) return status;
  std::int64_t last = 0;
  if (status = fetched_integer(row, last); status.failed()) return status;
  auto& highest = draws_[key];
  highest = std::max(highest, last);
  for (std::int64_t i = 0; i < count; ++i) out[static_cast<std::size_t>(i)] = last - count + 1 + i;
  return Status::success();
}

Status SqliteSession::commit() {
  if (!connected()) return not_connected();
  if (transaction_lost_) {
    const Status lost = *transaction_lost_;
    end_transaction_with_rollback();
    return lost;
  }
  if (!in_transaction_) return Status::success();
  if (auto status = exec_kept("COMMIT"); status.failed()) {
    end_transaction_with_rollback();
    return status;
  }
  in_transaction_ = false;
  draws_.clear();
  ++commits_made_;
  return Status::success();
}

Status SqliteSession::rollback() {
  if (!connected()) return not_connected();
  end_transaction_with_rollback();
  return Status::success();
}

void SqliteSession::end_transaction_with_rollback() {
  // A ROLLBACK that fails leaves the transaction open; the next BEGIN then
  // fails, and that failure is the one reported.
  if (sqlite3_get_autocommit(db_.get()) == 0) (void)exec_plain("ROLLBACK");
  in_transaction_ = false;
  transaction_lost_.reset();
  restore_sequence_draws();
}

void SqliteSession::restore_sequence_draws() {
  if (draws_.empty()) return;
  const auto draws = std::move(draws_);
  draws_.clear();
  // Best effort: when even this fails the disk is in trouble, and the worst
  // outcome is a value handed out again whose first rows were never stored.
  for (const auto& [name, value] : draws) {
    const Bind binds[] = {Bind::integer(value), Bind::text(name)};
    (void)run(restore_draw_statement(), binds, nullptr);
  }
  if (exec_plain("COMMIT").failed()) (void)exec_plain("ROLLBACK");
  in_transaction_ = false;
  transaction_lost_.reset();
}

}  // namespace qx::db
