// A fresh database with the whole schema on the PostgreSQL server that the
// test fixture started (QX_TEST_PGHOST, QX_TEST_PGPORT, QX_TEST_PGUSER), or
// on another server started by pg_server.sh (its directory as the host),
// dropped when the object goes. Throws when the server cannot be reached:
// a test that needs PostgreSQL fails, it is never skipped.
#pragma once

#include <memory>
#include <string>

namespace qx::testing {

class PostgresTestDatabase {
 public:
  // `with_schema` false leaves the database empty.
  explicit PostgresTestDatabase(bool with_schema = true);
  // A database of a name chosen beforehand (see unique_database_name), for
  // tests in which a loader is pointed at it before it exists.
  PostgresTestDatabase(std::string name, bool with_schema);
  // A fresh database with the whole schema on the server whose socket
  // directory is `host` (same port and login as the fixture's server).
  static std::unique_ptr<PostgresTestDatabase> on_server(std::string host);

  // A name no other test database of this run has.
  static std::string unique_database_name();
  // The loaders' first argument for a database of that name on the test
  // server, whether or not it exists yet.
  static std::string target_text_for(const std::string& name);
  ~PostgresTestDatabase();
  PostgresTestDatabase(const PostgresTestDatabase&) = delete;
  PostgresTestDatabase& operator=(const PostgresTestDatabase&) = delete;

  const std::string& name() const { return name_; }
  // A postgresql:// URI naming this database on the test server.
  std::string uri() const;
  // A libpq connection string for this database (TableReader::postgres).
  std::string conninfo() const;
  // The loaders' first argument for this database: "USER@URI".
  std::string target_text() const;

  // Runs one SQL text (any number of statements) on this database; throws on
  // failure.
  void run(const std::string& sql) const;

 private:
  PostgresTestDatabase(std::string name, bool with_schema, std::string host);
  std::string name_;
  std::string host_;
};

// A libpq connection string for a database on the test server, or on the
// server whose socket directory is `host`.
std::string test_server_conninfo(const std::string& database);
std::string test_server_conninfo(const std::string& database, const std::string& host);

}  // namespace qx::testing
