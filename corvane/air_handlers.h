// The AIR record handlers as data: which tags select a handler, the table
// and columns it writes, and where its serial comes from. The table is run
// in order for every line, every test of it; the tags are such that at most
// one handler inserts a row per line.
//
// A row is: the booking key, then (header only) the file's name, then (where
// the table has one) the serial, then entries 0, 1, ... of the field table.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "corvane/air_build.h"

namespace qx::corvane {

// The per-file serial counters; begin_file sets every one to 1.
enum class Counter { h, u, shared, r, v, f };
inline constexpr std::size_t kCounterCount = 6;

enum class SerialSource {
  none,
  // The highest serial stored under the booking key plus 1, asked of the
  // table before every row.
  table_query,
  // A per-file counter.
  counter,
  // The number at the start of entry 1 (record_serial_length characters).
  record,
};

struct AirHandler {
  std::string_view name;
  // The line is this handler's when tag2 equals one of `tag2` or tag4 one
  // of `tag4` (empty strings are unused places).
  std::array<std::string_view, 6> tag2 = {};
  std::array<std::string_view, 1> tag4 = {};
  std::string_view table;
  std::string_view prefix;       // column prefix: "aira_", "air_" for the header
  std::size_t text_columns = 0;  // entries 0 .. text_columns-1 of the field table
  SerialSource serial = SerialSource::none;
  Counter counter = Counter::shared;  // for table_query and counter
  bool raise_after = false;           // raise the counter after the row
  std::size_t record_serial_length = 0;
  // The header row: a new booking key on "AMD " and "AMDR" lines, and the
  // file's name after the key.
  bool header = false;

  bool selects(std::string_view tag2_value, std::string_view tag4_value) const;
};

// The handlers of one build, in test order.
const std::vector<AirHandler>& handlers(AirBuild build);

// "insert into <table> (<columns>) values (:b0,...)", built by one rule.
std::string insert_statement(const AirHandler& handler, const AirBuildProfile& profile);
// The serial query of a table_query handler.
std::string serial_query(const AirHandler& handler);
// The insert of a table_query handler with its serial query inside it: the
// row takes the highest serial stored under its key plus 1 without a round
// trip for the query. Its binds are those of insert_statement, without the
// serial, then the booking key again for the query.
std::string insert_with_serial_query(const AirHandler& handler, const AirBuildProfile& profile);
// The insert of many rows of the handler in one statement on a database
// that binds arrays: one array per bind of insert_statement, in its order,
// unnested into rows. A table_query handler's arrays leave out the serial:
// each row takes the highest serial stored under its key before the
// statement plus its place among the statement's rows of that key, which
// is what its rows inserted one by one in that order would take.
std::string array_insert_statement(const AirHandler& handler, const AirBuildProfile& profile);

// The table and columns of insert_statement(), as COPY names them: its
// rows are the insert's binds in order. Empty for a table_query handler,
// whose serial only a statement can ask of the table.
std::string copy_target(const AirHandler& handler, const AirBuildProfile& profile);

// The first four characters of a header line that draw a new booking key.
inline constexpr std::array<std::string_view, 2> kBookingKeyTags = {"AMD ", "AMDR"};
inline constexpr std::string_view kBookingSequence = "BOOK_SEQUENCE";

}  // namespace qx::corvane
