// A fresh database with the whole schema for one measured run, on SQLite (a
// new file on disk) or on the PostgreSQL server that bench/run.sh starts
// (the same environment variables as the tests: QX_TEST_PGHOST, ...).
#pragma once

#include <memory>
#include <string>

#include "db/make_session.h"
#include "support/postgres_test_database.h"
#include "support/table_reader.h"
#include "support/temp_dir.h"

namespace qx::bench {

enum class Backend { sqlite, postgresql };

const char* backend_name(Backend backend);

class BenchDatabase {
 public:
  explicit BenchDatabase(Backend backend);

  Backend backend() const { return backend_; }
  // The loaders' first argument for this database.
  const std::string& target_text() const { return target_text_; }
  // A new, connected session on it; throws when it cannot connect.
  std::unique_ptr<db::Session> connect() const;
  // Rows in every table whose name begins with `prefix` ("qx_air_").
  long long rows_in_tables(const std::string& prefix) const;
  // Reads rows back, through a connection of its own.
  qx::testing::TableReader reader() const;
  // Where a client of the database's own library connects: the SQLite
  // file's path, or a libpq connection string.
  std::string location() const;

 private:
  Backend backend_;
  qx::testing::TempDir dir_;
  std::unique_ptr<qx::testing::PostgresTestDatabase> postgres_;
  std::string target_text_;
};

}  // namespace qx::bench
