#include "record_loader/batch_writer.h"

#include "records/record_statements.h"

namespace qx::record_loader {

namespace {

// The most rows one insert carries, and the most values: both databases
// cap a statement's parameters (SQLite at 32766 by default).
constexpr std::size_t kMostRowsPerInsert = 64;
constexpr std::size_t kMostValuesPerInsert = 30000;

}  // namespace

BatchWriter::BatchWriter(RecordLoad& load)
    : load_(load), session_(load.session()), records_(load.records()) {
  for (const auto& table : records_.tables()) {
    inserts_.push_back(insert_statement(table.type()));
    array_inserts_.push_back(array_insert_statement(table.type()));
    copy_targets_.push_back(copy_target(table.type()));
  }
  multi_row_inserts_.resize(inserts_.size());
  held_.resize(inserts_.size());
}

bool BatchWriter::write_file(std::string_view file_name, bool verbose,
                             history::HistoryEntry history, FileAccount& account,
                             std::int64_t key) {
  account = {};
  account.progress.state = history::LoadProgress::State::loading;
  // The history row is written with the file's rows, in its final state.
  if (key == 0 && history.claimed != nullptr) key = history.claimed->drawn_key;
  bool written = key != 0 || session_.next_value(key_sequence(), key).ok();
  if (written) {
    account.key = key;
    account.progress.key = key;
    written = write_rows(file_name, verbose, history, account);
  }
  load_.clear_records(verbose);
  return written;
}

LoadOutcome BatchWriter::commit_batch() {
  const bool written = send_held_batch();
  drop_batch();
  if (!written) {
    return session_.connected() ? LoadOutcome::systemic_failure : LoadOutcome::connection_lost;
  }
  if (load_.commit().ok()) return LoadOutcome::committed;
  return session_.connected() ? LoadOutcome::commit_failed : LoadOutcome::commit_unconfirmed;
}

bool BatchWriter::send_held_batch() {
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
  if (history != nullptr && history->write_loaded_entries(identities, accounts).failed()) {
    return false;
  }
  // The rows that travel as arrays go first: their inserts ride with the
  // history rows in the round trip that the copies make ahead of them.
  copied_tables_.clear();
  for (std::size_t t = 0; t < held_.size(); ++t) {
    if (held_[t].copied.rows() > 0) {
      copied_tables_.push_back({copy_targets_[t], &held_[t].copied});
    } else if (!send_held_rows(t)) {
      return false;
    }
  }
  if (!copied_tables_.empty() && session_.copy_tables(copied_tables_).failed()) return false;
  const db::Bind key_bind = db::Bind::text(keys.text());
  return session_.execute(load_.plan().header_update_all, {&key_bind, 1}).ok();
}

void BatchWriter::drop_batch() {
  for (HeldRows& rows : held_) rows = {};
  held_files_.clear();
}

void BatchWriter::prepare_file(std::string_view file_name, bool verbose, std::int64_t key,
                               FileAccount& account, PreparedRows& rows) {
  account = {};
  account.key = key;
  account.progress.key = key;
  count_rows(account);
  rows.assign(records_.tables().size(), {});
  for (std::size_t t = 0; t < rows.size(); ++t) hold_rows(t, file_name, verbose, key, rows[t]);
  load_.clear_records(verbose);
}

void BatchWriter::add_prepared(const PreparedRows& rows, history::HistoryEntry history,
                               const FileAccount& account) {
  held_files_.push_back({account.key, history, &account});
  for (std::size_t t = 0; t < rows.size(); ++t) {
    HeldRows& held = held_[t];
    held.copied.append(rows[t].copied);
    if (rows[t].columns.empty()) continue;
    held.columns.resize(rows[t].columns.size());
    for (std::size_t c = 0; c < held.columns.size(); ++c) {
      held.columns[c].append(rows[t].columns[c]);
    }
  }
}

void BatchWriter::count_rows(FileAccount& account) const {
  for (const auto& table : records_.tables()) {
    const std::size_t count = table.record_count();
    account.progress.rows_stored += static_cast<std::int64_t>(count);
    if (count > 0) account.tally.stored(table.type().table, static_cast<std::int64_t>(count));
  }
  account.progress.state = history::LoadProgress::State::loaded;
}

bool BatchWriter::write_rows(std::string_view file_name, bool verbose,
                             history::HistoryEntry history, FileAccount& account) {
  // The file's account is known before its first row: its history row is
  // written once, first, already in its final state.
  count_rows(account);
  // Held back, the history rows go first in commit_batch, all in one.
  if (session_.binds_arrays()) {
    held_files_.push_back({account.key, history, &account});
    for (std::size_t t = 0; t < records_.tables().size(); ++t) {
      hold_rows(t, file_name, verbose, account.key, held_[t]);
    }
    // Held rows are sent at the commit, and the header update after them.
    return true;
  }
  if (history.history != nullptr &&
      history.history->write_loaded_entry(*history.file, account.progress).failed()) {
    return false;
  }
  for (std::size_t t = 0; t < records_.tables().size(); ++t) {
    if (!insert_together(t, file_name, verbose, account.key)) return false;
  }
  db::Bind key_bind = db::Bind::integer(account.key);
  return session_.execute(load_.plan().header_update, {&key_bind, 1}).ok();
}

bool BatchWriter::insert_together(std::size_t t, std::string_view file_name, bool verbose,
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
      if (verbose) load_.announce_row(table, r);
      row_binds(table, r, key, file_name, row_binds_);
      binds_.insert(binds_.end(), row_binds_.begin(), row_binds_.end());
    }
    if (session_.execute(multi_row_insert(t, rows), binds_).failed()) return false;
    row += rows;
  }
  return true;
}

void BatchWriter::hold_rows(std::size_t t, std::string_view file_name, bool verbose,
                            std::int64_t key, HeldRows& held) {
  // The rows of a type wait to travel as arrays in one insert across the
  // batch's files: each value goes straight into its column's array.
  const records::RecordTable& table = records_.table(t);
  const bool copied = session_.copies_rows() && !copy_targets_[t].empty();
  for (std::size_t row = 0; row < table.record_count(); ++row) {
    if (verbose) load_.announce_row(table, row);
    row_binds(table, row, key, file_name, row_binds_);
    if (copied) {
      for (const db::Bind& value : row_binds_) held.copied.add(value);
      held.copied.end_row();
      continue;
    }
    held.columns.resize(row_binds_.size());
    for (std::size_t column = 0; column < row_binds_.size(); ++column) {
      held.columns[column].add(row_binds_[column]);
    }
  }
}

std::size_t BatchWriter::most_rows_per_insert(std::size_t values_per_row) {
  std::size_t most = kMostRowsPerInsert;
  while (most > 1 && most * values_per_row > kMostValuesPerInsert) most /= 2;
  return most;
}

bool BatchWriter::send_held_rows(std::size_t t) {
  HeldRows& held = held_[t];
  if (held.columns.empty() || held.columns.front().size() == 0) return true;
  // One statement for all of them: a column's values as one array.
  binds_.clear();
  for (db::ArrayLiteral& column : held.columns) binds_.push_back(db::Bind::text(column.text()));
  const bool sent = session_.execute(array_inserts_[t], binds_).ok();
  held = {};
  return sent;
}

const std::string& BatchWriter::multi_row_insert(std::size_t t, std::size_t rows) {
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

}  // namespace qx::record_loader
