// The per-field design, for its baseline: the one-row statements that ask
// the database for every separator, cut, tag, constant and null fill of a
// record, as that design sends them. Results are taken and dropped; the
// loader's own code then does the real work, so the baseline carries the
// same inserts and commits plus the per-field traffic.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "bench_database.h"
#include "db/session.h"

namespace qx::bench {

class PerFieldQueries {
 public:
  PerFieldQueries(db::Session& session, Backend backend);

  // Splits an AIR line at ";" through the database (separator position,
  // text before, text after, or the copy of the last field), then reads its
  // two tags.
  void split_air_line(std::string_view line);

  // The tag of a fixed-position record: its first `length` characters.
  void read_tag(std::string_view line, int length);
  // One constant into a buffer.
  void constant(std::string_view text);
  // One fixed-position cut; `length` below 1 cuts to the end of the line.
  void cut(std::string_view line, int start, int length);
  // Empties `buffers` buffers with one statement.
  void null_fill(std::size_t buffers);

 private:
  db::Session& session_;
  std::string separator_sql_;
  std::string copy_sql_;
  std::string text_;
};

}  // namespace qx::bench
