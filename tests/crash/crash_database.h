// The database a crash test loads into, and the settings every crash test
// reads from the environment.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "support/postgres_test_database.h"
#include "support/table_reader.h"

namespace qx::crash {

enum class Backend { sqlite, postgresql };

std::string_view backend_name(Backend backend);

// A fresh database: an SQLite file the loader creates at its first connect,
// or a PostgreSQL database with the whole schema (on the fixture's server,
// or on the server whose socket directory is `host`), dropped at the end.
class CrashDatabase {
 public:
  CrashDatabase(Backend backend, const std::filesystem::path& sqlite_file,
                const std::string& host = {});

  // The loaders' first argument.
  const std::string& target() const { return target_; }
  testing::TableReader reader() const;
  Backend backend() const { return backend_; }
  // Empties every table and the load history, for the next round of a
  // sweep (an SQLite file is removed, and made again by the next connect).
  void clear() const;

 private:
  Backend backend_;
  std::filesystem::path sqlite_file_;
  std::unique_ptr<testing::PostgresTestDatabase> postgres_;
  std::string target_;
};

// The seed of this run: QX_CRASH_SEED when set, else a fresh one. The tests
// print it in every failure so that a run can be repeated.
std::uint64_t crash_seed();
// An environment variable read as a count, or `fallback` when unset.
int count_from_environment(const char* name, int fallback);

}  // namespace qx::crash
