// The fault-injecting session fails exactly the calls it is told to, and a
// lost connection behaves as a real one: the transaction is gone until
// connect() succeeds.
#include "support/faulty_session.h"

#include <gtest/gtest.h>

#include "backend_database.h"

namespace qx::testing {
namespace {

TEST(FaultySessionTest, FailsTheNthCallOnceOrForEverAndLosesTheConnection) {
  BackendDatabase database(Backend::sqlite);
  database.run("create table t (k integer)");
  FaultySession session(database.connect());
  session.fail_at = 2;
  session.failure = db::Status::failure(db::kValueTooLarge, "value too large for column");
  std::int64_t count = -1;
  EXPECT_TRUE(session.execute("insert into t values (1)", {}).ok());
  EXPECT_EQ(session.execute("insert into t values (2)", {}).code, db::kValueTooLarge);
  EXPECT_TRUE(session.execute("insert into t values (3)", {}).ok());
  ASSERT_TRUE(session.commit().ok());
  ASSERT_TRUE(session.query_integer("select count(*) from t", {}, count).ok());
  EXPECT_EQ(count, 2);

  // From the 7th call on, the connection is lost for ever: what was not
  // committed is gone, and reconnecting does not help the calls.
  session.fail_at = 7;
  session.fail_for_ever = true;
  session.failure = db::Status::failure(db::kNotConnected);
  EXPECT_TRUE(session.execute("insert into t values (4)", {}).ok());  // call 6
  EXPECT_TRUE(session.commit().systemic());
  EXPECT_FALSE(session.connected());
  EXPECT_EQ(session.next_value("BOOK_SEQUENCE", count).code, db::kNotConnected);
  ASSERT_TRUE(session.connect().ok());
  EXPECT_TRUE(session.connected());
  EXPECT_EQ(session.execute("insert into t values (5)", {}).code, db::kNotConnected);
  EXPECT_EQ(session.calls, 9);
  ASSERT_TRUE(database.connect()->query_integer("select count(*) from t", {}, count).ok());
  EXPECT_EQ(count, 2);
}

}  // namespace
}  // namespace qx::testing
