#include "history/load_history_statements.h"

#include "history/file_identity.h"

namespace qx::history::statements {
namespace {

constexpr std::string_view kTable = "qx_load_history";

// The row in one text: digest;state;key;lines;booking key;4 serials;
// stored;rejected;first rejected line.
constexpr std::string_view kRowAsText =
    "lh_digest || ';' || lh_state || ';' || coalesce(lh_key,0) || ';' || lh_lines_done || ';' || "
    "coalesce(lh_booking_key,0) || ';' || coalesce(lh_shared_serial,1) || ';' || "
    "coalesce(lh_r_serial,1) || ';' || coalesce(lh_v_serial,1) || ';' || "
    "coalesce(lh_f_serial,1) || ';' || lh_rows_stored || ';' || lh_rows_rejected || ';' || "
    "coalesce(lh_first_rejected_line,0)";

// A claim finds the row written under the file's digest, or else one with
// the same name, size and time written under the earlier digest, which the
// caller checks against the bytes. `digest` is the file's digest as the
// query names it. The row under it wins by a leading '1' before the
// greatest is taken, which costs less than sorting the rows (for which
// SQLite opens a temporary table on every lookup).
std::string claimed_row(std::string_view name, std::string_view size, std::string_view mtime,
                        std::string_view digest) {
  const std::string earlier = "length(lh_digest)=" + std::to_string(kEarlierDigestLength);
  std::string text = "select substr(max(case when " + earlier + " then '0' else '1' end || ";
  text += kRowAsText;
  text += "), 2) from ";
  text += kTable;
  text += " where lh_program=:b0 and lh_file_name=";
  text += name;
  text += " and lh_file_size=";
  text += size;
  text += " and lh_file_mtime_ns=";
  text += mtime;
  text += " and (lh_digest=";
  text += digest;
  text += " or " + earlier + ")";
  return text;
}

}  // namespace

std::string lookup(bool with_lock, bool with_key) {
  std::string text = "select coalesce((";
  text += claimed_row(":b1", ":b2", ":b3", ":b4");
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

// The claim of many files in one query on a database with advisory locks:
// per file, in the order given, "busy" when another session holds its lock,
// or else its row as kRowAsText writes it ("new" for none) and a key drawn
// for it, the files' answers joined by '|'. The identities travel as
// arrays, one per identity column, so that one prepared statement serves
// any number of files.
std::string lookup_all() {
  std::string text = "select string_agg(case when pg_try_advisory_lock(f.lock) then coalesce((";
  text += claimed_row("f.name", "f.size", "f.mtime", "f.digest");
  text += "), '";
  text += kNoRow;
  text +=
      "') || ';' || nextval(:b1) else 'busy' end, '|' order by f.n) from "
      "unnest(cast(:b2 as text[]), cast(:b3 as bigint[]), cast(:b4 as bigint[]), "
      "cast(:b5 as text[]), cast(:b6 as bigint[])) with ordinality as "
      "f(name, size, mtime, digest, lock, n)";
  return text;
}

std::string insert() {
  std::string text = "insert into ";
  text += kTable;
  text +=
      " (lh_program, lh_file_name, lh_file_size, lh_file_mtime_ns, lh_digest, lh_state, "
      "lh_instance, lh_started_on) values (:b0, :b1, :b2, :b3, :b4, 'loading', :b5, "
      "CURRENT_TIMESTAMP)";
  return text;
}

std::string loaded_insert() {
  std::string text = "insert into ";
  text += kTable;
  text +=
      " (lh_program, lh_file_name, lh_file_size, lh_file_mtime_ns, lh_digest, lh_state, "
      "lh_key, lh_lines_done, lh_booking_key, lh_shared_serial, lh_r_serial, lh_v_serial, "
      "lh_f_serial, lh_rows_stored, lh_rows_rejected, lh_first_rejected_line, lh_instance, "
      "lh_started_on, lh_finished_on) values (:b0, :b1, :b2, :b3, :b4, :b5, :b6, :b7, :b8, :b9, "
      ":b10, :b11, :b12, :b13, :b14, :b15, :b16, CURRENT_TIMESTAMP, CURRENT_TIMESTAMP)";
  return text;
}

std::string loaded_insert_all() {
  std::string text = "insert into ";
  text += kTable;
  text +=
      " (lh_program, lh_file_name, lh_file_size, lh_file_mtime_ns, lh_digest, lh_state, "
      "lh_key, lh_lines_done, lh_shared_serial, lh_r_serial, lh_v_serial, lh_f_serial, "
      "lh_rows_stored, lh_rows_rejected, lh_instance, lh_started_on, lh_finished_on) "
      "select :b0, u.name, u.size, u.mtime, u.digest, 'loaded', u.key, u.lines, 1, 1, 1, 1, "
      "u.stored, u.rejected, :b1, CURRENT_TIMESTAMP, CURRENT_TIMESTAMP from "
      "unnest(cast(:b2 as text[]), cast(:b3 as bigint[]), cast(:b4 as bigint[]), "
      "cast(:b5 as text[]), cast(:b6 as bigint[]), cast(:b7 as bigint[]), "
      "cast(:b8 as bigint[]), cast(:b9 as bigint[])) as "
      "u(name, size, mtime, digest, key, lines, stored, rejected)";
  return text;
}

std::string update(bool finished) {
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

}  // namespace qx::history::statements
