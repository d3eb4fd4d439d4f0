// A PNR loader on a fresh SQLite database, fed records as the driver feeds
// them (begin_file, parse_line per record, load_file), with its output
// captured and its tables readable.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "db/session.h"
#include "db/target.h"
#include "support/captured_output.h"
#include "support/table_reader.h"
#include "support/temp_dir.h"
#include "tarvo/pnr_loader.h"

namespace qx::tarvo {

class PnrLoaderTest : public ::testing::Test {
 protected:
  void SetUp() override { start(false); }
  void start(bool verbose) {
    database = (dir.path() / "pnr.db").string();
    session = db::make_session(db::parse_target("test@" + database, ""));
    ASSERT_TRUE(session->connect().ok());
    loader = std::make_unique<PnrLoader>(*session, verbose, out.file());
  }

  // One file of `records` (each without its record end), loaded.
  records::LoadOutcome load(const std::string& name, std::vector<std::string> records) {
    file_records = std::move(records);
    loader->begin_file(name);
    std::size_t number = 0;
    for (const auto& record : file_records) loader->parse_line(record, ++number);
    return loader->load_file();
  }

  qx::testing::TableReader reader() const { return qx::testing::TableReader::sqlite(database); }
  std::vector<qx::testing::Row> rows(const std::string& sql) const { return reader().rows(sql); }
  long long count(const std::string& table) const { return reader().count(table); }

  qx::testing::TempDir dir;
  qx::testing::CapturedOutput out;
  std::string database;
  std::unique_ptr<db::Session> session;
  std::unique_ptr<PnrLoader> loader;
  std::vector<std::string> file_records;
};

}  // namespace qx::tarvo
