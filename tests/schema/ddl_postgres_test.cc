// The PostgreSQL DDL applied to a fresh database on the test server: it
// applies twice (as a psql script and as single statements) without
// resetting a sequence, gives every column its type, takes rows of NULLs and
// full-length texts, and indexes every key and reference.
#include <gtest/gtest.h>
#include <libpq-fe.h>

#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "schema/schema.h"
#include "support/postgres_test_database.h"

namespace qx::schema {
namespace {

using Rows = std::vector<std::vector<std::string>>;

class PgConnection {
 public:
  explicit PgConnection(const testing::PostgresTestDatabase& db)
      : conn_(PQconnectdb(testing::test_server_conninfo(db.name()).c_str()), &PQfinish) {
    if (PQstatus(conn_.get()) != CONNECTION_OK) {
      throw std::runtime_error(PQerrorMessage(conn_.get()));
    }
  }

  Rows query(const std::string& sql) {
    std::unique_ptr<PGresult, decltype(&PQclear)> result(PQexec(conn_.get(), sql.c_str()),
                                                         &PQclear);
    const auto status = PQresultStatus(result.get());
    if (status != PGRES_TUPLES_OK && status != PGRES_COMMAND_OK) {
      throw std::runtime_error(std::string(PQerrorMessage(conn_.get())) + " in: " + sql);
    }
    Rows rows;
    for (int r = 0; r < PQntuples(result.get()); ++r) {
      auto& row = rows.emplace_back();
      for (int c = 0; c < PQnfields(result.get()); ++c) {
        row.push_back(PQgetisnull(result.get(), r, c) ? "NULL" : PQgetvalue(result.get(), r, c));
      }
    }
    return rows;
  }

 private:
  std::unique_ptr<PGconn, decltype(&PQfinish)> conn_;
};

void apply_statements(const testing::PostgresTestDatabase& db) {
  for (const auto& statement : ddl(Dialect::postgresql)) db.run(statement);
}

TEST(PostgresDdl, AppliesAgainWithoutResettingSequences) {
  testing::PostgresTestDatabase db(false);
  db.run(ddl_script(Dialect::postgresql));
  apply_statements(db);
  PgConnection conn(db);
  for (const auto& sequence : sequences()) {
    EXPECT_EQ(conn.query("select nextval('" + sequence + "')"), (Rows{{"1"}})) << sequence;
  }
  db.run(ddl_script(Dialect::postgresql));
  for (const auto& sequence : sequences()) {
    EXPECT_EQ(conn.query("select nextval('" + sequence + "')"), (Rows{{"2"}})) << sequence;
  }
  EXPECT_EQ(conn.query("select count(*) from information_schema.tables where table_schema = "
                       "'public'"),
            (Rows{{std::to_string(tables().size() + 1)}}));
}

// The type each column must have on the server, by what the column holds.
std::vector<std::string> expected_type(const std::string& column) {
  const bool is_file_table_reference = column.ends_with("_reference") && column != "air_reference";
  if (column.ends_with("_key")) return {"double precision", "NULL"};
  if (column.ends_with("_serial") || is_file_table_reference) return {"bigint", "NULL"};
  if (column.ends_with("_file_name") || column == "air_reference")
    return {"character varying", "255"};
  if (column == "tm0_created_on") return {"timestamp without time zone", "NULL"};
  if (column == "tm0_loaded_flag") return {"character", "1"};
  return {"character varying", "2000"};
}

TEST(PostgresDdl, ColumnsHaveTheirTypesAndNoConstraints) {
  testing::PostgresTestDatabase db(false);
  apply_statements(db);
  PgConnection conn(db);
  std::map<std::string, Rows> by_table;
  for (auto& row : conn.query(
           "select table_name, column_name, data_type, character_maximum_length, is_nullable "
           "from information_schema.columns where table_schema = 'public' "
           "order by table_name, ordinal_position")) {
    by_table[row[0]].push_back({row.begin() + 1, row.end()});
  }
  for (const auto& table : tables()) {
    Rows expected;
    for (const auto& column : table.columns) {
      auto type = expected_type(column.name);
      expected.push_back({column.name, type[0], type[1], "YES"});
    }
    EXPECT_EQ(by_table[table.name], expected) << table.name;
  }
  EXPECT_EQ(conn.query("select count(*) from information_schema.table_constraints where "
                       "table_schema = 'public' and constraint_type <> 'CHECK'"),
            (Rows{{"0"}}));
}

TEST(PostgresDdl, TablesTakeRowsOfNullsAndFullLengthTexts) {
  testing::PostgresTestDatabase db;
  PgConnection conn(db);
  for (const auto& table : tables()) {
    const auto& key = table.columns[0].name;
    const std::string insert = "insert into " + table.name + " (" + key + ") values (42)";
    conn.query(insert);
    conn.query(insert);
    EXPECT_EQ(conn.query("select count(*) from " + table.name + " where " + key + " = 42"),
              (Rows{{"2"}}))
        << table.name;
  }
  // 1999 letters that take two bytes each in UTF-8 still fit a field column.
  std::string umlauts;
  for (int i = 0; i < 1999; ++i) umlauts += "\xC3\x9C";
  conn.query("insert into qx_air_k (airk_key, airk_serial, airk_43) values (7.5, 1, '" + umlauts +
             "')");
  EXPECT_EQ(conn.query("select char_length(airk_43) from qx_air_k where airk_key = 7.5"),
            (Rows{{"1999"}}));
  conn.query(
      "insert into qx_tarvo_m0 (tm0_reference, tm0_serial, tm0_file_name, tm0_created_on, "
      "tm0_loaded_flag) values (9, 0, 'X.PNR', CURRENT_TIMESTAMP, 'N')");
  conn.query("update qx_tarvo_m0 set tm0_loaded_flag='Y' where tm0_reference=9");
  EXPECT_EQ(conn.query("select tm0_loaded_flag, tm0_created_on is not null from qx_tarvo_m0 "
                       "where tm0_reference = 9"),
            (Rows{{"Y", "t"}}));
}

TEST(PostgresDdl, LoadHistoryHasItsColumnsAndOneRowPerFileIdentity) {
  testing::PostgresTestDatabase db;
  PgConnection conn(db);
  EXPECT_EQ(conn.query("select column_name, data_type, coalesce(character_maximum_length, 0), "
                       "is_nullable, coalesce(column_default, '') from information_schema.columns "
                       "where table_name = 'qx_load_history' order by ordinal_position"),
            (Rows{{"lh_program", "character varying", "32", "NO", ""},
                  {"lh_file_name", "character varying", "255", "NO", ""},
                  {"lh_file_size", "bigint", "0", "NO", ""},
                  {"lh_file_mtime_ns", "bigint", "0", "NO", ""},
                  {"lh_digest", "character", "64", "NO", ""},
                  {"lh_state", "character varying", "16", "NO", ""},
                  {"lh_key", "bigint", "0", "YES", ""},
                  {"lh_booking_key", "double precision", "0", "YES", ""},
                  {"lh_shared_serial", "integer", "0", "YES", ""},
                  {"lh_r_serial", "integer", "0", "YES", ""},
                  {"lh_v_serial", "integer", "0", "YES", ""},
                  {"lh_f_serial", "integer", "0", "YES", ""},
                  {"lh_lines_done", "bigint", "0", "NO", "0"},
                  {"lh_rows_stored", "bigint", "0", "NO", "0"},
                  {"lh_rows_rejected", "bigint", "0", "NO", "0"},
                  {"lh_first_rejected_line", "bigint", "0", "YES", ""},
                  {"lh_started_on", "timestamp without time zone", "0", "YES", ""},
                  {"lh_finished_on", "timestamp without time zone", "0", "YES", ""},
                  {"lh_instance", "character varying", "255", "NO", ""}}));

  const std::string insert =
      "insert into qx_load_history (lh_program, lh_file_name, lh_file_size, lh_file_mtime_ns, "
      "lh_digest, lh_state, lh_instance) values ('tarvo', 'A.PNR', 10, 5, repeat('a', 64), "
      "'loaded', 'host:1')";
  conn.query(insert);
  EXPECT_THROW(conn.query(insert), std::runtime_error);
  // A file dropped again later has a new modification time: a new file.
  conn.query("update qx_load_history set lh_file_mtime_ns = 6");
  conn.query(insert);
  EXPECT_EQ(conn.query("select count(*), sum(lh_lines_done) from qx_load_history"),
            (Rows{{"2", "0"}}));
}

TEST(PostgresDdl, EveryKeyAndReferenceIsIndexed) {
  testing::PostgresTestDatabase db;
  PgConnection conn(db);
  std::map<std::string, std::vector<std::string>> definitions;
  for (const auto& row :
       conn.query("select tablename, indexdef from pg_indexes where schemaname = 'public'")) {
    definitions[row[0]].push_back(row[1]);
  }
  for (const auto& table : tables()) {
    std::string columns = table.columns[0].name;
    if (table.name == "qx_air_h" || table.name == "qx_air_u")
      columns += ", " + table.columns[1].name;
    ASSERT_EQ(definitions[table.name].size(), 1u) << table.name;
    EXPECT_TRUE(definitions[table.name][0].ends_with("USING btree (" + columns + ")"))
        << definitions[table.name][0];
  }
}

}  // namespace
}  // namespace qx::schema
