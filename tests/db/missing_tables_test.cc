// Finding the tables a program needs that its server database lacks, and the
// one line that says so at start.
#include "db/missing_tables.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "backend_database.h"
#include "schema/schema.h"

namespace qx::db {
namespace {

using testing::Backend;
using testing::BackendDatabase;

TEST(MissingTablesTest, NamesWhatIsMissingAndTheCommandThatCreatesIt) {
  BackendDatabase database(Backend::postgres);
  auto session = database.connect();
  EXPECT_EQ(missing_tables_notice(*session, database.target(), "tarvo"), "");

  database.run("drop table qx_load_history");
  std::vector<std::string> missing;
  ASSERT_TRUE(find_missing_tables(*session, schema::required_tables("corvane"), missing).ok());
  EXPECT_EQ(missing, std::vector<std::string>{"qx_load_history"});
  const auto& target = database.target();
  EXPECT_EQ(missing_tables_notice(*session, target, "tarvo"),
            "The table qx_load_history is missing in " + session->description() +
                "; create it with: qx_schema postgresql | psql -v ON_ERROR_STOP=1 -U " +
                target.user + " -d '" + target.display().substr(target.user.size() + 1) + "'\n");

  database.run("drop table qx_meridon_a21");
  EXPECT_NE(missing_tables_notice(*session, target, "meridon_full")
                .find("The tables qx_meridon_a21, qx_load_history are missing in "),
            std::string::npos);
  // The probes leave the session as it was: the next transaction commits.
  ASSERT_TRUE(session->execute("insert into qx_tarvo_m1 (tm1_reference) values (1)", {}).ok());
  EXPECT_TRUE(session->commit().ok());
}

TEST(MissingTablesTest, AnEmptyServerDatabaseLacksEveryTableAndSqliteNothing) {
  BackendDatabase empty(Backend::postgres, false);
  auto session = empty.connect();
  std::vector<std::string> missing;
  const auto required = schema::required_tables("meridon_full");
  ASSERT_EQ(required.size(), 14u);
  ASSERT_TRUE(find_missing_tables(*session, required, missing).ok());
  EXPECT_EQ(missing, required);

  BackendDatabase lite(Backend::sqlite);
  EXPECT_EQ(missing_tables_notice(*lite.connect(), lite.target(), "corvane"), "");
  EXPECT_TRUE(schema::required_tables("no_such_program").empty());
}

}  // namespace
}  // namespace qx::db
