// The SQLite DDL applied to a real database file: it applies twice without
// changing anything, takes the documented inserts, imposes no constraint the
// loaders' failure rules do not expect, and indexes what the loaders look up.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "schema/documented_columns.h"
#include "schema/schema.h"
#include "support/temp_dir.h"

namespace qx::schema {
namespace {

using Rows = std::vector<std::vector<std::string>>;

class SqliteFile {
 public:
  SqliteFile() {
    if (sqlite3_open((dir_.path() / "schema.db").c_str(), &db_) != SQLITE_OK) {
      throw std::runtime_error(sqlite3_errmsg(db_));
    }
  }
  ~SqliteFile() { sqlite3_close(db_); }

  void exec(const std::string& sql) {
    char* error = nullptr;
    if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
      std::string message = error ? error : "unknown error";
      sqlite3_free(error);
      throw std::runtime_error(message + " in: " + sql);
    }
  }

  // Runs `sql` with `key` bound to its first parameter (when it has one);
  // NULL values read as "NULL".
  Rows query(const std::string& sql, double key = 0) {
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &statement, nullptr) != SQLITE_OK) {
      throw std::runtime_error(std::string(sqlite3_errmsg(db_)) + " in: " + sql);
    }
    if (sqlite3_bind_parameter_count(statement) > 0) sqlite3_bind_double(statement, 1, key);
    Rows rows;
    int rc;
    while ((rc = sqlite3_step(statement)) == SQLITE_ROW) {
      auto& row = rows.emplace_back();
      for (int i = 0; i < sqlite3_column_count(statement); ++i) {
        auto text = reinterpret_cast<const char*>(sqlite3_column_text(statement, i));
        row.push_back(text ? text : "NULL");
      }
    }
    sqlite3_finalize(statement);
    if (rc != SQLITE_DONE) throw std::runtime_error(sqlite3_errmsg(db_));
    return rows;
  }

 private:
  testing::TempDir dir_;
  sqlite3* db_ = nullptr;
};

void apply_statements(SqliteFile& db) {
  for (const auto& statement : ddl(Dialect::sqlite)) db.exec(statement);
}

TEST(SqliteDdl, AppliesAgainWithoutChangingSchemaOrSequences) {
  SqliteFile db;
  db.exec(ddl_script(Dialect::sqlite));
  EXPECT_EQ(db.query("select sequence_name, last_value from qx_sequences order by 1"),
            (Rows{{"BOOK_SEQUENCE", "0"}, {"MERIDON_SEQUENCE", "0"}, {"TARVO_SEQUENCE", "0"}}));

  db.exec("update qx_sequences set last_value = 7 where sequence_name = 'BOOK_SEQUENCE'");
  const auto before = db.query("select type, name, sql from sqlite_master order by name");
  apply_statements(db);
  db.exec(ddl_script(Dialect::sqlite));

  EXPECT_EQ(db.query("select type, name, sql from sqlite_master order by name"), before);
  EXPECT_EQ(db.query("select last_value from qx_sequences where sequence_name = 'BOOK_SEQUENCE'"),
            (Rows{{"7"}}));
  EXPECT_EQ(db.query("select count(*) from qx_sequences"), (Rows{{"3"}}));
}

// A failed insert must lose its row only for the loaders' own reasons, so a
// row with nothing but its key goes in, twice over, in every table.
TEST(SqliteDdl, TablesTakeTheDocumentedInsertsAndRowsOfNulls) {
  SqliteFile db;
  apply_statements(db);
  for (auto text : testing::air_widest_inserts()) {
    const auto insert = testing::parse_insert(text);
    db.query(std::string(text), 1.5);
    db.query(std::string(text), 1.5);
    EXPECT_EQ(db.query("select count(*), max(" + insert.columns[0] + ") from " + insert.name),
              (Rows{{"2", "1.5"}}))
        << text;
  }
  for (const auto& table : testing::file_tables()) {
    const std::string insert =
        "insert into " + table.name + " (" + table.columns[0] + ") values (:b0)";
    db.query(insert, 42);
    db.query(insert, 42);
    EXPECT_EQ(db.query("select count(*), typeof(" + table.columns[0] + ") from " + table.name),
              (Rows{{"2", "integer"}}))
        << table.name;
  }
}

// Leading column of every index of `table`, and the full column list of each.
std::vector<std::vector<std::string>> index_columns(SqliteFile& db, const std::string& table) {
  std::vector<std::vector<std::string>> indexes;
  for (const auto& index : db.query("select name from pragma_index_list('" + table + "')")) {
    auto& columns = indexes.emplace_back();
    for (const auto& row :
         db.query("select name from pragma_index_info('" + index[0] + "') order by seqno")) {
      columns.push_back(row[0]);
    }
  }
  return indexes;
}

TEST(SqliteDdl, EveryKeyAndReferenceIsIndexedAndSerialLookupsCovered) {
  SqliteFile db;
  apply_statements(db);
  for (const auto& table : tables()) {
    const auto indexes = index_columns(db, table.name);
    const std::string& key = table.columns[0].name;
    const bool serial_looked_up = table.name == "qx_air_h" || table.name == "qx_air_u";
    if (serial_looked_up) {
      EXPECT_EQ(indexes, (std::vector<std::vector<std::string>>{{key, table.columns[1].name}}))
          << table.name;
    } else {
      EXPECT_EQ(indexes, (std::vector<std::vector<std::string>>{{key}})) << table.name;
    }
  }
}

TEST(SqliteDdl, HighestSerialUnderAKeyIsAnsweredByTheIndex) {
  SqliteFile db;
  apply_statements(db);
  for (std::string prefix : {"airh", "airu"}) {
    const std::string table = "qx_air_" + prefix.substr(3);
    const std::string serial_query = "select (COALESCE(max(" + prefix + "_serial),0)+1) from " +
                                     table + " where " + prefix + "_key=?";
    const auto plan = db.query("explain query plan " + serial_query);
    ASSERT_EQ(plan.size(), 1u) << table;
    EXPECT_NE(plan[0].back().find("USING COVERING INDEX"), std::string::npos) << plan[0].back();

    db.exec("insert into " + table + " (" + prefix + "_key, " + prefix +
            "_serial) values (1, 1), (1, 2), (2, 5)");
    EXPECT_EQ(db.query(serial_query, 1), (Rows{{"3"}}));
    EXPECT_EQ(db.query(serial_query, 2), (Rows{{"6"}}));
    EXPECT_EQ(db.query(serial_query, 3), (Rows{{"1"}}));
  }
}

}  // namespace
}  // namespace qx::schema
