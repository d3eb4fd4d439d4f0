#include "bench_database.h"

#include <stdexcept>

#include "schema/schema.h"

namespace qx::bench {

const char* backend_name(Backend backend) {
  return backend == Backend::sqlite ? "SQLite" : "PostgreSQL";
}

BenchDatabase::BenchDatabase(Backend backend) : backend_(backend) {
  if (backend == Backend::sqlite) {
    target_text_ = "bench@" + location();
  } else {
    postgres_ = std::make_unique<qx::testing::PostgresTestDatabase>();
    target_text_ = postgres_->target_text();
  }
}

std::unique_ptr<db::Session> BenchDatabase::connect() const {
  auto session = db::make_session(db::parse_target(target_text_, ""));
  db::Status status = session->connect();
  if (status.failed()) throw std::runtime_error("cannot connect: " + status.message);
  return session;
}

std::string BenchDatabase::location() const {
  return postgres_ ? postgres_->conninfo() : (dir_.path() / "bench.db").string();
}

qx::testing::TableReader BenchDatabase::reader() const {
  return postgres_ ? qx::testing::TableReader::postgres(location())
                   : qx::testing::TableReader::sqlite(location());
}

long long BenchDatabase::rows_in_tables(const std::string& prefix) const {
  auto session = connect();
  long long rows = 0;
  for (const auto& table : schema::tables()) {
    if (table.name.rfind(prefix, 0) != 0) continue;
    std::int64_t count = 0;
    db::Status status = session->query_integer("select count(*) from " + table.name, {}, count);
    if (status.failed()) throw std::runtime_error(table.name + ": " + status.message);
    rows += count;
  }
  // The counts are read: ending their transaction stores nothing.
  (void)session->commit();
  return rows;
}

}  // namespace qx::bench
