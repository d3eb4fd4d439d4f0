#include "record_loader/record_load.h"

#include "db/array_literal.h"
#include "db/report_sql_error.h"
#include "os/console.h"
#include "records/record_statements.h"

namespace qx::record_loader {

std::string why_not_loaded(LoadOutcome outcome) {
  switch (outcome) {
    case LoadOutcome::key_not_drawn:
      return "no file key could be drawn";
    case LoadOutcome::connection_lost:
      return "the database connection was lost";
    case LoadOutcome::systemic_failure:
      return "the database could not take it";
    case LoadOutcome::commit_failed:
      return "its commit failed";
    case LoadOutcome::commit_refused:
      return "its commit was refused for the file's own data";
    case LoadOutcome::loaded_elsewhere:
      return "its load history shows another instance loaded it";
    case LoadOutcome::commit_unconfirmed:
      return "the database connection was lost during its commit";
    case LoadOutcome::committed:
      break;
  }
  return {};
}

namespace {

// The most rows one insert carries, and the most values: both databases
// cap a statement's parameters (SQLite at 32766 by default).
constexpr std::size_t kMostRowsPerInsert = 64;
constexpr std::size_t kMostValuesPerInsert = 30000;

}  // namespace

RecordLoad::RecordLoad(db::Session& session, records::RecordSet& records, records::LoadPlan plan,
                       os::Console console)
    : session_(session), records_(records), plan_(plan), console_(console) {
  for (const auto& table : records_.tables()) {
    inserts_.push_back(insert_statement(table.type()));
    array_inserts_.push_back(array_insert_statement(table.type()));
  }
  multi_row_inserts_.resize(inserts_.size());
  held_.resize(inserts_.size());
  session_.set_failure_sink([this](const db::Status& status) {
    report_sql_error(status);
    // A row sent ahead was refused after all.
    --account_.progress.rows_stored;
    ++account_.progress.rows_rejected;
  });
}

LoadOutcome RecordLoad::load_file(std::string_view file_name, bool verbose,
                                  history::HistoryEntry history) {
  std::optional<LoadOutcome> stopped_at =
      write_rows(file_name, verbose, history, account_, Writing::alone);
  LoadOutcome outcome = stopped_at ? *stopped_at : LoadOutcome::committed;
  if (!stopped_at) {
    db::Status committed = session_.commit();
    commit_failure_ = committed;
    if (committed.failed()) {
      report_sql_error(committed);
      outcome = history::is_conflict(committed)                   ? LoadOutcome::loaded_elsewhere
                : committed.row_failure() && session_.connected() ? LoadOutcome::commit_refused
                : session_.connected()                            ? LoadOutcome::commit_failed
                                                                  : LoadOutcome::commit_unconfirmed;
    }
  }
  // A commit that fails has undone the transaction already; the other
  // failures leave it open.
  // A rollback that fails has nothing left to undo (the connection is gone).
  if (outcome != LoadOutcome::committed) (void)session_.rollback();
  clear_records(verbose);
  return outcome;
}

bool RecordLoad::write_file(std::string_view file_name, bool verbose, history::HistoryEntry history,
                            FileAccount& account, std::int64_t key) {
  const bool written = !write_rows(file_name, verbose, history, account, Writing::in_batch, key);
  clear_records(verbose);
  return written;
}

LoadOutcome RecordLoad::commit_batch() {
  const bool written = send_held_batch();
  drop_batch();
  if (!written) return stopped();
  commit_failure_ = session_.commit();
  if (commit_failure_.ok()) return LoadOutcome::committed;
  return session_.connected() ? LoadOutcome::commit_failed : LoadOutcome::commit_unconfirmed;
}

bool RecordLoad::send_held_batch() {
  if (held_files_.empty()) return true;
  // The files' history rows first, then the rows, then the header updates,
  // which find their header rows in by then: each statement for all files.
  std::vector<const history::FileIdentity*> identities;
  std::vector<const history::LoadProgress*> accounts;
  db::ArrayLiteral keys;
  for (const HeldFile& file : held_files_) {
    if (file.history.history != nullptr) {
      identities.push_back(file.history.file);
      accounts.push_back(&file.account->progress);
    }
    keys.add(db::Bind::integer(file.key));
  }
  history::LoadHistory* history = held_files_.front().history.history;
  if (history != nullptr &&
      !account_step(history->write_loaded_entries(identities, accounts), Writing::in_batch)) {
    return false;
  }
  for (std::size_t t = 0; t < held_.size(); ++t) {
    if (!send_held_rows(t)) return false;
  }
  const db::Bind key_bind = db::Bind::text(keys.text());
  return step(session_.execute(plan_.header_update_all, {&key_bind, 1}), Writing::in_batch);
}

void RecordLoad::drop_batch() {
  for (HeldRows& rows : held_) rows = {};
  held_files_.clear();
}

std::optional<LoadOutcome> RecordLoad::write_rows(std::string_view file_name, bool verbose,
                                                  history::HistoryEntry history,
                                                  FileAccount& account, Writing writing,
                                                  std::int64_t key) {
  account = {};
  account.progress.state = history::LoadProgress::State::loading;
  // A batch writes the history row when it sends the file's rows.
  if (history.history != nullptr && writing == Writing::alone) {
    db::Status opened = history.history->open_entry(*history.file);
    if (!account_step(opened, writing)) {
      return history::is_conflict(opened) ? LoadOutcome::loaded_elsewhere : stopped();
    }
  }
  if (key == 0 && history.claimed != nullptr) key = history.claimed->drawn_key;
  db::Status drawn = key != 0 ? db::Status::success() : session_.next_value(plan_.sequence, key);
  if (drawn.failed()) {
    if (writing == Writing::alone) report_sql_error(drawn);
    if (history::is_conflict(drawn)) return LoadOutcome::loaded_elsewhere;
    return session_.connected() ? LoadOutcome::key_not_drawn : LoadOutcome::connection_lost;
  }
  account.key = key;
  account.progress.key = key;
  if (writing == Writing::in_batch) return write_in_batch(file_name, verbose, history, account);

  for (std::size_t t = 0; t < records_.tables().size(); ++t) {
    if (!insert_rows(t, file_name, verbose, account)) return stopped();
  }
  return finish_rows(key, history, account);
}

std::optional<LoadOutcome> RecordLoad::write_in_batch(std::string_view file_name, bool verbose,
                                                      history::HistoryEntry history,
                                                      FileAccount& account) {
  // In a batch every row goes through or the batch is given up, so the
  // file's account is known before its first row: its history row is
  // written once, first, already in its final state.
  for (const auto& table : records_.tables()) {
    const std::size_t count = table.record_count();
    account.progress.rows_stored += static_cast<std::int64_t>(count);
    if (count > 0) account.tally.stored(table.type().table, static_cast<std::int64_t>(count));
  }
  account.progress.state = history::LoadProgress::State::loaded;
  // Held back, the history rows go first in commit_batch, all in one.
  if (session_.binds_arrays()) {
    held_files_.push_back({account.key, history, &account});
  } else if (history.history != nullptr &&
             !account_step(history.history->write_loaded_entry(*history.file, account.progress),
                           Writing::in_batch)) {
    return stopped();
  }
  for (std::size_t t = 0; t < records_.tables().size(); ++t) {
    const bool written = session_.binds_arrays()
                             ? hold_rows(t, file_name, verbose, account.key)
                             : insert_together(t, file_name, verbose, account.key);
    if (!written) return stopped();
  }
  // Held rows are sent at the commit, and the header update after them.
  if (session_.binds_arrays()) return std::nullopt;
  db::Bind key_bind = db::Bind::integer(account.key);
  if (!step(session_.execute(plan_.header_update, {&key_bind, 1}), Writing::in_batch)) {
    return stopped();
  }
  return std::nullopt;
}

std::optional<LoadOutcome> RecordLoad::finish_rows(std::int64_t key, history::HistoryEntry history,
                                                   FileAccount& account) {
  constexpr Writing writing = Writing::alone;
  db::Bind key_bind = db::Bind::integer(key);
  if (!step(session_.execute(plan_.header_update, {&key_bind, 1}), writing)) return stopped();
  if (history.history != nullptr) {
    account.progress.state = history::LoadProgress::State::loaded;
    db::Status written = history.history->write_progress(*history.file, account.progress);
    if (!account_step(written, writing)) return stopped();
  }
  return std::nullopt;
}

bool RecordLoad::insert_rows(std::size_t t, std::string_view file_name, bool verbose,
                             FileAccount& account) {
  constexpr Writing writing = Writing::alone;
  const records::RecordTable& table = records_.table(t);
  const std::size_t count = table.record_count();
  for (std::size_t row = 0; row < count; ++row) {
    if (verbose) announce_row(table, row);
    row_binds(table, row, account.key, file_name, binds_);
    db::Status inserted = session_.execute(inserts_[t], binds_);
    if (!step(inserted, writing)) return false;
    ++(inserted.ok() ? account.progress.rows_stored : account.progress.rows_rejected);
    if (inserted.ok()) {
      account.tally.stored(table.type().table);
    } else {
      const auto line = static_cast<std::int64_t>(table.line_of(row));
      account.tally.rejected(line);
      if (account.progress.first_rejected_line == 0) account.progress.first_rejected_line = line;
    }
  }
  return true;
}

bool RecordLoad::insert_together(std::size_t t, std::string_view file_name, bool verbose,
                                 std::int64_t key) {
  const records::RecordTable& table = records_.table(t);
  const std::size_t count = table.record_count();
  if (count == 0) return true;
  row_binds(table, 0, key, file_name, row_binds_);
  const std::size_t most = most_rows_per_insert(row_binds_.size());
  for (std::size_t row = 0; row < count;) {
    // The largest power of two that fits, again and again: few statement
    // texts, each prepared once.
    std::size_t rows = most;
    while (rows > count - row) rows /= 2;
    binds_.clear();
    for (std::size_t r = row; r < row + rows; ++r) {
      if (verbose) announce_row(table, r);
      row_binds(table, r, key, file_name, row_binds_);
      binds_.insert(binds_.end(), row_binds_.begin(), row_binds_.end());
    }
    if (!step(session_.execute(multi_row_insert(t, rows), binds_), Writing::in_batch)) {
      return false;
    }
    row += rows;
  }
  return true;
}

bool RecordLoad::hold_rows(std::size_t t, std::string_view file_name, bool verbose,
                           std::int64_t key) {
  // The rows of a type wait to travel as arrays in one insert across the
  // batch's files: each value goes straight into its column's array.
  const records::RecordTable& table = records_.table(t);
  HeldRows& held = held_[t];
  for (std::size_t row = 0; row < table.record_count(); ++row) {
    if (verbose) announce_row(table, row);
    row_binds(table, row, key, file_name, row_binds_);
    held.columns.resize(row_binds_.size());
    for (std::size_t column = 0; column < row_binds_.size(); ++column) {
      held.columns[column].add(row_binds_[column]);
    }
  }
  return true;
}

std::size_t RecordLoad::most_rows_per_insert(std::size_t values_per_row) {
  std::size_t most = kMostRowsPerInsert;
  while (most > 1 && most * values_per_row > kMostValuesPerInsert) most /= 2;
  return most;
}

bool RecordLoad::send_held_rows(std::size_t t) {
  HeldRows& held = held_[t];
  if (held.columns.empty() || held.columns.front().size() == 0) return true;
  // One statement for all of them: a column's values as one array.
  binds_.clear();
  for (db::ArrayLiteral& column : held.columns) binds_.push_back(db::Bind::text(column.text()));
  const bool sent = step(session_.execute(array_inserts_[t], binds_), Writing::in_batch);
  held = {};
  return sent;
}

void RecordLoad::announce_row(const records::RecordTable& table, std::size_t row) const {
  std::string line = "\n";
  line += table.type().insert_label;
  line += " Data Insert. Total Record(s) = " + std::to_string(table.record_count()) +
          " . Loading Record = " + std::to_string(row + 1) + " \n";
  console_.print(line);
}

const std::string& RecordLoad::multi_row_insert(std::size_t t, std::size_t rows) {
  if (rows == 1) return inserts_[t];
  // Index k holds the insert of 2^(k+1) rows. Placeholders bind in order of
  // appearance, so every row repeats the one row's values.
  std::size_t index = 0;
  while ((std::size_t{2} << index) < rows) ++index;
  auto& built = multi_row_inserts_[t];
  if (built.size() <= index) built.resize(index + 1);
  if (built[index].empty()) {
    const std::string& one = inserts_[t];
    const std::string values = one.substr(one.find(" values (") + 8);
    built[index] = one;
    for (std::size_t r = 1; r < rows; ++r) built[index] += "," + values;
  }
  return built[index];
}

bool RecordLoad::step(const db::Status& status, Writing writing) {
  if (status.ok()) return true;
  if (writing == Writing::in_batch) return false;
  report_sql_error(status);
  // Without a connection nothing more reaches the database, and each
  // further statement would only print the same failure again; a failure
  // that is not the row's own would store the file in part.
  return session_.connected() && status.row_failure();
}

bool RecordLoad::account_step(const db::Status& status, Writing writing) {
  if (status.ok()) return true;
  if (writing == Writing::alone) report_sql_error(status);
  return false;
}

LoadOutcome RecordLoad::stopped() const {
  return session_.connected() ? LoadOutcome::systemic_failure : LoadOutcome::connection_lost;
}

void RecordLoad::clear_records(bool verbose) {
  const std::size_t types = records_.tables().size();
  for (std::size_t i = 0; i < types; ++i) {
    std::size_t t = plan_.header_cleared_last ? (i + 1) % types : i;
    records::RecordTable& table = records_.table(t);
    if (verbose && table.record_count() > 0) {
      std::string line = "\n";
      line += table.type().clearing_label;
      console_.print(line + " Record Initializing");
    }
    table.clear();
  }
}

void RecordLoad::report_sql_error(const db::Status& status) const {
  console_.print_now(db::format_sql_error_by_code(status), os::Priority::err);
}

}  // namespace qx::record_loader
