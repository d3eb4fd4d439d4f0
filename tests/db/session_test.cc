// What the loaders rely on from a session, on both backends alike.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

#include "backend_database.h"
#include "db/backend_errors.h"
#include "db/transaction.h"

namespace qx::db {
namespace {

using testing::Backend;
using testing::BackendDatabase;

class SessionTest : public ::testing::TestWithParam<Backend> {
 protected:
  void SetUp() override {
    database_.run("CREATE TABLE t (k integer PRIMARY KEY, v varchar(5) NOT NULL, w varchar(20))");
    session_ = database_.connect();
    // Failures reach the test either at once or through the sink; in
    // statement order either way.
    session_->set_failure_sink([this](const Status& status) { failures_.push_back(status.code); });
  }

  void insert(std::int64_t k, std::string_view v, std::string_view w = {}) {
    const Bind binds[] = {Bind::integer(k), Bind::text(v), Bind::text(w)};
    step(session_->execute("insert into t (k, v, w) values (:b0, :b1, :b2)", binds));
  }
  void step(const Status& status) {
    if (status.failed()) failures_.push_back(status.code);
  }
  // Counts rows as another connection sees them: only what was committed.
  std::int64_t committed_rows(const char* where = "1=1") {
    std::int64_t count = -1;
    EXPECT_TRUE(database_.connect()
                    ->query_integer(std::string("select count(*) from t where ") + where, {}, count)
                    .ok());
    return count;
  }

  BackendDatabase database_{GetParam()};
  std::unique_ptr<Session> session_;
  std::vector<int> failures_;
};

TEST_P(SessionTest, EachPlaceholderOccurrenceTakesTheNextBindAndEmptyTextIsNull) {
  const Bind binds[] = {Bind::text("ab"), Bind::text("c"), Bind::text("d")};
  std::string out;
  ASSERT_TRUE(session_->query_text("select :b0 || :b1 || :b1", binds, out).ok());
  EXPECT_EQ(out, "abcd");

  insert(1, "x", "");
  ASSERT_TRUE(session_->commit().ok());
  EXPECT_EQ(committed_rows("k = 1 and w is null"), 1);
}

TEST_P(SessionTest, NullFetchAndInvalidNumber) {
  insert(1, "abc");
  std::string text = "left over";
  EXPECT_EQ(session_->query_text("select w from t where k = 1", {}, text).code, kNullFetched);
  EXPECT_EQ(text, "");
  std::int64_t number = 7;
  EXPECT_EQ(session_->query_integer("select k from t where k = 2", {}, number).code, kNullFetched);
  EXPECT_EQ(number, 7);
  EXPECT_EQ(session_->query_integer("select v from t where k = 1", {}, number).code,
            kInvalidNumber);
  EXPECT_EQ(session_->query_integer("select k from t where k = :b0", {}, number).code,
            kBindMissing);

  // Many rows of many columns: NULL apart from text, integers by the same rules.
  insert(3, "de", "x");
  Rows rows;
  ASSERT_TRUE(session_->query_rows("select k, v, w from t order by k", {}, rows).ok());
  ASSERT_EQ(rows.size(), 2u);
  ASSERT_EQ(rows.columns(), 3u);
  ASSERT_TRUE(rows.integer(1, 0, number).ok());
  EXPECT_EQ(number, 3);
  EXPECT_EQ(rows.text(0, 1), "abc");
  EXPECT_TRUE(rows.is_null(0, 2));
  EXPECT_EQ(rows.integer(0, 2, number).code, kNullFetched);
  EXPECT_EQ(rows.integer(0, 1, number).code, kInvalidNumber);
  EXPECT_EQ(rows.text(1, 2), "x");
  ASSERT_TRUE(session_->query_rows("select k from t where k = 2", {}, rows).ok());
  EXPECT_TRUE(rows.empty());
  EXPECT_EQ(session_->query_rows("select k from t where k = :b0", {}, rows).code, kBindMissing);
  EXPECT_TRUE(failures_.empty());
}

// Bound, and on a backend that copies rows copied too: each text is stored
// as it stands, what COPY's text form escapes included.
TEST_P(SessionTest, Windows1252TextIsStoredAsUtf8) {
  const struct {
    std::string_view text, stored;
  } texts[] = {{"caf\xE9 \x80\x81", "caf\xC3\xA9 \xE2\x82\xAC\xC2\x81"},
               {"a\tb\\c\\", "a\tb\\c\\"},
               {"\r\n.\n\\.", "\r\n.\n\\."},
               {"\\N", "\\N"},
               {"NULL", "NULL"},
               {std::string_view("a\0b", 3), "a b"},
               {{}, {}}};
  const bool copies = session_->copies_rows();
  CopyRows copied;
  std::int64_t k = 0;
  for (const auto& text : texts) {
    insert(++k, "x", text.text);
    copied.add(Bind::integer(100 + k));
    copied.add(Bind::text("x"));
    copied.add(Bind::text(text.text));
    copied.end_row();
  }
  if (copies) step(session_->copy_rows("t (k, v, w)", copied));
  ASSERT_TRUE(session_->commit().ok());
  k = 0;
  for (const auto& text : texts) {
    ++k;
    SCOPED_TRACE(k);
    for (const std::int64_t key : {k, copies ? 100 + k : k}) {
      std::string stored;
      const Bind binds[] = {Bind::integer(key)};
      const Status status = session_->query_text("select w from t where k = :b0", binds, stored);
      EXPECT_EQ(status.code, text.stored.empty() ? kNullFetched : 0);
      EXPECT_EQ(stored, text.stored);
    }
  }
  std::int64_t characters = 0;
  ASSERT_TRUE(session_->query_integer("select length(w) from t where k = 1", {}, characters).ok());
  EXPECT_EQ(characters, 7);
  EXPECT_TRUE(failures_.empty());
}

TEST_P(SessionTest, ARowsOwnFailureLosesOnlyThatRowAndTheRestCommits) {
  insert(1, "one");
  insert(1, "dup");  // duplicate key
  insert(2, {});     // NULL into a NOT NULL column
  insert(4, "four");
  std::int64_t seen = 0;
  ASSERT_TRUE(session_->query_integer("select count(*) from t", {}, seen).ok());
  EXPECT_EQ(seen, 2);
  insert(5, "five");
  ASSERT_TRUE(session_->commit().ok());

  EXPECT_EQ(failures_, (std::vector<int>{kUniqueViolation, kCannotInsertNull}));
  EXPECT_EQ(committed_rows(), 3);
  EXPECT_EQ(committed_rows("k in (1, 4, 5) and v <> 'dup'"), 3);
}

// A failure that is not the row's own (a missing table) is the caller's to
// act on: it comes back from the statement itself, or, held back, from the
// next operation, which then keeps nothing of the transaction.
TEST_P(SessionTest, AFailureThatIsNotTheRowsOwnComesBackToTheCaller) {
  insert(1, "one");
  Status missing = session_->execute("insert into missing_table values (1)", {});
  std::int64_t seen = 0;
  Status next = session_->query_integer("select count(*) from t", {}, seen);
  Status failure = missing.failed() ? missing : next;
  EXPECT_EQ(failure.code, kTableMissing);
  EXPECT_TRUE(failure.systemic());
  EXPECT_TRUE(failures_.empty());
  (void)session_->rollback();  // the failure above is the one looked at
  insert(2, "two");
  ASSERT_TRUE(session_->commit().ok());
  EXPECT_EQ(committed_rows(), 1);
}

TEST_P(SessionTest, RollbackUndoesTheTransactionAndCommitWithoutOneSucceeds) {
  EXPECT_TRUE(session_->commit().ok());
  insert(1, "one");
  ASSERT_TRUE(session_->rollback().ok());
  insert(2, "two");
  ASSERT_TRUE(session_->commit().ok());
  EXPECT_EQ(committed_rows(), 1);
  EXPECT_EQ(committed_rows("k = 2"), 1);

  // A Transaction rolls back unless it was committed.
  {
    Transaction given_up(*session_);
    insert(3, "three");
  }
  {
    Transaction kept(*session_);
    insert(4, "four");
    ASSERT_TRUE(kept.commit().ok());
  }
  EXPECT_EQ(committed_rows(), 2);
  EXPECT_EQ(committed_rows("k = 4"), 1);
}

TEST_P(SessionTest, SequencesStartAtOneAndNeverHandOutAValueTwice) {
  std::int64_t value = 0;
  ASSERT_TRUE(session_->next_value("BOOK_SEQUENCE", value).ok());
  EXPECT_EQ(value, 1);
  ASSERT_TRUE(session_->next_value("BOOK_SEQUENCE", value).ok());
  EXPECT_EQ(value, 2);
  // Several at once, and every draw survives the rollback of its transaction.
  std::int64_t three[3] = {};
  ASSERT_TRUE(session_->next_values("BOOK_SEQUENCE", three).ok());
  EXPECT_EQ(std::vector<std::int64_t>(three, three + 3), (std::vector<std::int64_t>{3, 4, 5}));
  ASSERT_TRUE(session_->rollback().ok());
  ASSERT_TRUE(session_->next_value("BOOK_SEQUENCE", value).ok());
  EXPECT_EQ(value, 6);
  ASSERT_TRUE(session_->commit().ok());
  ASSERT_TRUE(database_.connect()->next_value("BOOK_SEQUENCE", value).ok());
  EXPECT_EQ(value, 7);

  ASSERT_TRUE(session_->next_value("TARVO_SEQUENCE", value).ok());
  EXPECT_EQ(value, 1);
  EXPECT_EQ(session_->next_value("NO_SUCH_SEQUENCE", value).code, kSequenceMissing);
  EXPECT_EQ(session_->next_values("NO_SUCH_SEQUENCE", three).code, kSequenceMissing);
}

// Seconds since the epoch of a "YYYY-MM-DD HH:MM:SS..." text read as UTC.
std::time_t seconds_of(const std::string& text) {
  std::tm fields{};
  if (std::sscanf(text.c_str(), "%d-%d-%d %d:%d:%d", &fields.tm_year, &fields.tm_mon,
                  &fields.tm_mday, &fields.tm_hour, &fields.tm_min, &fields.tm_sec) != 6) {
    return 0;
  }
  fields.tm_year -= 1900;
  fields.tm_mon -= 1;
  return timegm(&fields);
}

// The insert time is the database's local time: the loader's own zone for
// the embedded database, the server's zone (never the client's) for a server.
TEST_P(SessionTest, InsertTimeIsTheDatabasesLocalTime) {
  constexpr long kClientOffset = -11 * 3600;
  constexpr long kServerOffset = 9 * 3600;
  const char* saved = std::getenv("TZ");
  const std::optional<std::string> saved_zone =
      saved ? std::optional<std::string>(saved) : std::nullopt;
  setenv("TZ", "<-11>11", 1);
  tzset();
  if (GetParam() == Backend::postgres) {
    database_.run(
        "DO $$ BEGIN EXECUTE format('ALTER DATABASE %I SET timezone = %L', current_database(), "
        "'<+09>-09'); END $$");
  }
  database_.run("CREATE TABLE stamped (k integer, created_on timestamp)");
  auto session = database_.connect();
  ASSERT_TRUE(
      session->execute("insert into stamped (k, created_on) values (1, CURRENT_TIMESTAMP)", {})
          .ok());
  ASSERT_TRUE(session->commit().ok());
  std::string stored;
  ASSERT_TRUE(
      session->query_text("select CAST(created_on AS varchar(40)) from stamped", {}, stored).ok());
  if (saved_zone) {
    setenv("TZ", saved_zone->c_str(), 1);
  } else {
    unsetenv("TZ");
  }
  tzset();

  const long offset = GetParam() == Backend::sqlite ? kClientOffset : kServerOffset;
  const long expected = static_cast<long>(std::time(nullptr)) + offset;
  EXPECT_LE(std::labs(static_cast<long>(seconds_of(stored)) - expected), 5) << stored;
}

INSTANTIATE_TEST_SUITE_P(Backends, SessionTest,
                         ::testing::Values(Backend::sqlite, Backend::postgres),
                         [](const auto& info) { return testing::backend_name(info.param); });

}  // namespace
}  // namespace qx::db
