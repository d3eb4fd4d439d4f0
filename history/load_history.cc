#include "history/load_history.h"

#include <unistd.h>

#include <cstdlib>
#include <limits>
#include <optional>
#include <span>
#include <utility>
#include <vector>

#include "db/array_literal.h"
#include "history/load_history_statements.h"
#include "schema/schema.h"

namespace qx::history {
namespace {

void append_file(const FileIdentity& file, std::vector<db::Bind>& binds) {
  binds.push_back(db::Bind::text(file.name));
  binds.push_back(db::Bind::integer(file.size));
  binds.push_back(db::Bind::integer(file.modified_ns));
  binds.push_back(db::Bind::text(file.digest));
}

void append_identity(const std::string& program, const FileIdentity& file,
                     std::vector<db::Bind>& binds) {
  binds.push_back(db::Bind::text(program));
  append_file(file, binds);
}

db::Bind integer_or_null(std::int64_t value) {
  return value == 0 ? db::Bind::null() : db::Bind::integer(value);
}

std::string_view state_text(LoadProgress::State state) {
  return state == LoadProgress::State::loaded ? "loaded" : "loading";
}

// A file's account as its history row holds it, the instance aside.
void append_account_values(const LoadProgress& progress, std::vector<db::Bind>& binds) {
  binds.push_back(db::Bind::text(state_text(progress.state)));
  binds.push_back(integer_or_null(progress.key));
  binds.push_back(db::Bind::integer(progress.lines_done));
  binds.push_back(progress.booking_key == 0 ? db::Bind::null()
                                            : db::Bind::real(progress.booking_key));
  for (std::int32_t serial : progress.serials) binds.push_back(db::Bind::integer(serial));
  binds.push_back(db::Bind::integer(progress.rows_stored));
  binds.push_back(db::Bind::integer(progress.rows_rejected));
  binds.push_back(integer_or_null(progress.first_rejected_line));
}

// Reads a file's row back from `rows` (its statements::kRowColumns columns
// from `column` on), its digest into `digest`; false when it is not one.
bool read_row(const db::Rows& rows, std::size_t row, std::size_t column, std::string& digest,
              LoadProgress& progress) {
  digest = rows.text(row, column);
  const std::string_view state = rows.text(row, column + 1);
  if (state == "loaded") {
    progress.state = LoadProgress::State::loaded;
  } else if (state == "loading") {
    progress.state = LoadProgress::State::loading;
  } else {
    return false;
  }
  auto integer = [&](std::size_t offset, std::int64_t& out) {
    return rows.integer(row, column + offset, out).ok();
  };
  // A floating value is written "12" by one database and "12.0" by another.
  const std::string booking(rows.text(row, column + 4));
  char* booking_end = nullptr;
  progress.booking_key = std::strtod(booking.c_str(), &booking_end);
  bool ok = booking_end != booking.c_str() && *booking_end == '\0';
  ok = ok && integer(2, progress.key) && integer(3, progress.lines_done);
  for (std::size_t i = 0; i < progress.serials.size(); ++i) {
    std::int64_t serial = 0;
    ok = ok && integer(5 + i, serial) && serial >= std::numeric_limits<std::int32_t>::min() &&
         serial <= std::numeric_limits<std::int32_t>::max();
    progress.serials[i] = static_cast<std::int32_t>(serial);
  }
  return ok && integer(9, progress.rows_stored) && integer(10, progress.rows_rejected) &&
         integer(11, progress.first_rejected_line);
}

// The row's columns joined by ';', for a message about it.
std::string row_text(const db::Rows& rows, std::size_t row) {
  std::string text;
  for (std::size_t column = 0; column < rows.columns(); ++column) {
    if (column > 0) text += ';';
    text += rows.text(row, column);
  }
  return text;
}

// Of a file's rows [first, end) (the digest in `column`), the one written
// under the file's digest, else the earlier digest's greatest; `end` when
// the file has none (no row, or one of NULL columns).
std::size_t chosen_row(const db::Rows& rows, std::size_t first, std::size_t end,
                       std::size_t column) {
  std::size_t chosen = end;
  auto rank = [&](std::size_t row) {
    const std::string_view digest = rows.text(row, column);
    return std::pair(digest.size() != kEarlierDigestLength, digest);
  };
  for (std::size_t row = first; row < end; ++row) {
    if (rows.is_null(row, column)) continue;
    if (chosen == end || rank(row) > rank(chosen)) chosen = row;
  }
  return chosen;
}

// Reads one file's answer to a claim of `file`: its rows [first, end) of
// `rows`, from `column` on, and with `key_column` the key drawn for it.
db::Status read_claim(const db::Rows& rows, std::size_t first, std::size_t end, std::size_t column,
                      std::optional<std::size_t> key_column, const FileIdentity& file, Claim& claim,
                      LoadProgress& progress) {
  claim = Claim::claimed;
  if (key_column) {
    std::int64_t key = 0;
    if (rows.integer(first, *key_column, key).failed() || key <= 0) {
      return db::Status::failure(db::kInvalidNumber,
                                 "unreadable key in the claim: " + row_text(rows, first));
    }
    progress.drawn_key = key;
  }
  const std::size_t row = chosen_row(rows, first, end, column);
  if (row == end) return db::Status::success();
  std::string digest;
  if (!read_row(rows, row, column, digest, progress)) {
    return db::Status::failure(db::kInvalidNumber,
                               "unreadable load history row: " + row_text(rows, row));
  }
  if (digest != file.digest) progress.earlier_digest = std::move(digest);
  return db::Status::success();
}

}  // namespace

LoadHistory::LoadHistory(db::Session& session, std::string program, std::string instance)
    : session_(session), program_(std::move(program)), instance_(std::move(instance)) {}

bool is_conflict(const db::Status& status) {
  return status.failed() && status.code == db::kUniqueViolation &&
         status.constraint_table() == schema::kLoadHistoryTable;
}

db::Status LoadHistory::claim(const FileIdentity& file, Claim& claim, LoadProgress& progress,
                              std::string_view key_sequence) {
  const bool with_lock = session_.has_advisory_locks();
  const bool with_key = with_lock && !key_sequence.empty();
  std::vector<db::Bind> binds;
  if (with_key) binds.push_back(db::Bind::text(key_sequence));
  if (with_lock) binds.push_back(db::Bind::integer(file.lock_number()));
  append_identity(program_, file, binds);
  db::Rows rows;
  static const std::string lookups[] = {statements::lookup(false, false),
                                        statements::lookup(true, false),
                                        statements::lookup(true, true)};
  db::Status status = session_.query_rows(lookups[with_lock + with_key], binds, rows);
  progress = LoadProgress{};
  if (status.failed()) return status;
  if (rows.empty() && with_lock) {
    claim = Claim::busy;
    return db::Status::success();
  }
  const std::optional<std::size_t> key_column =
      with_key ? std::optional(statements::kRowColumns) : std::nullopt;
  return read_claim(rows, 0, rows.size(), 0, key_column, file, claim, progress);
}

db::Status LoadHistory::claim_all(std::span<const FileIdentity* const> files,
                                  std::vector<Claim>& claims, std::vector<LoadProgress>& progress,
                                  std::string_view key_sequence) {
  claims.assign(files.size(), Claim::busy);
  progress.assign(files.size(), LoadProgress{});
  if (files.empty()) return db::Status::success();
  if (!session_.has_advisory_locks()) {
    for (std::size_t i = 0; i < files.size(); ++i) {
      if (auto status = claim(*files[i], claims[i], progress[i], key_sequence); status.failed()) {
        return status;
      }
    }
    return db::Status::success();
  }
  const bool with_key = !key_sequence.empty();
  static const std::string statements[] = {statements::lookup_all(false),
                                           statements::lookup_all(true)};
  // One array per identity column: the files' values side by side.
  std::vector<db::Bind> values;
  for (const FileIdentity* file : files) {
    values.push_back(db::Bind::text(file->name));
    values.push_back(db::Bind::integer(file->size));
    values.push_back(db::Bind::integer(file->modified_ns));
    values.push_back(db::Bind::text(file->digest));
    values.push_back(db::Bind::integer(file->lock_number()));
  }
  std::vector<std::string> arrays(5);
  std::vector<db::Bind> binds;
  if (with_key) binds.push_back(db::Bind::text(key_sequence));
  for (std::size_t column = 0; column < arrays.size(); ++column) {
    db::array_literal(values, column, arrays.size(), arrays[column]);
    binds.push_back(db::Bind::text(arrays[column]));
  }
  binds.push_back(db::Bind::text(program_));
  db::Rows rows;
  if (auto status = session_.query_rows(statements[with_key], binds, rows); status.failed()) {
    return status;
  }
  // Each file's rows in turn, numbered from 1 in column 0; its key in
  // column 1, NULL when another session holds it.
  std::size_t first = 0;
  for (std::size_t i = 0; i < files.size(); ++i) {
    const auto number = static_cast<std::int64_t>(i + 1);
    auto numbered = [&](std::size_t row) {
      std::int64_t n = 0;
      return rows.integer(row, 0, n).ok() && n == number;
    };
    std::size_t end = first;
    while (end < rows.size() && numbered(end)) ++end;
    if (end == first) {
      return db::Status::failure(db::kInvalidNumber, "unreadable claim of many files: " +
                                                         std::to_string(rows.size()) + " rows");
    }
    if (!rows.is_null(first, 1)) {
      const std::optional<std::size_t> key_column =
          with_key ? std::optional<std::size_t>(1) : std::nullopt;
      if (auto status =
              read_claim(rows, first, end, 2, key_column, *files[i], claims[i], progress[i]);
          status.failed()) {
        return status;
      }
    }
    first = end;
  }
  if (first != rows.size()) {
    return db::Status::failure(db::kInvalidNumber, "unreadable claim of many files: " +
                                                       std::to_string(rows.size()) + " rows");
  }
  return db::Status::success();
}

void adopt_earlier_row(std::string_view bytes, FileIdentity& file, LoadProgress& progress) {
  if (progress.earlier_digest.empty()) return;
  if (earlier_file_digest(bytes) == progress.earlier_digest) {
    file.digest = std::move(progress.earlier_digest);
    progress.earlier_digest.clear();
    return;
  }
  LoadProgress fresh;
  fresh.drawn_key = progress.drawn_key;
  progress = fresh;
}

void LoadHistory::release(const FileIdentity& file) {
  if (!session_.has_advisory_locks()) return;
  db::Bind lock = db::Bind::integer(file.lock_number());
  // Not a write, but nothing waits for its answer: it travels with the next
  // statement. A session lock outlives the transaction it was taken in. It
  // fails only on a session that is not connected, whose server gave the
  // lock up with the connection.
  (void)session_.execute("select pg_advisory_unlock(:b0)", {&lock, 1});
}

void LoadHistory::release_all(std::span<const FileIdentity* const> files) {
  if (!session_.has_advisory_locks() || files.empty()) return;
  if (files.size() == 1) return release(*files.front());
  std::vector<db::Bind> numbers;
  for (const FileIdentity* file : files) numbers.push_back(db::Bind::integer(file->lock_number()));
  std::string locks;
  db::array_literal(numbers, 0, 1, locks);
  const db::Bind bind = db::Bind::text(locks);
  // As release(): only a session that is not connected refuses it, and its
  // locks went with the connection.
  (void)session_.execute("select count(pg_advisory_unlock(l)) from unnest(cast(:b0 as bigint[])) l",
                         {&bind, 1});
}

void LoadHistory::release_every_claim() {
  // As release(): only a session that is not connected refuses it, and its
  // locks went with the connection.
  if (session_.has_advisory_locks()) {
    (void)session_.execute("select pg_advisory_unlock_all()", {});
  }
}

db::Status LoadHistory::open_entry(const FileIdentity& file) {
  static const std::string statement = statements::insert();
  return session_.execute_account(statement, [this, &file](std::vector<db::Bind>& binds) {
    append_identity(program_, file, binds);
    binds.push_back(db::Bind::text(instance_));
  });
}

db::Status LoadHistory::write_progress(const FileIdentity& file, const LoadProgress& progress) {
  static const std::string loading = statements::update(false);
  static const std::string loaded = statements::update(true);
  const bool finished = progress.state == LoadProgress::State::loaded;
  return session_.execute_account(finished ? loaded : loading,
                                  [this, &file, &progress](std::vector<db::Bind>& binds) {
                                    append_account(progress, binds);
                                    append_identity(program_, file, binds);
                                  });
}

db::Status LoadHistory::write_loaded_entry(const FileIdentity& file, const LoadProgress& progress) {
  static const std::string statement = statements::loaded_insert();
  return session_.execute_account(statement,
                                  [this, &file, &progress](std::vector<db::Bind>& binds) {
                                    append_identity(program_, file, binds);
                                    append_account(progress, binds);
                                  });
}

db::Status LoadHistory::write_loaded_entries(std::span<const FileIdentity* const> files,
                                             std::span<const LoadProgress* const> progress) {
  static const std::string statement = statements::loaded_insert_all();
  // Each file's values as write_loaded_entry binds them, the program and
  // the instance aside.
  std::vector<db::Bind> values;
  for (std::size_t i = 0; i < files.size(); ++i) {
    append_file(*files[i], values);
    append_account_values(*progress[i], values);
  }
  constexpr std::size_t kColumns = 15;
  std::vector<std::string> arrays(kColumns);
  for (std::size_t column = 0; column < kColumns; ++column) {
    db::array_literal(values, column, kColumns, arrays[column]);
  }
  // The accounts are final: the values are the same at every send.
  return session_.execute_account(statement, [this, arrays](std::vector<db::Bind>& binds) {
    binds.push_back(db::Bind::text(program_));
    binds.push_back(db::Bind::text(instance_));
    for (const std::string& array : arrays) binds.push_back(db::Bind::text(array));
  });
}

void LoadHistory::append_account(const LoadProgress& progress, std::vector<db::Bind>& binds) const {
  append_account_values(progress, binds);
  binds.push_back(db::Bind::text(instance_));
}

std::string default_instance_name() {
  char host[256] = {};
  if (gethostname(host, sizeof host - 1) != 0) host[0] = '\0';
  return std::string(host) + ":" + std::to_string(getpid());
}

}  // namespace qx::history
