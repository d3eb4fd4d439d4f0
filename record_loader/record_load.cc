#include "record_loader/record_load.h"

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

RecordLoad::RecordLoad(db::Session& session, records::RecordSet& records, records::LoadPlan plan,
                       os::Console console)
    : session_(session), records_(records), plan_(plan), console_(console) {
  for (const auto& table : records_.tables()) inserts_.push_back(insert_statement(table.type()));
  session_.set_failure_sink([this](const db::Status& status) {
    report_sql_error(status);
    // A row sent ahead was refused after all.
    --account_.progress.rows_stored;
    ++account_.progress.rows_rejected;
  });
}

LoadOutcome RecordLoad::load_file(std::string_view file_name, bool verbose,
                                  history::HistoryEntry history) {
  std::optional<LoadOutcome> stopped_at = write_rows(file_name, verbose, history);
  LoadOutcome outcome = stopped_at ? *stopped_at : LoadOutcome::committed;
  if (!stopped_at) {
    const db::Status committed = commit();
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

std::optional<LoadOutcome> RecordLoad::write_rows(std::string_view file_name, bool verbose,
                                                  history::HistoryEntry history) {
  FileAccount& account = account_;
  account = {};
  account.progress.state = history::LoadProgress::State::loading;
  if (history.history != nullptr) {
    db::Status opened = history.history->open_entry(*history.file);
    if (!account_step(opened)) {
      return history::is_conflict(opened) ? LoadOutcome::loaded_elsewhere : stopped();
    }
  }
  std::int64_t key = history.claimed != nullptr ? history.claimed->drawn_key : 0;
  db::Status drawn = key != 0 ? db::Status::success() : session_.next_value(plan_.sequence, key);
  if (drawn.failed()) {
    report_sql_error(drawn);
    if (history::is_conflict(drawn)) return LoadOutcome::loaded_elsewhere;
    return session_.connected() ? LoadOutcome::key_not_drawn : LoadOutcome::connection_lost;
  }
  account.key = key;
  account.progress.key = key;
  for (std::size_t t = 0; t < records_.tables().size(); ++t) {
    if (!insert_rows(t, file_name, verbose)) return stopped();
  }
  return finish_rows(key, history);
}

std::optional<LoadOutcome> RecordLoad::finish_rows(std::int64_t key,
                                                   history::HistoryEntry history) {
  db::Bind key_bind = db::Bind::integer(key);
  if (!step(session_.execute(plan_.header_update, {&key_bind, 1}))) return stopped();
  if (history.history != nullptr) {
    account_.progress.state = history::LoadProgress::State::loaded;
    db::Status written = history.history->write_progress(*history.file, account_.progress);
    if (!account_step(written)) return stopped();
  }
  return std::nullopt;
}

bool RecordLoad::insert_rows(std::size_t t, std::string_view file_name, bool verbose) {
  FileAccount& account = account_;
  const records::RecordTable& table = records_.table(t);
  const std::size_t count = table.record_count();
  for (std::size_t row = 0; row < count; ++row) {
    if (verbose) announce_row(table, row);
    row_binds(table, row, account.key, file_name, binds_);
    db::Status inserted = session_.execute(inserts_[t], binds_);
    if (!step(inserted)) return false;
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

void RecordLoad::announce_row(const records::RecordTable& table, std::size_t row) const {
  std::string line = "\n";
  line += table.type().insert_label;
  line += " Data Insert. Total Record(s) = " + std::to_string(table.record_count()) +
          " . Loading Record = " + std::to_string(row + 1) + " \n";
  console_.print(line);
}

bool RecordLoad::step(const db::Status& status) {
  if (status.ok()) return true;
  report_sql_error(status);
  // Without a connection nothing more reaches the database, and each
  // further statement would only print the same failure again; a failure
  // that is not the row's own would store the file in part.
  return session_.connected() && status.row_failure();
}

bool RecordLoad::account_step(const db::Status& status) {
  if (status.ok()) return true;
  report_sql_error(status);
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

db::Status RecordLoad::commit() {
  commit_failure_ = session_.commit();
  return commit_failure_;
}

void RecordLoad::report_sql_error(const db::Status& status) const {
  console_.print(db::format_sql_error_by_code(status), os::Priority::err);
}

}  // namespace qx::record_loader
