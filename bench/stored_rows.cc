#include "stored_rows.h"

#include "schema/schema.h"

namespace qx::bench {

long long StoredRows::row_count() const {
  long long rows = 0;
  for (const auto& table : tables) rows += static_cast<long long>(table.rows.size());
  return rows;
}

StoredRows read_stored_rows(const BenchDatabase& database, const std::string& prefix) {
  StoredRows stored;
  std::vector<std::string> queries;
  for (const auto& table : schema::tables()) {
    if (table.name.rfind(prefix, 0) != 0) continue;
    StoredTable& read = stored.tables.emplace_back();
    read.name = table.name;
    std::string list;
    for (const auto& column : table.columns) {
      read.columns.push_back(column.name);
      list += (list.empty() ? "" : ",") + column.name;
    }
    queries.push_back("select " + list + " from " + table.name);
  }
  auto rows = database.reader().rows_of_each(queries);
  for (std::size_t t = 0; t < rows.size(); ++t) stored.tables[t].rows = std::move(rows[t]);
  return stored;
}

}  // namespace qx::bench
