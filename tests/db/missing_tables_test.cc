// Finding the tables a program needs that its server database lacks, and the
// one line that says so at start.
#include "db/missing_tables.h"

#include <gtest/gtest.h>

#include <unistd.h>

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
                "; create it as the tables' owner with: qx_schema postgresql | psql -v "
                "ON_ERROR_STOP=1 -d '" +
                target.display().substr(target.user.size() + 1) + "'\n");

  database.run("drop table qx_meridon_a21");
  EXPECT_NE(missing_tables_notice(*session, target, "meridon_full")
                .find("The tables qx_meridon_a21, qx_load_history are missing in "),
            std::string::npos);
  // The probes leave the session as it was: the next transaction commits.
  ASSERT_TRUE(session->execute("insert into qx_tarvo_m1 (tm1_reference) values (1)", {}).ok());
  EXPECT_TRUE(session->commit().ok());
}

// A role of its own, as the README sets one up: without grants it lacks
// everything the loader writes, each grant takes its privilege off the line,
// and the owner's command names the grants script.
TEST(MissingTablesTest, NamesThePrivilegesTheLoadersRoleLacks) {
  BackendDatabase database(Backend::postgres);
  const std::string role = "qx_role_" + std::to_string(::getpid());
  database.run("drop role if exists " + role);
  database.run("create role " + role + " login");
  db::Target as_role = database.target();
  as_role.user = role;
  auto session = db::make_session(as_role);
  ASSERT_TRUE(session->connect().ok());

  std::vector<std::string> lacking;
  ASSERT_TRUE(find_missing_privileges(*session, "meridon_full", lacking).ok());
  ASSERT_EQ(lacking.size(), 2u);
  EXPECT_TRUE(lacking[0].starts_with("SELECT, INSERT, UPDATE on qx_meridon_t5, qx_meridon_a02, "))
      << lacking[0];
  EXPECT_TRUE(lacking[0].ends_with(", qx_load_history")) << lacking[0];
  EXPECT_EQ(lacking[1], "USAGE on MERIDON_SEQUENCE");

  database.run("grant select, insert on qx_load_history to " + role);
  database.run("grant usage on sequence meridon_sequence to " + role);
  lacking.clear();
  ASSERT_TRUE(find_missing_privileges(*session, "meridon_full", lacking).ok());
  EXPECT_EQ(lacking.back(), "UPDATE on qx_load_history") << lacking.back();
  const std::string notice = missing_privileges_notice(*session, as_role, "meridon_full");
  EXPECT_TRUE(notice.starts_with("The role " + role + " lacks SELECT, INSERT, UPDATE on "))
      << notice;
  EXPECT_NE(notice.find("; UPDATE on qx_load_history in "), std::string::npos) << notice;
  EXPECT_NE(notice.find(" -v loader=meridon_full -v role=" + role +
                        " -f /usr/share/doc/qx-loaders/examples/grants.sql\n"),
            std::string::npos)
      << notice;
  session.reset();
  database.run("drop owned by " + role);
  database.run("drop role " + role);
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
  EXPECT_EQ(missing_privileges_notice(*lite.connect(), lite.target(), "corvane"), "");
  EXPECT_TRUE(schema::required_tables("no_such_program").empty());
}

}  // namespace
}  // namespace qx::db
