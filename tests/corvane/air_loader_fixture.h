// An AIR loader of a chosen build on a fresh SQLite database, fed lines as
// the driver feeds them (one commit per line), with its output captured.
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <memory>
#include <string>

#include "corvane/air_loader.h"
#include "db/session.h"
#include "support/captured_output.h"
#include "support/table_reader.h"
#include "support/temp_dir.h"

namespace qx::corvane {

class AirLoaderTest : public ::testing::Test {
 protected:
  void use_build(AirBuild build) {
    database = (dir.path() / "air.db").string();
    session = db::make_session(db::parse_target("test@" + database, ""));
    ASSERT_TRUE(session->connect().ok());
    loader = std::make_unique<AirLoader>(*session, build, out.file());
  }
  void SetUp() override { use_build(AirBuild::base); }

  void load_file(const std::string& name, std::initializer_list<std::string> lines) {
    loader->begin_file(name);
    std::size_t number = 0;
    for (const auto& line : lines) {
      loader->process_line(line, ++number);
      ASSERT_TRUE(session->commit().ok());
    }
  }
  qx::testing::TableReader reader() const { return qx::testing::TableReader::sqlite(database); }
  std::vector<qx::testing::Row> rows(const std::string& sql) const { return reader().rows(sql); }
  long long count(const std::string& table) const { return reader().count(table); }

  qx::testing::TempDir dir;
  qx::testing::CapturedOutput out;
  std::string database;
  std::unique_ptr<db::Session> session;
  std::unique_ptr<AirLoader> loader;
};

}  // namespace qx::corvane
