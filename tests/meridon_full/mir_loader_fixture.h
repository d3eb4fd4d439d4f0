// A MIR loader on a fresh SQLite database, fed lines as the driver feeds
// them (begin_file, parse_line per line, load_file), with its output
// captured and its tables readable.
#pragma once

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <memory>
#include <string>
#include <vector>

#include "db/session.h"
#include "db/target.h"
#include "meridon_full/mir_loader.h"
#include "support/captured_output.h"
#include "support/table_reader.h"
#include "support/temp_dir.h"

namespace qx::meridon_full {

class MirLoaderTest : public ::testing::Test {
 protected:
  void SetUp() override { start(false); }
  void start(bool verbose) {
    database = (dir.path() / "mir.db").string();
    session = db::make_session(db::parse_target("test@" + database, ""));
    ASSERT_TRUE(session->connect().ok());
    loader = std::make_unique<MirLoader>(*session, verbose, out.file());
  }

  // One file of `lines` (each without its line end, the header line first),
  // loaded.
  records::LoadOutcome load(const std::string& name, std::vector<std::string> lines) {
    file_lines = std::move(lines);
    loader->begin_file(name);
    std::size_t number = 0;
    for (const auto& line : file_lines) loader->parse_line(line, ++number);
    return loader->load_file();
  }

  // Runs SQL on the loader's database through a connection of its own.
  void run_sql(const std::string& sql) const {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(database.c_str(), &db), SQLITE_OK);
    sqlite3_busy_timeout(db, 30000);
    char* error = nullptr;
    int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error);
    std::string message = error ? error : "";
    sqlite3_free(error);
    sqlite3_close(db);
    ASSERT_EQ(rc, SQLITE_OK) << message;
  }

  qx::testing::TableReader reader() const { return qx::testing::TableReader::sqlite(database); }
  std::vector<qx::testing::Row> rows(const std::string& sql) const { return reader().rows(sql); }
  long long count(const std::string& table) const { return reader().count(table); }

  qx::testing::TempDir dir;
  qx::testing::CapturedOutput out;
  std::string database;
  std::unique_ptr<db::Session> session;
  std::unique_ptr<MirLoader> loader;
  std::vector<std::string> file_lines;
};

}  // namespace qx::meridon_full
