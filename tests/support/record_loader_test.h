// The fixture of the PNR and MIR loader tests: a loader of type `Loader` on
// a fresh SQLite database (sqlite_loader_test.h), fed lines as the driver
// feeds them (begin_file, parse_line per line, load_file). `Loader` is built
// from (session, verbose flag, output).
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "record_loader/record_load.h"
#include "support/sqlite_loader_test.h"

namespace qx::testing {

template <class Loader>
class RecordLoaderTest : public SqliteLoaderTest {
 protected:
  // The database is dir/database_file.
  explicit RecordLoaderTest(std::string database_file) : database_file_(std::move(database_file)) {}

  void SetUp() override { start(false); }
  // A new session on the database and a new loader on it.
  void start(bool verbose) {
    connect(database_file_);
    loader = std::make_unique<Loader>(*session, verbose, out.file());
  }

  // One file of `lines` (each without its record end), loaded.
  record_loader::LoadOutcome load(const std::string& name, std::vector<std::string> lines) {
    file_lines = std::move(lines);
    loader->begin_file(name);
    std::size_t number = 0;
    for (const auto& line : file_lines) loader->parse_line(line, ++number);
    return loader->load_file();
  }

  std::unique_ptr<Loader> loader;
  // The file in hand; the filed rows view it until the load is done.
  std::vector<std::string> file_lines;

 private:
  std::string database_file_;
};

}  // namespace qx::testing
