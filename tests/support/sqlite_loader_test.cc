#include "support/sqlite_loader_test.h"

#include <sqlite3.h>

#include "db/make_session.h"
#include "db/target.h"

namespace qx::testing {

void SqliteLoaderTest::connect(const std::string& file_name) {
  database = (dir.path() / file_name).string();
  session = db::make_session(db::parse_target("test@" + database, ""));
  ASSERT_TRUE(session->connect().ok());
}

void SqliteLoaderTest::run_sql(const std::string& sql) const {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(database.c_str(), &db), SQLITE_OK);
  sqlite3_busy_timeout(db, 30000);
  char* error = nullptr;
  int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error);
  std::string message = error ? error : "";
  sqlite3_free(error);
  sqlite3_close(db);
  ASSERT_EQ(rc, SQLITE_OK) << message;
}

}  // namespace qx::testing
