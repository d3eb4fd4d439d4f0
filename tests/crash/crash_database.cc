#include "crash/crash_database.h"

#include <cstdlib>
#include <random>

#include "schema/schema.h"

namespace qx::crash {
namespace fs = std::filesystem;

std::string_view backend_name(Backend backend) {
  return backend == Backend::sqlite ? "sqlite" : "postgresql";
}

CrashDatabase::CrashDatabase(Backend backend, const fs::path& sqlite_file, const std::string& host)
    : backend_(backend), sqlite_file_(sqlite_file) {
  if (backend == Backend::sqlite) {
    target_ = "qx@" + sqlite_file.string();
    return;
  }
  postgres_ = host.empty() ? std::make_unique<testing::PostgresTestDatabase>()
                           : testing::PostgresTestDatabase::on_server(host);
  target_ = postgres_->target_text();
}

testing::TableReader CrashDatabase::reader() const {
  return postgres_ ? testing::TableReader::postgres(postgres_->conninfo())
                   : testing::TableReader::sqlite(sqlite_file_.string());
}

void CrashDatabase::clear() const {
  if (!postgres_) {
    for (const char* suffix : {"", "-wal", "-shm", "-journal"}) {
      fs::remove(sqlite_file_.string() + suffix);
    }
    return;
  }
  std::string sql;
  for (const auto& table : schema::tables()) sql += "delete from " + table.name + ";";
  postgres_->run(sql + "delete from " + std::string(schema::kLoadHistoryTable));
}

std::uint64_t crash_seed() {
  static const std::uint64_t seed = []() -> std::uint64_t {
    const char* given = std::getenv("QX_CRASH_SEED");
    if (given != nullptr && *given != '\0') return std::stoull(given);
    std::random_device device;
    return (std::uint64_t{device()} << 32) | std::uint64_t{device()};
  }();
  return seed;
}

int count_from_environment(const char* name, int fallback) {
  const char* given = std::getenv(name);
  return given != nullptr && *given != '\0' ? std::stoi(given) : fallback;
}

}  // namespace qx::crash
