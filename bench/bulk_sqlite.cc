#include <sqlite3.h>

#include <chrono>
#include <memory>
#include <stdexcept>

#include "bulk_ceiling.h"

namespace qx::bench {
namespace {

using Connection = std::unique_ptr<sqlite3, decltype(&sqlite3_close)>;
using Statement = std::unique_ptr<sqlite3_stmt, decltype(&sqlite3_finalize)>;

void check(sqlite3* db, int rc, int expected, const std::string& what) {
  if (rc != expected) throw std::runtime_error(what + ": " + sqlite3_errmsg(db));
}

void exec(sqlite3* db, const std::string& sql) {
  check(db, sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK, sql);
}

Statement prepare_insert(sqlite3* db, const StoredTable& table) {
  std::string columns, values;
  for (const auto& column : table.columns) {
    columns += (columns.empty() ? "" : ",") + column;
    values += values.empty() ? "?" : ",?";
  }
  const std::string sql =
      "insert into " + table.name + " (" + columns + ") values (" + values + ")";
  sqlite3_stmt* raw = nullptr;
  check(db, sqlite3_prepare_v2(db, sql.c_str(), -1, &raw, nullptr), SQLITE_OK, sql);
  return {raw, &sqlite3_finalize};
}

}  // namespace

double write_with_sqlite(const std::string& path, const StoredRows& rows) {
  sqlite3* raw = nullptr;
  int rc = sqlite3_open_v2(path.c_str(), &raw, SQLITE_OPEN_READWRITE, nullptr);
  Connection db(raw, &sqlite3_close);
  check(raw, rc, SQLITE_OK, "open " + path);
  // The loaders' sessions commit with these (the journal mode is the file's
  // own, set when the loaders' session made it).
  exec(raw, "PRAGMA synchronous=FULL");
  std::vector<Statement> inserts;
  for (const auto& table : rows.tables) inserts.push_back(prepare_insert(raw, table));

  const auto start = std::chrono::steady_clock::now();
  exec(raw, "BEGIN IMMEDIATE");
  for (std::size_t t = 0; t < rows.tables.size(); ++t) {
    sqlite3_stmt* insert = inserts[t].get();
    for (const auto& row : rows.tables[t].rows) {
      for (std::size_t i = 0; i < row.size(); ++i) {
        const int at = static_cast<int>(i) + 1;
        if (row[i]) {
          sqlite3_bind_text(insert, at, row[i]->data(), static_cast<int>(row[i]->size()),
                            SQLITE_STATIC);
        } else {
          sqlite3_bind_null(insert, at);
        }
      }
      check(raw, sqlite3_step(insert), SQLITE_DONE, "insert into " + rows.tables[t].name);
      sqlite3_reset(insert);
    }
  }
  exec(raw, "COMMIT");
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double write_in_bulk(const BenchDatabase& database, const StoredRows& rows) {
  return database.backend() == Backend::sqlite ? write_with_sqlite(database.location(), rows)
                                               : write_with_copy(database.location(), rows);
}

}  // namespace qx::bench
