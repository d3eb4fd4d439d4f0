// Failures provoked for real on both backends fall into the right class: the
// row's own data or the system; a second claim on a file's history identity
// is a row's failure that the load history tells as its own conflict.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "backend_database.h"
#include "history/load_history.h"

namespace qx::db {
namespace {

using testing::Backend;
using testing::BackendDatabase;

constexpr const char* kHistoryRow =
    "insert into qx_load_history (lh_program, lh_file_name, lh_file_size, lh_file_mtime_ns, "
    "lh_digest, lh_state, lh_instance) values ('tarvo', 'A.PNR', 1, 2, 'd', 'loaded', 'h:1')";

struct Provocation {
  const char* what;
  std::optional<Backend> only_on;
  // Run first on the same session, in the same transaction.
  std::vector<std::string> setup;
  std::string statement;
  FailureClass expected;
  // The failure is the load history's conflict: its identity is taken.
  bool history_conflict = false;
};

const std::vector<Provocation>& provocations() {
  static const std::vector<Provocation> all = {
      {"unique violation",
       {},
       {"insert into t values (1, 'a')"},
       "insert into t values (1, 'b')",
       FailureClass::row},
      {"NULL into NOT NULL", {}, {}, "insert into t values (2, NULL)", FailureClass::row},
      {"value too long",
       Backend::postgres,
       {},
       "insert into t values (3, 'too long')",
       FailureClass::row},
      {"invalid number", {}, {}, "insert into t values ('abc', 'a')", FailureClass::row},
      {"division by zero",
       Backend::postgres,
       {},
       "insert into t values (1/0, 'a')",
       FailureClass::row},
      {"history identity taken", {}, {kHistoryRow}, kHistoryRow, FailureClass::row, true},
      {"missing table", {}, {}, "insert into no_such_table values (1)", FailureClass::systemic},
      {"missing column", {}, {}, "insert into t (k, nope) values (4, 'a')", FailureClass::systemic},
      {"database full",
       Backend::sqlite,
       {"PRAGMA max_page_count=1"},
       "insert into big values (randomblob(200000))",
       FailureClass::systemic},
      {"read-only transaction",
       Backend::postgres,
       {"SET TRANSACTION READ ONLY"},
       "insert into t values (6, 'a')",
       FailureClass::systemic},
      {"missing privilege",
       Backend::postgres,
       {"SET ROLE qx_without_rights"},
       "insert into t values (7, 'a')",
       FailureClass::systemic},
  };
  return all;
}

class FailureClassTest : public ::testing::TestWithParam<Backend> {};

TEST_P(FailureClassTest, ProvokedFailuresFallIntoTheirClass) {
  BackendDatabase database(GetParam());
  database.run("CREATE TABLE t (k integer PRIMARY KEY, v varchar(5) NOT NULL)");
  database.run("CREATE TABLE big (b text)");
  if (GetParam() == Backend::postgres) {
    // Roles belong to the whole server, which other tests share.
    database.run(
        "DO $$ BEGIN CREATE ROLE qx_without_rights NOLOGIN; "
        "EXCEPTION WHEN duplicate_object OR unique_violation THEN NULL; END $$");
  }
  for (const auto& provocation : provocations()) {
    if (provocation.only_on && *provocation.only_on != GetParam()) continue;
    auto session = database.connect();
    std::vector<Status> failures;
    session->set_failure_sink([&](const Status& status) { failures.push_back(status); });
    for (const auto& sql : provocation.setup) {
      ASSERT_TRUE(session->execute(sql, {}).ok()) << provocation.what << ": " << sql;
    }
    if (auto status = session->execute(provocation.statement, {}); status.failed()) {
      failures.push_back(status);
    }
    std::int64_t one = 0;
    // Sends what the server holds back; a failure that is not the row's
    // own fails this query.
    if (auto sent = session->query_integer("select 1", {}, one); sent.failed()) {
      failures.push_back(sent);
    }
    (void)session->rollback();  // the failures above are the ones looked at

    std::string messages;
    for (const auto& failure : failures) messages += " [" + failure.message + "]";
    ASSERT_EQ(failures.size(), 1u) << provocation.what << messages;
    const Status& failure = failures[0];
    EXPECT_EQ(failure.failure_class(), provocation.expected)
        << provocation.what << ": " << failure.message;
    EXPECT_EQ(failure.row_failure(), provocation.expected == FailureClass::row);
    EXPECT_EQ(failure.systemic(), provocation.expected == FailureClass::systemic);
    EXPECT_EQ(history::is_conflict(failure), provocation.history_conflict);
  }
  // Failures the session reports itself carry their class from the error table.
  auto unconnected = make_session(parse_target("qx@sqlite:", ""));
  EXPECT_TRUE(unconnected->execute("insert into t values (1, 'a')", {}).systemic());
  EXPECT_TRUE(Status::failure(kInvalidNumber).row_failure());
  EXPECT_FALSE(Status::success().systemic());
}

INSTANTIATE_TEST_SUITE_P(Backends, FailureClassTest,
                         ::testing::Values(Backend::sqlite, Backend::postgres),
                         [](const auto& info) { return testing::backend_name(info.param); });

}  // namespace
}  // namespace qx::db
