// The PostgreSQL backend's pipeline: writes wait for the next answer, each
// failure is found and reported once, rows copied go into the transaction
// after the writes before them and any failure then fails it, and a lost
// connection loses the transaction and nothing else; the client works while
// the server takes copied rows or a commit.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>
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

// Each case copies rows 2 and 3 after the write of row 1, each as a table
// of its own in one call, then meets what it names; a failure, a copy's own
// (the second table's, after the first went in) or a later write's, fails the whole
// transaction (nothing is reported to the sink, nothing is stored) until
// it is rolled back, and the session goes on.
TEST_F(PostgresSessionTest, CopiedRowsFollowTheWritesBeforeThemAndAnyFailureFailsTheTransaction) {
  const struct {
    const char* name;
    std::int64_t copied_key;   // the second copied row's key
    std::int64_t written_key;  // a write after the copy
    int failure;               // what the commit returns
  } cases[] = {{"all go through", 3, 4, 0},
               {"a copied row refused", 1, 4, kUniqueViolation},
               {"a later write refused", 3, 2, kUniqueViolation}};
  std::int64_t base = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(insert(base + 1, "one").ok());
    CopyRows rows[2];
    for (const std::int64_t key : {base + 2, base + c.copied_key}) {
      CopyRows& table = rows[key == base + 2 ? 0 : 1];
      table.add(Bind::integer(key));
      table.add(Bind::text("c"));
      table.end_row();
    }
    const CopiedTable tables[] = {{"t (k, v)", &rows[0]}, {"t (k, v)", &rows[1]}};
    const Status copied = session_->copy_tables(tables);
    EXPECT_EQ(copied.code, c.copied_key == 1 ? kUniqueViolation : 0);
    const Status written = insert(base + c.written_key, "w");
    EXPECT_EQ(written.code, copied.code);
    EXPECT_EQ(session_->commit().code, c.failure);
    EXPECT_TRUE(reported_.empty());
    EXPECT_EQ(committed("select count(*) from t where k > " + std::to_string(base)),
              c.failure == 0 ? 4 : 0);
    ASSERT_TRUE(insert(base + 9, "next").ok());
    ASSERT_TRUE(session_->commit().ok());
    base += 10;
  }
}

TEST_F(PostgresSessionTest, TheClientWorksWhileTheServerTakesCopiedRowsOrACommitTillItAnswers) {
  // The server takes a fifth of a second over a row "slow" as it stores
  // it, and over a row "late" as it commits.
  database_.run(
      "CREATE FUNCTION slow_row() RETURNS trigger LANGUAGE plpgsql AS "
      "$$ BEGIN IF NEW.v IN ('slow', 'late') THEN PERFORM pg_sleep(0.2); END IF; "
      "RETURN NEW; END $$");
  database_.run(
      "CREATE TRIGGER slow_store BEFORE INSERT ON t FOR EACH ROW WHEN (NEW.v = 'slow') "
      "EXECUTE FUNCTION slow_row()");
  database_.run(
      "CREATE CONSTRAINT TRIGGER slow_commit AFTER INSERT ON t DEFERRABLE INITIALLY DEFERRED "
      "FOR EACH ROW WHEN (NEW.v = 'late') EXECUTE FUNCTION slow_row()");
  int steps = 0;
  const auto work = [&] {
    ++steps;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return steps < 5000;
  };
  for (const char* value : {"slow", "late"}) {
    SCOPED_TRACE(value);
    steps = 0;
    session_->set_work_while_waiting(work);
    std::int64_t answer = 0;
    // A query's answer is no batch's: nothing runs while it is awaited.
    ASSERT_TRUE(session_->query_integer("select 1 from pg_sleep(0.1)", {}, answer).ok());
    EXPECT_EQ(steps, 0);
    CopyRows rows;
    rows.add(Bind::integer(value[0] == 's' ? 1 : 2));
    rows.add(Bind::text(value));
    rows.end_row();
    const CopiedTable tables[] = {{"t (k, v)", &rows}};
    ASSERT_TRUE(session_->copy_tables(tables).ok());
    ASSERT_TRUE(session_->commit().ok());
    session_->set_work_while_waiting({});
    // Steps ran while the server worked, and stopped when it answered.
    EXPECT_GT(steps, 40);
    EXPECT_LT(steps, 1000);
  }
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

// Ended by an administrator, or by the server's limit on a session idle in
// a transaction: either way the loss is told with the server's reason.
TEST_F(PostgresSessionTest, ALostConnectionLosesTheTransactionUntilConnectSucceeds) {
  const struct {
    bool idle_timeout;
    const char* reason;
    // The loss is met by rows being copied rather than by the commit.
    bool copy = false;
  } ends[] = {{false, "terminating connection due to administrator command"},
              {true, "terminating connection due to idle-in-transaction timeout"},
              {false, "terminating connection due to administrator command", true}};
  for (const auto& end : ends) {
    SCOPED_TRACE(end.reason);
    const std::int64_t base = end.copy ? 20 : end.idle_timeout ? 10 : 0;
    if (end.idle_timeout) {
      std::string set;
      ASSERT_TRUE(session_
                      ->query_text("select set_config('idle_in_transaction_session_timeout', "
                                   "'200', false)",
                                   {}, set)
                      .ok());
    }
    std::int64_t pid = 0;
    ASSERT_TRUE(insert(base + 1, "one").ok());
    ASSERT_TRUE(session_->query_integer("select pg_backend_pid()", {}, pid).ok());
    // Nothing waits to be sent ahead of the copy, which meets the loss itself.
    if (!end.copy) {
      ASSERT_TRUE(insert(base + 2, "two").ok());
    }
    if (end.idle_timeout) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    } else {
      database_.run("select pg_terminate_backend(" + std::to_string(pid) + ", 10000)");
    }

    CopyRows rows;
    rows.add(Bind::integer(base + 2));
    rows.add(Bind::text("two"));
    rows.end_row();
    const Status lost = end.copy ? session_->copy_rows("t (k, v)", rows) : session_->commit();
    EXPECT_EQ(lost.code, kNotConnected);
    EXPECT_NE(lost.message.find(end.reason), std::string::npos) << lost.message;
    EXPECT_FALSE(session_->connected());
    EXPECT_EQ(insert(base + 3, "three").code, kNotConnected);
    std::int64_t value = 0;
    EXPECT_EQ(session_->next_value("BOOK_SEQUENCE", value).code, kNotConnected);
    EXPECT_TRUE(reported_.empty());

    ASSERT_TRUE(session_->connect().ok());
    EXPECT_EQ(committed("select count(*) from t where k > " + std::to_string(base)), 0);
    ASSERT_TRUE(insert(base + 4, "four").ok());
    ASSERT_TRUE(session_->commit().ok());
    EXPECT_EQ(committed("select count(*) from t where k > " + std::to_string(base)), 1);
  }
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
