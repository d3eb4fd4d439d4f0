// The fixture of the loader tests that work on a database of their own: a
// fresh SQLite file in a temporary directory, one session on it, the
// loader's output captured, and the tables readable.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "db/session.h"
#include "support/captured_output.h"
#include "support/table_reader.h"
#include "support/temp_dir.h"

namespace qx::testing {

class SqliteLoaderTest : public ::testing::Test {
 protected:
  // Points `database` at dir/file_name and connects a new `session` to it,
  // creating the database with the whole schema; the test fails when it
  // cannot connect. The session it replaces, if any, is closed.
  void connect(const std::string& file_name);

  TableReader reader() const { return TableReader::sqlite(database); }
  std::vector<Row> rows(const std::string& sql) const { return reader().rows(sql); }
  long long count(const std::string& table) const { return reader().count(table); }
  // Runs SQL on the database through a connection of its own; the test
  // fails when it does not succeed.
  void run_sql(const std::string& sql) const;

  TempDir dir;
  CapturedOutput out;
  std::string database;
  std::unique_ptr<db::Session> session;
};

}  // namespace qx::testing
