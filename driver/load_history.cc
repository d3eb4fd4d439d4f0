#include "driver/load_history.h"

#include <unistd.h>

#include <charconv>
#include <cstdlib>
#include <vector>

namespace qx::driver {
namespace {

constexpr std::string_view kTable = "qx_load_history";

// The file's identity, as every statement below selects its row.
constexpr std::string_view kIdentityCondition =
    "lh_program=:b0 and lh_file_name=:b1 and lh_file_size=:b2 and lh_file_mtime_ns=:b3 "
    "and lh_digest=:b4";

// The row in one text: state;key;lines;booking key;4 serials;stored;
// rejected;first rejected line.
constexpr std::string_view kRowAsText =
    "select lh_state || ';' || coalesce(lh_key,0) || ';' || lh_lines_done || ';' || "
    "coalesce(lh_booking_key,0) || ';' || coalesce(lh_shared_serial,1) || ';' || "
    "coalesce(lh_r_serial,1) || ';' || coalesce(lh_v_serial,1) || ';' || "
    "coalesce(lh_f_serial,1) || ';' || lh_rows_stored || ';' || lh_rows_rejected || ';' || "
    "coalesce(lh_first_rejected_line,0) from qx_load_history where ";

constexpr std::string_view kNoRow = "new";

std::string lookup_statement(bool with_lock, bool with_key) {
  std::string text = "select coalesce((";
  text += kRowAsText;
  text += kIdentityCondition;
  text += "), '";
  text += kNoRow;
  text += "')";
  // The key rides in the same answer (;KEY); a key drawn for a file that
  // turns out loaded is a gap in the sequence, as any unused draw is.
  if (with_key) text += " || ';' || nextval(:b5)";
  // No row at all when another session holds the file's lock.
  if (with_lock)
    text += with_key ? " where pg_try_advisory_lock(:b6)" : " where pg_try_advisory_lock(:b5)";
  return text;
}

std::string insert_statement() {
  std::string text = "insert into ";
  text += kTable;
  text +=
      " (lh_program, lh_file_name, lh_file_size, lh_file_mtime_ns, lh_digest, lh_state, "
      "lh_instance, lh_started_on) values (:b0, :b1, :b2, :b3, :b4, 'loading', :b5, "
      "CURRENT_TIMESTAMP)";
  return text;
}

// The identity's placeholders come last here, after :b11.
std::string update_statement(bool finished) {
  std::string text = "update ";
  text += kTable;
  text +=
      " set lh_state=:b0, lh_key=:b1, lh_lines_done=:b2, lh_booking_key=:b3, "
      "lh_shared_serial=:b4, lh_r_serial=:b5, lh_v_serial=:b6, lh_f_serial=:b7, "
      "lh_rows_stored=:b8, lh_rows_rejected=:b9, lh_first_rejected_line=:b10, lh_instance=:b11, "
      "lh_finished_on=";
  text += finished ? "CURRENT_TIMESTAMP" : "NULL";
  text +=
      " where lh_program=:b12 and lh_file_name=:b13 and lh_file_size=:b14 and "
      "lh_file_mtime_ns=:b15 and lh_digest=:b16";
  return text;
}

void append_identity(const std::string& program, const FileIdentity& file,
                     std::vector<db::Bind>& binds) {
  binds.push_back(db::Bind::text(program));
  binds.push_back(db::Bind::text(file.name));
  binds.push_back(db::Bind::integer(file.size));
  binds.push_back(db::Bind::integer(file.modified_ns));
  binds.push_back(db::Bind::text(file.digest));
}

db::Bind integer_or_null(std::int64_t value) {
  return value == 0 ? db::Bind::null() : db::Bind::integer(value);
}

std::string_view state_text(LoadProgress::State state) {
  return state == LoadProgress::State::loaded ? "loaded" : "loading";
}

// Reads the row's text back; false when it is not one.
bool parse_row(std::string_view text, LoadProgress& progress) {
  std::vector<std::string_view> fields;
  for (std::size_t start = 0;;) {
    std::size_t end = text.find(';', start);
    fields.push_back(text.substr(start, end == std::string_view::npos ? end : end - start));
    if (end == std::string_view::npos) break;
    start = end + 1;
  }
  if (fields.size() != 11) return false;
  auto integer = [](std::string_view field, auto& out) {
    auto [end, error] = std::from_chars(field.data(), field.data() + field.size(), out);
    return error == std::errc() && end == field.data() + field.size();
  };
  if (fields[0] == "loaded") {
    progress.state = LoadProgress::State::loaded;
  } else if (fields[0] == "loading") {
    progress.state = LoadProgress::State::loading;
  } else {
    return false;
  }
  // A floating value is written "12" by one database and "12.0" by another.
  const std::string booking(fields[3]);
  char* booking_end = nullptr;
  progress.booking_key = std::strtod(booking.c_str(), &booking_end);
  bool ok = booking_end != booking.c_str() && *booking_end == '\0';
  ok = ok && integer(fields[1], progress.key) && integer(fields[2], progress.lines_done);
  for (std::size_t i = 0; i < progress.serials.size(); ++i) {
    ok = ok && integer(fields[4 + i], progress.serials[i]);
  }
  return ok && integer(fields[8], progress.rows_stored) &&
         integer(fields[9], progress.rows_rejected) &&
         integer(fields[10], progress.first_rejected_line);
}

}  // namespace

LoadHistory::LoadHistory(db::Session& session, std::string program, std::string instance)
    : session_(session), program_(std::move(program)), instance_(std::move(instance)) {}

db::Status LoadHistory::claim(const FileIdentity& file, Claim& claim, LoadProgress& progress,
                              std::string_view key_sequence) {
  const bool with_lock = session_.has_advisory_locks();
  const bool with_key = with_lock && !key_sequence.empty();
  std::vector<db::Bind> binds;
  append_identity(program_, file, binds);
  if (with_key) binds.push_back(db::Bind::text(key_sequence));
  if (with_lock) binds.push_back(db::Bind::integer(file.lock_number()));
  std::string row;
  db::Status status = session_.query_text(lookup_statement(with_lock, with_key), binds, row);
  progress = LoadProgress{};
  if (status.code == db::kNullFetched && with_lock) {
    claim = Claim::busy;
    return db::Status::success();
  }
  if (status.failed()) return status;
  claim = Claim::claimed;
  if (with_key) {
    const std::size_t last = row.rfind(';');
    std::int64_t key = 0;
    const char* end = row.data() + row.size();
    if (last == std::string::npos || std::from_chars(row.data() + last + 1, end, key).ptr != end ||
        key <= 0) {
      return db::Status::failure(db::kInvalidNumber, "unreadable key in the claim: " + row);
    }
    progress.drawn_key = key;
    row.resize(last);
  }
  if (row == kNoRow) return status;
  if (!parse_row(row, progress)) {
    return db::Status::failure(db::kInvalidNumber, "unreadable load history row: " + row);
  }
  return status;
}

void LoadHistory::release(const FileIdentity& file) {
  if (!session_.has_advisory_locks()) return;
  db::Bind lock = db::Bind::integer(file.lock_number());
  // Not a write, but nothing waits for its answer: it travels with the next
  // statement. A session lock outlives the transaction it was taken in.
  session_.execute("select pg_advisory_unlock(:b0)", {&lock, 1});
}

db::Status LoadHistory::open_entry(const FileIdentity& file) {
  static const std::string statement = insert_statement();
  return session_.execute_account(statement, [this, &file](std::vector<db::Bind>& binds) {
    append_identity(program_, file, binds);
    binds.push_back(db::Bind::text(instance_));
  });
}

db::Status LoadHistory::write_progress(const FileIdentity& file, const LoadProgress& progress) {
  static const std::string loading = update_statement(false);
  static const std::string loaded = update_statement(true);
  const bool finished = progress.state == LoadProgress::State::loaded;
  return session_.execute_account(
      finished ? loaded : loading, [this, &file, &progress](std::vector<db::Bind>& binds) {
        binds.push_back(db::Bind::text(state_text(progress.state)));
        binds.push_back(integer_or_null(progress.key));
        binds.push_back(db::Bind::integer(progress.lines_done));
        binds.push_back(progress.booking_key == 0 ? db::Bind::null()
                                                  : db::Bind::real(progress.booking_key));
        for (std::int32_t serial : progress.serials) binds.push_back(db::Bind::integer(serial));
        binds.push_back(db::Bind::integer(progress.rows_stored));
        binds.push_back(db::Bind::integer(progress.rows_rejected));
        binds.push_back(integer_or_null(progress.first_rejected_line));
        binds.push_back(db::Bind::text(instance_));
        append_identity(program_, file, binds);
      });
}

std::string default_instance_name() {
  char host[256] = {};
  if (gethostname(host, sizeof host - 1) != 0) host[0] = '\0';
  return std::string(host) + ":" + std::to_string(getpid());
}

}  // namespace qx::driver
