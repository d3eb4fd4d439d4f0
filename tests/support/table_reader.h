// Reads rows back from a loader's database, SQLite file or PostgreSQL, for
// tests to compare with what the loaded files hold. Values come back as
// text (UTF-8), NULL as an empty optional.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace qx::testing {

using Value = std::optional<std::string>;
using Row = std::vector<Value>;

class TableReader {
 public:
  // `sqlite_path` for an SQLite file, or a libpq connection string /
  // postgresql:// URI.
  static TableReader sqlite(std::string path);
  static TableReader postgres(std::string conninfo);

  // Every row of `sql`; throws on failure.
  std::vector<Row> rows(const std::string& sql) const;
  // Every row of each query, in order, over one connection.
  std::vector<std::vector<Row>> rows_of_each(const std::vector<std::string>& sqls) const;
  // The single value of a one-row, one-column query.
  Value value(const std::string& sql) const;
  long long count(const std::string& table) const;

 private:
  bool is_sqlite_ = true;
  std::string location_;
};

}  // namespace qx::testing
