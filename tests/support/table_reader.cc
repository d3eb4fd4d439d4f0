#include "support/table_reader.h"

#include <libpq-fe.h>
#include <sqlite3.h>

#include <memory>
#include <stdexcept>

namespace qx::testing {
namespace {

std::vector<Row> sqlite_rows(sqlite3* raw, const std::string& sql) {
  sqlite3_stmt* stmt = nullptr;
  if (sqlite3_prepare_v2(raw, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK) {
    throw std::runtime_error(sql + ": " + sqlite3_errmsg(raw));
  }
  std::unique_ptr<sqlite3_stmt, decltype(&sqlite3_finalize)> guard(stmt, &sqlite3_finalize);
  std::vector<Row> rows;
  int rc;
  while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
    Row row;
    for (int i = 0; i < sqlite3_column_count(stmt); ++i) {
      if (sqlite3_column_type(stmt, i) == SQLITE_NULL) {
        row.emplace_back();
      } else {
        row.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(stmt, i)));
      }
    }
    rows.push_back(std::move(row));
  }
  if (rc != SQLITE_DONE) throw std::runtime_error(sql + ": " + sqlite3_errmsg(raw));
  return rows;
}

std::vector<std::vector<Row>> sqlite_rows_of_each(const std::string& path,
                                                  const std::vector<std::string>& sqls) {
  sqlite3* raw = nullptr;
  if (sqlite3_open_v2(path.c_str(), &raw, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
    std::string error = raw ? sqlite3_errmsg(raw) : "out of memory";
    sqlite3_close(raw);
    throw std::runtime_error("cannot open " + path + ": " + error);
  }
  std::unique_ptr<sqlite3, decltype(&sqlite3_close)> db(raw, &sqlite3_close);
  sqlite3_busy_timeout(raw, 30000);
  std::vector<std::vector<Row>> all;
  for (const auto& sql : sqls) all.push_back(sqlite_rows(raw, sql));
  return all;
}

std::vector<Row> postgres_rows(PGconn* conn, const std::string& sql) {
  std::unique_ptr<PGresult, decltype(&PQclear)> result(PQexec(conn, sql.c_str()), &PQclear);
  if (PQresultStatus(result.get()) != PGRES_TUPLES_OK) {
    throw std::runtime_error(sql + ": " + PQerrorMessage(conn));
  }
  std::vector<Row> rows;
  for (int r = 0; r < PQntuples(result.get()); ++r) {
    Row row;
    for (int c = 0; c < PQnfields(result.get()); ++c) {
      if (PQgetisnull(result.get(), r, c)) {
        row.emplace_back();
      } else {
        row.emplace_back(PQgetvalue(result.get(), r, c));
      }
    }
    rows.push_back(std::move(row));
  }
  return rows;
}

std::vector<std::vector<Row>> postgres_rows_of_each(const std::string& conninfo,
                                                    const std::vector<std::string>& sqls) {
  std::unique_ptr<PGconn, decltype(&PQfinish)> conn(PQconnectdb(conninfo.c_str()), &PQfinish);
  if (PQstatus(conn.get()) != CONNECTION_OK) {
    throw std::runtime_error("cannot connect: " + std::string(PQerrorMessage(conn.get())));
  }
  std::vector<std::vector<Row>> all;
  for (const auto& sql : sqls) all.push_back(postgres_rows(conn.get(), sql));
  return all;
}

}  // namespace

TableReader TableReader::sqlite(std::string path) {
  TableReader reader;
  reader.location_ = std::move(path);
  return reader;
}

TableReader TableReader::postgres(std::string conninfo) {
  TableReader reader;
  reader.is_sqlite_ = false;
  reader.location_ = std::move(conninfo);
  return reader;
}

std::vector<Row> TableReader::rows(const std::string& sql) const {
  return std::move(rows_of_each({sql}).front());
}

std::vector<std::vector<Row>> TableReader::rows_of_each(
    const std::vector<std::string>& sqls) const {
  return is_sqlite_ ? sqlite_rows_of_each(location_, sqls) : postgres_rows_of_each(location_, sqls);
}

Value TableReader::value(const std::string& sql) const {
  auto all = rows(sql);
  if (all.size() != 1 || all[0].size() != 1) throw std::runtime_error("not one value: " + sql);
  return all[0][0];
}

long long TableReader::count(const std::string& table) const {
  return std::stoll(*value("select count(*) from " + table));
}

}  // namespace qx::testing
