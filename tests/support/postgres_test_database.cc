#include "support/postgres_test_database.h"

#include <libpq-fe.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <memory>
#include <stdexcept>

#include "schema/schema.h"

namespace qx::testing {
namespace {

std::string env_or_throw(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr || *value == '\0') {
    throw std::runtime_error(std::string(name) +
                             " is not set: run the tests through ctest, which starts the "
                             "PostgreSQL test server");
  }
  return value;
}

using Connection = std::unique_ptr<PGconn, decltype(&PQfinish)>;

Connection connect_to(const std::string& database, const std::string& host) {
  Connection conn(PQconnectdb(test_server_conninfo(database, host).c_str()), &PQfinish);
  // "does not exist, skipping" and the like are not worth a line of output.
  PQsetNoticeProcessor(
      conn.get(), [](void*, const char*) {}, nullptr);
  if (PQstatus(conn.get()) != CONNECTION_OK) {
    throw std::runtime_error("cannot reach the PostgreSQL test server: " +
                             std::string(PQerrorMessage(conn.get())));
  }
  return conn;
}

void run_on(PGconn* conn, const std::string& sql) {
  std::unique_ptr<PGresult, decltype(&PQclear)> result(PQexec(conn, sql.c_str()), &PQclear);
  auto status = PQresultStatus(result.get());
  if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) {
    throw std::runtime_error("SQL failed: " + sql + ": " + PQerrorMessage(conn));
  }
}

}  // namespace

std::string test_server_conninfo(const std::string& database) {
  return test_server_conninfo(database, env_or_throw("QX_TEST_PGHOST"));
}

std::string test_server_conninfo(const std::string& database, const std::string& host) {
  return "host=" + host + " port=" + env_or_throw("QX_TEST_PGPORT") +
         " user=" + env_or_throw("QX_TEST_PGUSER") + " dbname=" + database;
}

std::string PostgresTestDatabase::unique_database_name() {
  static std::atomic<int> counter{0};
  return "qx_test_" + std::to_string(getpid()) + "_" + std::to_string(counter++);
}

PostgresTestDatabase::PostgresTestDatabase(bool with_schema)
    : PostgresTestDatabase(unique_database_name(), with_schema) {}

PostgresTestDatabase::PostgresTestDatabase(std::string name, bool with_schema)
    : PostgresTestDatabase(std::move(name), with_schema, env_or_throw("QX_TEST_PGHOST")) {}

std::unique_ptr<PostgresTestDatabase> PostgresTestDatabase::on_server(std::string host) {
  return std::unique_ptr<PostgresTestDatabase>(
      new PostgresTestDatabase(unique_database_name(), true, std::move(host)));
}

PostgresTestDatabase::PostgresTestDatabase(std::string name, bool with_schema, std::string host)
    : name_(std::move(name)), host_(std::move(host)) {
  auto admin = connect_to("postgres", host_);
  run_on(admin.get(), "DROP DATABASE IF EXISTS " + name_);
  run_on(admin.get(), "CREATE DATABASE " + name_ + " ENCODING 'UTF8' TEMPLATE template0");
  if (with_schema) {
    auto conn = connect_to(name_, host_);
    for (const auto& statement : schema::ddl(schema::Dialect::postgresql)) {
      run_on(conn.get(), statement);
    }
  }
}

PostgresTestDatabase::~PostgresTestDatabase() {
  try {
    auto admin = connect_to("postgres", host_);
    run_on(admin.get(), "DROP DATABASE IF EXISTS " + name_ + " WITH (FORCE)");
  } catch (const std::exception&) {
    // The server is going away with the test run; nothing to clean up then.
  }
}

namespace {

std::string uri_for(const std::string& name, const std::string& host) {
  return "postgresql://" + env_or_throw("QX_TEST_PGUSER") + "@/" + name + "?host=" + host +
         "&port=" + env_or_throw("QX_TEST_PGPORT");
}

}  // namespace

std::string PostgresTestDatabase::uri() const {
  return uri_for(name_, host_);
}

std::string PostgresTestDatabase::target_text_for(const std::string& name) {
  return env_or_throw("QX_TEST_PGUSER") + "@" + uri_for(name, env_or_throw("QX_TEST_PGHOST"));
}

std::string PostgresTestDatabase::conninfo() const {
  return test_server_conninfo(name_, host_);
}

std::string PostgresTestDatabase::target_text() const {
  return env_or_throw("QX_TEST_PGUSER") + "@" + uri();
}

void PostgresTestDatabase::run(const std::string& sql) const {
  auto conn = connect_to(name_, host_);
  run_on(conn.get(), sql);
}

}  // namespace qx::testing
