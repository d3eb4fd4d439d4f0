// Loading the lines of one AIR file: `begin_file` once per file, then
// `process_line` once per line. Each line is split into the field table,
// its tags are read, the handler tests run in order, and at most one row is
// inserted; the caller commits after every line.
//
// State that lives for the whole process: the booking key (0 until the
// first "AMD "/"AMDR" line draws one, then carried from file to file) and
// the per-file serial counters (set to 1 by begin_file).
//
// Every statement is one step: run it, and print a failure through the
// by-text error printer; the work goes on. The one exception is a failed
// booking-key draw: the rows after it belong to a booking that has no key,
// and storing them under the previous booking's key would merge the two.
// The line is refused instead (see LineOutcome), and the loader holds no
// key until the file is begun again or another draw succeeds.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "corvane/air_build.h"
#include "corvane/air_handlers.h"
#include "corvane/field_table.h"
#include "db/array_literal.h"
#include "db/copy_rows.h"
#include "db/session.h"
#include "history/load_history.h"
#include "os/console.h"
#include "scan/batch_limits.h"
#include "scan/file_report.h"

namespace qx::corvane {

enum class LineOutcome {
  // Every handler of the line ran; its failures, if any, were printed.
  done,
  // The line needs a booking key the loader cannot give: its own draw
  // failed, or an earlier draw failed and that file has not been begun
  // again. Nothing after the draw was run. The caller must roll the line
  // back and leave the file for a later scan; refusal() says why.
  no_booking_key,
  // A statement failed for a reason that is not the line's data (the
  // database cannot take work now). The caller must roll the line back and
  // leave the file waiting at this line; refusal() says why.
  systemic_failure,
};

class AirLoader {
 public:
  AirLoader(db::Session& session, AirBuild build, os::Console console);

  // Resets the per-file counters. A file begun again after its key draw
  // failed gets back the key it began with the first time, so that its
  // lines before the first header carry the same key again.
  void begin_file(std::string_view file_reference);
  // Takes a file up again after its lines up to `done.lines_done` were
  // committed: the booking key, the shared, R, V and F serials and the
  // counts of rows are those `done` holds, as they were after that line,
  // and a key that an earlier draw in the file failed to give is drawn
  // again when its line comes.
  void resume_file(std::string_view file_reference, const history::LoadProgress& done);
  // Puts back the state of `done` after a line that was rolled back, so
  // that nothing of it carries over to the next line or file.
  void restore(const history::LoadProgress& done);
  // Whether some handler takes `line` (one line without its line end), by
  // the tags of its first field, as process_line reads them.
  bool knows_line(std::string_view line) const;
  // `line` is one line without its line end; `line_number` counts from 1 and
  // names the line in what is printed about it.
  LineOutcome process_line(std::string_view line, std::size_t line_number);
  // Why the last refused line was refused, as one sentence naming the file
  // and the line ("No booking key could be drawn for FILE line N: REASON").
  const std::string& refusal() const { return refusal_; }
  // Sets the refusal for a line its caller could not store.
  void refuse(std::string why) { refusal_ = std::move(why); }

  // Prints a failed status through the by-text printer.
  void report_sql_error(const db::Status& status);

  // Everything a line changes in the loader: taken before the first line of
  // a group of lines and put back when the group is rolled back, so that the
  // group's lines can be done again one by one as if it had never run.
  struct Snapshot {
    double booking_key;
    double key_at_file_start;
    std::optional<std::string> file_without_key;
    std::string refusal;
    std::array<std::int32_t, kCounterCount> counters;
    std::string file_reference;
    std::size_t line_number;
    history::LoadProgress account;
    scan::RowTally tally;
  };
  Snapshot snapshot() const;
  void restore(const Snapshot& snapshot);
  // While grouped, lines are committed in groups and any failed statement
  // (even one that its row's data failed) makes process_line return
  // systemic_failure at once, printing nothing: the group is given up unseen
  // and done again line by line, which then tells the failure. A grouped
  // row whose serial is the highest of its table plus 1 takes it inside its
  // insert, so that the query costs no round trip of its own.
  void set_grouped(bool grouped) { grouped_ = grouped; }
  // While grouped, a line that draws a booking key and finds none drawn
  // ahead draws, in one statement, as many keys as `count` says the lines
  // from this one on will draw (at least this line's); later lines take
  // theirs from those, in line order. `count` sees only the lines its
  // group can still take, so that a key drawn ahead and never taken is one
  // whose group ended earlier than its limits (its keys then go to the
  // next group) or was rolled back: restore drops them, and so does
  // drop_keys_drawn_ahead, when the caller's files end.
  void set_keys_ahead(std::function<std::size_t()> count) { keys_ahead_ = std::move(count); }
  void drop_keys_drawn_ahead() {
    drawn_ahead_.clear();
    next_drawn_ahead_ = 0;
  }
  // Whether process_line draws a booking key for `line`.
  bool draws_key(std::string_view line) const;
  // On a database that binds arrays, a grouped row is kept until the group
  // ends, and each handler's rows of the group go in one insert
  // (array_insert_statement), or in one COPY where the session copies rows,
  // the handler's values are all bound (copy_target) and the group holds at
  // least copy_rows_from rows of the handler, when the caller flushes them,
  // before its commit: a failure then gives the group up like any other.
  // Rows not flushed are dropped by restore.
  db::Status flush_rows();
  void set_copy_rows_from(std::size_t rows) { copy_rows_from_ = std::max<std::size_t>(rows, 1); }

  // The file's account after the lines processed so far (the state a
  // resume needs, the counts of rows stored and rejected), with
  // `lines_done` and `state` as the caller last set them. Failures the
  // session reports late are counted in it as they arrive.
  history::LoadProgress& account() { return account_; }
  // The rows stored per table and the lines of rejected rows since the
  // file was begun or resumed in this process.
  const scan::RowTally& tally() const { return tally_; }

  double booking_key() const { return booking_key_; }
  std::int32_t counter(Counter c) const { return counters_[static_cast<std::size_t>(c)]; }
  const FieldTable& field_table() const { return field_table_; }
  std::string_view tag2() const { return tag2_; }
  std::string_view tag4() const { return tag4_; }

 private:
  struct PreparedHandler {
    const AirHandler* handler;
    std::string insert;
    std::string serial_query;
    // The grouped insert of a table_query handler (insert_with_serial_query).
    std::string insert_with_serial_query;
    std::string array_insert;
    // Empty when the handler's rows cannot be copied.
    std::string copy_target;
  };
  // A handler's rows kept for its array insert, one array per bind, and for
  // its COPY where it has one: both take the rows until copy_rows_from_ of
  // them are kept, the COPY alone from then on.
  struct KeptRows {
    std::vector<db::ArrayLiteral> columns;
    db::CopyRows copied;
    std::size_t rows = 0;
  };

  LineOutcome run_handler(const PreparedHandler& prepared, std::size_t line_number);
  // False when the draw failed; refusal_ then says why.
  bool draw_booking_key(std::size_t line_number);
  void report_split(const SplitReport& report, std::size_t line_number);
  std::int32_t& counter_ref(Counter c) { return counters_[static_cast<std::size_t>(c)]; }
  // Prints a failure; false when it is not the row's own, with refusal_
  // saying why. `row` counts the statement as a row stored or rejected.
  bool step(const db::Status& status, bool row = false);
  void drop_kept_rows();
  // Whether the kept rows go by COPY rather than by the array insert.
  bool copies(const KeptRows& kept) const { return kept.copied.rows() >= copy_rows_from_; }
  // The resume state of the account from the key and counters.
  void note_resume_state();

  db::Session& session_;
  const AirBuildProfile& profile_;
  os::Console console_;
  std::vector<PreparedHandler> handlers_;

  FieldTable field_table_;
  SplitReport split_report_;
  std::string_view tag2_;
  std::string_view tag4_;
  double booking_key_ = 0;
  // The key held when the current file was begun.
  double key_at_file_start_ = 0;
  // Set while no key is held: the file whose draw failed.
  std::optional<std::string> file_without_key_;
  std::string refusal_;
  std::array<std::int32_t, kCounterCount> counters_{};
  std::string file_reference_;
  std::size_t line_number_ = 0;
  std::vector<db::Bind> binds_;
  history::LoadProgress account_;
  scan::RowTally tally_;
  // The table of the handler running now, for the tally.
  std::string_view row_table_;
  bool grouped_ = false;
  std::function<std::size_t()> keys_ahead_;
  std::vector<std::int64_t> drawn_ahead_;
  // Per handler, in the order of handlers_.
  std::vector<KeptRows> kept_rows_;
  // The tables flush_rows copies.
  std::vector<db::CopiedTable> copied_tables_;
  bool rows_kept_ = false;
  std::size_t copy_rows_from_ = scan::kDefaultCopyRowsFrom;
  std::size_t next_drawn_ahead_ = 0;
};

}  // namespace qx::corvane
