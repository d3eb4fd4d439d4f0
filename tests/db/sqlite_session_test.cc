// What only the SQLite backend does: create its file with the schema, share
// the file between loaders, and never commit a transaction in part.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "backend_database.h"
#include "schema/schema.h"

namespace qx::db {
namespace {

using testing::Backend;
using testing::BackendDatabase;

std::int64_t count_rows(Session& session, const std::string& table) {
  std::int64_t count = -1;
  EXPECT_TRUE(session.query_integer("select count(*) from " + table, {}, count).ok()) << table;
  return count;
}

TEST(SqliteSessionTest, ANewFileGetsTheWholeSchemaAndDurableCommits) {
  testing::TempDir dir;
  auto session = make_session(parse_target("qx@" + (dir.path() / "office.db").string(), ""));
  ASSERT_TRUE(session->connect().ok());
  // Loaders sharing the file read while one writes, and a commit is on disk
  // before its file is moved.
  std::string journal;
  ASSERT_TRUE(session->query_text("PRAGMA journal_mode", {}, journal).ok());
  EXPECT_EQ(journal, "wal");
  std::int64_t synchronous = 0;
  ASSERT_TRUE(session->query_integer("PRAGMA synchronous", {}, synchronous).ok());
  EXPECT_EQ(synchronous, 2);  // FULL
  for (const auto& table : schema::tables()) EXPECT_EQ(count_rows(*session, table.name), 0);
  EXPECT_EQ(count_rows(*session, std::string(schema::kSqliteSequenceTable)),
            static_cast<std::int64_t>(schema::sequences().size()));
}

TEST(SqliteSessionTest, AnOlderFileGainsWhatIsMissingOnConnectAndKeepsItsRows) {
  BackendDatabase database(Backend::sqlite);
  database.run("update qx_sequences set last_value = 41 where sequence_name = 'TARVO_SEQUENCE'");
  database.run("insert into qx_tarvo_m1 (tm1_reference) values (7)");
  // As a file an older loader made: no history, one index and one sequence less.
  database.run("drop table qx_load_history");
  database.run("drop index qx_air_a_aira_key_ix");
  database.run("delete from qx_sequences where sequence_name = 'BOOK_SEQUENCE'");

  auto session = database.connect();
  std::string sql;
  ASSERT_TRUE(session
                  ->query_text("select sql from sqlite_master where name = :b0",
                               std::vector{Bind::text(schema::kLoadHistoryIdentity)}, sql)
                  .ok());
  EXPECT_NE(sql.find("UNIQUE INDEX"), std::string::npos);
  EXPECT_EQ(count_rows(*session, "qx_load_history"), 0);
  EXPECT_EQ(count_rows(*session, "qx_tarvo_m1"), 1);
  std::int64_t value = 0;
  ASSERT_TRUE(session->next_value("TARVO_SEQUENCE", value).ok());
  EXPECT_EQ(value, 42);
  ASSERT_TRUE(session->next_value("BOOK_SEQUENCE", value).ok());
  EXPECT_EQ(value, 1);
  ASSERT_TRUE(session->commit().ok());
  EXPECT_EQ(count_rows(*session, "sqlite_master where name = 'qx_air_a_aira_key_ix'"), 1);
}

TEST(SqliteSessionTest, AMissingDirectoryFailsToConnectUntilItExists) {
  testing::TempDir dir;
  auto session =
      make_session(parse_target("qx@sqlite:" + (dir.path() / "later" / "x.db").string(), ""));
  EXPECT_TRUE(session->connect().failed());
  EXPECT_FALSE(session->connected());
  EXPECT_EQ(session->execute("insert into qx_sequences values ('X', 0)", {}).code, kNotConnected);
  EXPECT_EQ(session->commit().code, kNotConnected);

  dir.make_dir("later");
  ASSERT_TRUE(session->connect().ok());
  EXPECT_TRUE(session->connected());

  // An empty path would be a private temporary database that vanishes.
  EXPECT_TRUE(make_session(parse_target("qx@sqlite:", ""))->connect().failed());
}

TEST(SqliteSessionTest, TwoSessionsOnOneFileBothCommit) {
  BackendDatabase database(Backend::sqlite);
  database.run("create table t (k integer)");
  auto first = database.connect();
  auto second = database.connect();
  ASSERT_TRUE(first->execute("insert into t values (1)", {}).ok());  // holds the write lock

  std::atomic<bool> started{false};
  Status second_status;
  std::thread other([&] {
    started = true;
    second_status = second->execute("insert into t values (2)", {});
    if (second_status.ok()) second_status = second->commit();
  });
  while (!started) std::this_thread::yield();
  std::this_thread::sleep_for(std::chrono::milliseconds(200));  // let it queue on the lock
  EXPECT_TRUE(first->commit().ok());
  other.join();
  EXPECT_TRUE(second_status.ok()) << second_status.message;
  EXPECT_EQ(count_rows(*database.connect(), "t"), 2);
}

TEST(SqliteSessionTest, ATransactionSqliteRollsBackWholeIsNotCommittedInPart) {
  BackendDatabase database(Backend::sqlite);
  database.run("create table t (k integer, v text)");
  auto session = database.connect();
  std::int64_t pages = 0;
  ASSERT_TRUE(session->query_integer("PRAGMA page_count", {}, pages).ok());
  ASSERT_TRUE(session->execute("PRAGMA max_page_count=" + std::to_string(pages + 4), {}).ok());

  // A full database makes SQLite roll the whole transaction back; the rows
  // after it would otherwise be committed without the ones before.
  const std::string filler(2000, 'x');
  const auto insert = [&](std::int64_t k) {
    const Bind binds[] = {Bind::integer(k), Bind::text(filler)};
    return session->execute("insert into t values (:b0, :b1)", binds);
  };
  Status full;
  for (int k = 1; k < 100 && full.ok(); ++k) full = insert(k);
  ASSERT_TRUE(full.failed());
  EXPECT_TRUE(insert(1000).ok());
  EXPECT_EQ(session->commit().code, full.code);
  EXPECT_EQ(count_rows(*database.connect(), "t"), 0);

  ASSERT_TRUE(session->execute("PRAGMA max_page_count=1000000", {}).ok());
  ASSERT_TRUE(insert(2000).ok());
  ASSERT_TRUE(session->commit().ok());
  EXPECT_EQ(count_rows(*database.connect(), "t"), 1);
}

}  // namespace
}  // namespace qx::db
