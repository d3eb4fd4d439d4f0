#include "corvane/air_loader.h"

#include <algorithm>
#include <optional>

#include "db/report_sql_error.h"
#include "db/text_primitives.h"
#include "db/to_number.h"
#include "os/console.h"

namespace qx::corvane {

AirLoader::AirLoader(db::Session& session, AirBuild build, os::Console console)
    : session_(session),
      profile_(profile(build)),
      console_(console),
      field_table_(profile_.entry_limit) {
  for (const auto& handler : handlers(build)) {
    const bool queried = handler.serial == SerialSource::table_query;
    handlers_.push_back(
        {&handler, insert_statement(handler, profile_), queried ? serial_query(handler) : "",
         queried ? insert_with_serial_query(handler, profile_) : "",
         array_insert_statement(handler, profile_), copy_target(handler, profile_)});
  }
  kept_rows_.resize(handlers_.size());
  counters_.fill(1);
  // Failures of statements the session sent later than asked are printed
  // like any other.
  session_.set_failure_sink([this](const db::Status& status) {
    report_sql_error(status);
    // A row sent ahead was refused after all.
    --account_.rows_stored;
    ++account_.rows_rejected;
    if (account_.first_rejected_line == 0) account_.first_rejected_line = line_number_;
    tally_.rejected(static_cast<std::int64_t>(line_number_));
  });
}

namespace {

// The counters a resumed file takes up again, in the order of
// LoadProgress::serials; the H and U serials come from their tables.
constexpr std::array<Counter, 4> kResumedCounters = {Counter::shared, Counter::r, Counter::v,
                                                     Counter::f};

}  // namespace

void AirLoader::resume_file(std::string_view file_reference, const history::LoadProgress& done) {
  begin_file(file_reference);
  restore(done);
  // The key held now is the one the file's committed lines left.
  file_without_key_.reset();
}

void AirLoader::restore(const history::LoadProgress& done) {
  account_ = done;
  booking_key_ = done.booking_key;
  for (std::size_t i = 0; i < kResumedCounters.size(); ++i) {
    counter_ref(kResumedCounters[i]) = done.serials[i];
  }
}

void AirLoader::note_resume_state() {
  account_.booking_key = booking_key_;
  for (std::size_t i = 0; i < kResumedCounters.size(); ++i) {
    account_.serials[i] = counter(kResumedCounters[i]);
  }
}

void AirLoader::begin_file(std::string_view file_reference) {
  counters_.fill(1);
  file_reference_ = file_reference;
  // The failed draw put back the key this file began with.
  if (file_without_key_ == file_reference) file_without_key_.reset();
  key_at_file_start_ = booking_key_;
  account_ = {};
  tally_.clear();
  note_resume_state();
}

namespace {

// The two tags of a line as process_line reads them from its first field.
std::pair<std::string_view, std::string_view> line_tags(std::string_view line) {
  std::string_view first = line.substr(0, line.find(';'));
  if (!first.empty() && (first.front() == '\r' || first.front() == '\n')) first = {};
  return {db::substr(first, 1, 2), db::substr(first, 1, 4)};
}

bool draws_key_tag(std::string_view tag4) {
  return std::find(kBookingKeyTags.begin(), kBookingKeyTags.end(), tag4) != kBookingKeyTags.end();
}

}  // namespace

bool AirLoader::knows_line(std::string_view line) const {
  const auto [tag2, tag4] = line_tags(line);
  return std::any_of(handlers_.begin(), handlers_.end(), [&](const PreparedHandler& prepared) {
    return prepared.handler->selects(tag2, tag4);
  });
}

bool AirLoader::draws_key(std::string_view line) const {
  const auto [tag2, tag4] = line_tags(line);
  return draws_key_tag(tag4) &&
         std::any_of(handlers_.begin(), handlers_.end(), [&](const PreparedHandler& prepared) {
           return prepared.handler->header && prepared.handler->selects(tag2, tag4);
         });
}

LineOutcome AirLoader::process_line(std::string_view line, std::size_t line_number) {
  line_number_ = line_number;
  field_table_.split_line(line, split_report_);
  if (!split_report_.empty()) report_split(split_report_, line_number);
  tag2_ = db::substr(field_table_.entry(0), 1, 2);
  tag4_ = db::substr(field_table_.entry(0), 1, 4);
  for (const auto& prepared : handlers_) {
    if (!prepared.handler->selects(tag2_, tag4_)) continue;
    if (LineOutcome outcome = run_handler(prepared, line_number); outcome != LineOutcome::done) {
      return outcome;
    }
  }
  note_resume_state();
  return LineOutcome::done;
}

LineOutcome AirLoader::run_handler(const PreparedHandler& prepared, std::size_t line_number) {
  const AirHandler& handler = *prepared.handler;
  row_table_ = handler.table;
  if (handler.header && draws_key_tag(tag4_) && !draw_booking_key(line_number)) {
    return LineOutcome::no_booking_key;
  }
  if (file_without_key_) {
    refusal_ = "No booking key for " + file_reference_ + " line " + std::to_string(line_number) +
               ": the key draw in " + *file_without_key_ +
               " failed and that file is not loaded yet";
    return LineOutcome::no_booking_key;
  }

  binds_.clear();
  binds_.push_back(db::Bind::real(booking_key_));
  if (handler.header) binds_.push_back(db::Bind::text(file_reference_));

  std::int32_t* raised = nullptr;
  switch (handler.serial) {
    case SerialSource::none:
      break;
    case SerialSource::table_query: {
      if (grouped_) break;  // the insert asks the table itself
      // A failed query leaves the counter as it was: 1 after begin_file,
      // otherwise the value fetched last in this file.
      std::int64_t fetched = 0;
      db::Bind key = db::Bind::real(booking_key_);
      db::Status status = session_.query_integer(prepared.serial_query, {&key, 1}, fetched);
      if (!step(status)) return LineOutcome::systemic_failure;
      if (status.ok()) counter_ref(handler.counter) = static_cast<std::int32_t>(fetched);
      binds_.push_back(db::Bind::integer(counter_ref(handler.counter)));
      break;
    }
    case SerialSource::counter:
      binds_.push_back(db::Bind::integer(counter_ref(handler.counter)));
      if (handler.raise_after) raised = &counter_ref(handler.counter);
      break;
    case SerialSource::record: {
      std::optional<std::int64_t> serial;
      db::Status status =
          db::to_number(db::substr(field_table_.entry(1), 1,
                                   static_cast<std::int64_t>(handler.record_serial_length)),
                        serial);
      if (status.failed()) {
        // Not a number: no row, as the database refuses the insert.
        return step(status, true) ? LineOutcome::done : LineOutcome::systemic_failure;
      }
      binds_.push_back(serial ? db::Bind::integer(*serial) : db::Bind::null());
      break;
    }
  }

  for (std::size_t i = 0; i < handler.text_columns; ++i) {
    binds_.push_back(db::Bind::text(field_table_.entry(i)));
  }
  if (grouped_ && session_.binds_arrays()) {
    KeptRows& kept = kept_rows_[static_cast<std::size_t>(&prepared - handlers_.data())];
    const bool copyable = session_.copies_rows() && !prepared.copy_target.empty();
    if (copyable) {
      for (const db::Bind& value : binds_) kept.copied.add(value);
      kept.copied.end_row();
    }
    ++kept.rows;
    if (!copyable || kept.rows < copy_rows_from_) {
      if (kept.columns.size() != binds_.size()) kept.columns.assign(binds_.size(), {});
      for (std::size_t i = 0; i < binds_.size(); ++i) kept.columns[i].add(binds_[i]);
    } else if (kept.rows == copy_rows_from_) {
      // The rows go by COPY: the arrays are not needed.
      for (db::ArrayLiteral& column : kept.columns) column.clear();
    }
    rows_kept_ = true;
    step(db::Status::success(), true);
    if (raised != nullptr) ++*raised;
    return LineOutcome::done;
  }
  const bool serial_inside = grouped_ && handler.serial == SerialSource::table_query;
  if (serial_inside) binds_.push_back(db::Bind::real(booking_key_));
  if (!step(session_.execute(serial_inside ? prepared.insert_with_serial_query : prepared.insert,
                             binds_),
            true)) {
    return LineOutcome::systemic_failure;
  }
  // Raised whether the insert succeeded or not, so a serial is never reused.
  if (raised != nullptr) ++*raised;
  return LineOutcome::done;
}

bool AirLoader::draw_booking_key(std::size_t line_number) {
  std::int64_t key = 0;
  db::Status status;
  if (grouped_ && keys_ahead_) {
    if (next_drawn_ahead_ == drawn_ahead_.size()) {
      drawn_ahead_.assign(std::max<std::size_t>(1, keys_ahead_()), 0);
      next_drawn_ahead_ = 0;
      status = session_.next_values(kBookingSequence, drawn_ahead_);
      if (status.failed()) drop_keys_drawn_ahead();
    }
    if (status.ok()) key = drawn_ahead_[next_drawn_ahead_++];
  } else {
    status = session_.next_value(kBookingSequence, key);
  }
  if (status.ok()) {
    booking_key_ = static_cast<double>(key);
    file_without_key_.reset();
    return true;
  }
  // The rows of this file are stored again from its first line when it is
  // taken up again; those before its first header belong to this key.
  booking_key_ = key_at_file_start_;
  file_without_key_ = file_reference_;
  refusal_ = "No booking key could be drawn for " + file_reference_ + " line " +
             std::to_string(line_number) + ": " + status.message;
  return false;
}

db::Status AirLoader::flush_rows() {
  if (!rows_kept_) return db::Status::success();
  db::Status status;
  std::vector<db::Bind> arrays;
  for (std::size_t h = 0; h < handlers_.size() && status.ok(); ++h) {
    KeptRows& kept = kept_rows_[h];
    if (kept.rows == 0 || copies(kept)) continue;
    arrays.clear();
    for (db::ArrayLiteral& column : kept.columns) arrays.push_back(db::Bind::text(column.text()));
    status = session_.execute(handlers_[h].array_insert, arrays);
  }
  // The copies after the array inserts, which ride in the round trip that
  // the copies make ahead of their rows; all tables' copies in one call.
  copied_tables_.clear();
  for (std::size_t h = 0; h < handlers_.size(); ++h) {
    const KeptRows& kept = kept_rows_[h];
    if (copies(kept)) copied_tables_.push_back({handlers_[h].copy_target, &kept.copied});
  }
  if (status.ok() && !copied_tables_.empty()) status = session_.copy_tables(copied_tables_);
  drop_kept_rows();
  return status;
}

void AirLoader::drop_kept_rows() {
  if (!rows_kept_) return;
  for (KeptRows& kept : kept_rows_) {
    for (db::ArrayLiteral& column : kept.columns) column.clear();
    kept.copied.clear();
    kept.rows = 0;
  }
  rows_kept_ = false;
}

AirLoader::Snapshot AirLoader::snapshot() const {
  return {booking_key_,    key_at_file_start_, file_without_key_, refusal_, counters_,
          file_reference_, line_number_,       account_,          tally_};
}

void AirLoader::restore(const Snapshot& snapshot) {
  // The keys drawn for the lines given up are not to be taken by others,
  // and their rows are not stored.
  drop_keys_drawn_ahead();
  drop_kept_rows();
  booking_key_ = snapshot.booking_key;
  key_at_file_start_ = snapshot.key_at_file_start;
  file_without_key_ = snapshot.file_without_key;
  refusal_ = snapshot.refusal;
  counters_ = snapshot.counters;
  file_reference_ = snapshot.file_reference;
  line_number_ = snapshot.line_number;
  account_ = snapshot.account;
  tally_ = snapshot.tally;
}

void AirLoader::report_split(const SplitReport& report, std::size_t line_number) {
  for (const auto& cut : report.cut_fields) {
    console_.about_line(file_reference_, line_number, os::Notice::field_cut,
                        "field " + std::to_string(cut.field + 1) + " has " +
                            std::to_string(cut.length) + " characters, cut to " +
                            std::to_string(field_table_.entry_limit()));
  }
  if (report.dropped_fields > 0) {
    console_.about_line(file_reference_, line_number, os::Notice::fields_dropped,
                        std::to_string(report.dropped_fields) + " field(s) after the " +
                            std::to_string(kFieldTableEntries) + "th dropped");
  }
}

void AirLoader::report_sql_error(const db::Status& status) {
  console_.print(db::format_sql_error_by_text(status), os::Priority::err);
}

bool AirLoader::step(const db::Status& status, bool row) {
  if (status.ok()) {
    if (row) {
      ++account_.rows_stored;
      tally_.stored(row_table_);
    }
    return true;
  }
  if (grouped_) {
    refusal_ = "The group of lines holding " + file_reference_ + " line " +
               std::to_string(line_number_) + " met a failure: " + status.message;
    return false;
  }
  report_sql_error(status);
  if (!status.row_failure() || history::is_conflict(status)) {
    refusal_ = "The database could not take " + file_reference_ + " line " +
               std::to_string(line_number_) + ": " + status.message;
    return false;
  }
  if (row) {
    ++account_.rows_rejected;
    if (account_.first_rejected_line == 0) account_.first_rejected_line = line_number_;
    tally_.rejected(static_cast<std::int64_t>(line_number_));
  }
  return true;
}

}  // namespace qx::corvane
