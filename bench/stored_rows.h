// The rows a loader stored for a backlog, read back as text for the bulk
// ceiling (bulk_ceiling.h) to write again: per table of the loader, its
// columns and every row. Read back after a load, so they are exactly the
// rows the loader inserts (keys, serials, insert times and all), with no
// second parser to keep in step with the loaders.
#pragma once

#include <string>
#include <vector>

#include "bench_database.h"
#include "support/table_reader.h"

namespace qx::bench {

struct StoredTable {
  std::string name;
  std::vector<std::string> columns;
  // Each row's values in column order, as text; NULL as an empty optional.
  std::vector<qx::testing::Row> rows;
};

struct StoredRows {
  std::vector<StoredTable> tables;
  long long row_count() const;
};

// Every row of the tables of `database` whose names begin with `prefix`
// ("qx_tarvo_"), in the schema's table order. Throws when they cannot be read.
StoredRows read_stored_rows(const BenchDatabase& database, const std::string& prefix);

}  // namespace qx::bench
