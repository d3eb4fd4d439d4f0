// A fresh database of either backend for the session tests: a SQLite file in
// a temporary directory, or a database on the PostgreSQL test server. Both
// are gone when the object goes.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "db/make_session.h"
#include "support/postgres_test_database.h"
#include "support/table_reader.h"
#include "support/temp_dir.h"

namespace qx::testing {

enum class Backend { sqlite, postgres };

std::string backend_name(Backend backend);

class BackendDatabase {
 public:
  // `with_schema` false leaves a PostgreSQL database empty; a SQLite file
  // gets the schema from its first session either way.
  explicit BackendDatabase(Backend backend, bool with_schema = true);

  Backend backend() const { return backend_; }
  const db::Target& target() const { return target_; }
  // The loaders' first argument for this database.
  const std::string& target_text() const { return target_text_; }
  // Reads this database's tables back.
  TableReader reader() const;
  // A new session on this database, connected; throws when it cannot connect.
  std::unique_ptr<db::Session> connect() const;
  // Runs one statement on a connection of its own and commits; throws on failure.
  void run(const std::string& sql) const;

 private:
  Backend backend_;
  std::optional<TempDir> dir_;
  std::optional<PostgresTestDatabase> postgres_;
  std::string target_text_;
  db::Target target_;
};

}  // namespace qx::testing
