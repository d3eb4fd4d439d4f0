#include "history/load_history_statements.h"

#include "history/file_identity.h"

namespace qx::history::statements {
namespace {

constexpr std::string_view kTable = "qx_load_history";

// The row's columns as a claim reads them, kRowColumns of them: digest,
// state, key, lines, booking key, the four serials, stored, rejected, first
// rejected line, with the values an empty column stands for. A server keeps
// the digest blank-padded to its fixed width, which the cast to text drops.
constexpr std::string_view kRowSelect =
    "cast(h.lh_digest as text), h.lh_state, coalesce(h.lh_key,0), h.lh_lines_done, "
    "coalesce(h.lh_booking_key,0), coalesce(h.lh_shared_serial,1), coalesce(h.lh_r_serial,1), "
    "coalesce(h.lh_v_serial,1), coalesce(h.lh_f_serial,1), h.lh_rows_stored, "
    "h.lh_rows_rejected, coalesce(h.lh_first_rejected_line,0)";

// The condition that finds a file's rows: the row written under the file's
// digest, or one with the same name, size and time written under the
// earlier digest, which the caller checks against the bytes. The values are
// as the query names them.
std::string claimed_rows(std::string_view program, std::string_view name, std::string_view size,
                         std::string_view mtime, std::string_view digest) {
  std::string text = "h.lh_program=";
  text += program;
  text += " and h.lh_file_name=";
  text += name;
  text += " and h.lh_file_size=";
  text += size;
  text += " and h.lh_file_mtime_ns=";
  text += mtime;
  text += " and (h.lh_digest=";
  text += digest;
  text += " or length(h.lh_digest)=" + std::to_string(kEarlierDigestLength) + ")";
  return text;
}

}  // namespace

std::string lookup(bool with_lock, bool with_key) {
  if (!with_lock) {
    std::string text = "select ";
    text += kRowSelect;
    text += " from ";
    text += kTable;
    text += " h where ";
    text += claimed_rows(":b0", ":b1", ":b2", ":b3", ":b4");
    return text;
  }
  // The claim is one row, none when another session holds the file's lock,
  // taken once (a WITH query that calls volatile functions is run once);
  // the file's rows join it. The key rides in the same answer; a key drawn
  // for a file that turns out loaded is a gap in the sequence, as any
  // unused draw is.
  std::string text = "with c as (select ";
  text += with_key ? "nextval(:b0) as drawn_key where pg_try_advisory_lock(:b1)"
                   : "1 as taken where pg_try_advisory_lock(:b0)";
  text += ") select ";
  text += kRowSelect;
  if (with_key) text += ", c.drawn_key";
  text += " from c left join ";
  text += kTable;
  text += " h on ";
  text += with_key ? claimed_rows(":b2", ":b3", ":b4", ":b5", ":b6")
                   : claimed_rows(":b1", ":b2", ":b3", ":b4", ":b5");
  return text;
}

// The claims are taken, and the keys drawn, once per file in the order
// given, in the materialised claim list (a WITH query that calls volatile
// functions is run once); the files' rows join it. The identities travel as
// arrays, one per identity column, so that one prepared statement serves
// any number of files. Without a key, the claim column holds 0 for a file
// taken.
std::string lookup_all(bool with_key) {
  int next = 0;
  const auto placeholder = [&next] { return ":b" + std::to_string(next++); };
  std::string text =
      "with f as (select f.n, f.name, f.size, f.mtime, f.digest, case when "
      "pg_try_advisory_lock(f.lock) then ";
  text += with_key ? "nextval(" + placeholder() + ")" : std::string("0");
  text += " end as drawn_key from unnest(cast(" + placeholder() + " as text[]), cast(" +
          placeholder() + " as bigint[]), cast(" + placeholder() + " as bigint[]), cast(" +
          placeholder() + " as text[]), cast(" + placeholder() +
          " as bigint[])) with ordinality as f(name, size, mtime, digest, lock, n)) "
          "select f.n, f.drawn_key, ";
  text += kRowSelect;
  text += " from f left join ";
  text += kTable;
  text += " h on f.drawn_key is not null and ";
  text += claimed_rows(placeholder(), "f.name", "f.size", "f.mtime", "f.digest");
  text += " order by f.n";
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
      "lh_key, lh_lines_done, lh_booking_key, lh_shared_serial, lh_r_serial, lh_v_serial, "
      "lh_f_serial, lh_rows_stored, lh_rows_rejected, lh_first_rejected_line, lh_instance, "
      "lh_started_on, lh_finished_on) "
      "select :b0, u.name, u.size, u.mtime, u.digest, u.state, u.key, u.lines, u.booking_key, "
      "u.shared, u.r, u.v, u.f, u.stored, u.rejected, u.first_rejected, :b1, "
      "CURRENT_TIMESTAMP, CURRENT_TIMESTAMP from "
      "unnest(cast(:b2 as text[]), cast(:b3 as bigint[]), cast(:b4 as bigint[]), "
      "cast(:b5 as text[]), cast(:b6 as text[]), cast(:b7 as bigint[]), cast(:b8 as bigint[]), "
      "cast(:b9 as double precision[]), cast(:b10 as bigint[]), cast(:b11 as bigint[]), "
      "cast(:b12 as bigint[]), cast(:b13 as bigint[]), cast(:b14 as bigint[]), "
      "cast(:b15 as bigint[]), cast(:b16 as bigint[])) as "
      "u(name, size, mtime, digest, state, key, lines, booking_key, shared, r, v, f, stored, "
      "rejected, first_rejected)";
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
