// The PostgreSQL backend's pipeline: writes wait for the next answer, each
// failure is found and reported once, and a lost connection loses the
// transaction and nothing else.
#include <gtest/gtest.h>

#include <vector>

#include "backend_database.h"
#include "db/backend_errors.h"
#include "db/make_session.h"

namespace qx::db {
namespace {

using testing::Backend;
using testing::BackendDatabase;

class PostgresSessionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    database_.run("CREATE TABLE t (k integer PRIMARY KEY, v varchar(5) NOT NULL)");
    session_ = database_.connect();
    session_->set_failure_sink([this](const Status& status) { reported_.push_back(status.code); });
  }
  Status insert(std::int64_t k, std::string_view v) {
    const Bind binds[] = {Bind::integer(k), Bind::text(v)};
    return session_->execute("insert into t (k, v) values (:b0, :b1)", binds);
  }
  std::int64_t committed(const std::string& sql) {
    std::int64_t value = -1;
    EXPECT_TRUE(database_.connect()->query_integer(sql, {}, value).ok()) << sql;
    return value;
  }

  BackendDatabase database_{Backend::postgres};
  std::unique_ptr<Session> session_;
  std::vector<int> reported_;
};

TEST_F(PostgresSessionTest, AWriteIsSentWithTheNextOperationThatNeedsAnAnswer) {
  EXPECT_TRUE(session_->execute("insert into t (k, v) values (1, NULL)", {}).ok());
  EXPECT_TRUE(session_->execute("insert into missing_table values (1)", {}).ok());
  EXPECT_TRUE(reported_.empty());
  std::int64_t one = 0;
  // The row's own failure goes to the sink; the missing table fails the
  // query that sent it.
  EXPECT_EQ(session_->query_integer("select 1", {}, one).code, kTableMissing);
  EXPECT_EQ(reported_, std::vector<int>{kCannotInsertNull});
}

TEST_F(PostgresSessionTest, EveryFailureInAPipelineIsReportedOnceInStatementOrder) {
  for (int k = 1; k <= 100; ++k) {
    std::int64_t key = k;
    std::string_view v = "ok";
    if (k == 10) key = 5;         // a duplicate key
    if (k == 50) v = {};          // NULL into a NOT NULL column
    if (k == 70) v = "too long";  // longer than the column
    ASSERT_TRUE(insert(key, v).ok());
    if (k == 60) {
      std::int64_t out = 0;
      // A failing query returns its own status and aborts nothing of the rest.
      EXPECT_EQ(session_->query_integer("select 1/0", {}, out).code, -22012);
      ASSERT_TRUE(session_->query_integer("select count(*) from t", {}, out).ok());
      EXPECT_EQ(out, 58);
    }
  }
  ASSERT_TRUE(session_->commit().ok());
  EXPECT_EQ(reported_, (std::vector<int>{kUniqueViolation, kCannotInsertNull, kValueTooLarge}));
  EXPECT_EQ(committed("select count(*) from t"), 97);
  EXPECT_EQ(committed("select count(*) from t where k in (10, 50, 70) or v <> 'ok'"), 0);

  ASSERT_TRUE(insert(200, "next").ok());
  ASSERT_TRUE(session_->commit().ok());
  EXPECT_EQ(reported_.size(), 3u);
  EXPECT_EQ(committed("select count(*) from t"), 98);
}

TEST_F(PostgresSessionTest, ADrawIsNeverRepeatedWhenTheTransactionIsSentAgain) {
  std::int64_t value = 0;
  ASSERT_TRUE(insert(1, "one").ok());
  ASSERT_TRUE(insert(1, "dup").ok());  // aborts the pipeline that carries the draw
  ASSERT_TRUE(session_->next_value("TARVO_SEQUENCE", value).ok());
  EXPECT_EQ(value, 1);
  ASSERT_TRUE(insert(2, "dup").ok());
  ASSERT_TRUE(insert(2, "two").ok());
  ASSERT_TRUE(session_->commit().ok());  // replays the writes, not the draw
  ASSERT_TRUE(session_->next_value("TARVO_SEQUENCE", value).ok());
  EXPECT_EQ(value, 2);
  EXPECT_EQ(reported_, (std::vector<int>{kUniqueViolation, kUniqueViolation}));
  EXPECT_EQ(committed("select count(*) from t"), 2);
}

TEST_F(PostgresSessionTest, ALargeTransactionGoesThroughOnePipeline) {
  const std::string row(250, 'r');
  for (int k = 1; k <= 20000; ++k) {
    const Bind binds[] = {Bind::integer(k), Bind::text(row)};
    ASSERT_TRUE(
        session_->execute("insert into t (k, v) values (:b0, substr(:b1, 1, 5))", binds).ok());
  }
  ASSERT_TRUE(session_->commit().ok());
  EXPECT_EQ(committed("select count(*) from t"), 20000);
}

TEST_F(PostgresSessionTest, ALostConnectionLosesTheTransactionUntilConnectSucceeds) {
  std::int64_t pid = 0;
  ASSERT_TRUE(insert(1, "one").ok());
  ASSERT_TRUE(session_->query_integer("select pg_backend_pid()", {}, pid).ok());
  ASSERT_TRUE(insert(2, "two").ok());
  database_.run("select pg_terminate_backend(" + std::to_string(pid) + ", 10000)");

  EXPECT_EQ(session_->commit().code, kNotConnected);
  EXPECT_FALSE(session_->connected());
  EXPECT_EQ(insert(3, "three").code, kNotConnected);
  std::int64_t value = 0;
  EXPECT_EQ(session_->next_value("BOOK_SEQUENCE", value).code, kNotConnected);
  EXPECT_TRUE(reported_.empty());

  ASSERT_TRUE(session_->connect().ok());
  EXPECT_EQ(committed("select count(*) from t"), 0);
  ASSERT_TRUE(insert(4, "four").ok());
  ASSERT_TRUE(session_->commit().ok());
  EXPECT_EQ(committed("select count(*) from t"), 1);
}

TEST_F(PostgresSessionTest, AFailedConnectIsReportedAndLeavesTheSessionUnconnected) {
  const auto target = database_.target();
  auto wrong_user = make_session(parse_target("nobody_here@" + target.location, ""));
  const auto status = wrong_user->connect();
  EXPECT_EQ(status.code, kNotConnected);
  EXPECT_NE(status.message.find("nobody_here"), std::string::npos) << status.message;
  EXPECT_FALSE(wrong_user->connected());
  EXPECT_EQ(make_session(parse_target("qx@no_such_service", ""))->connect().code, kNotConnected);
}

}  // namespace
}  // namespace qx::db
