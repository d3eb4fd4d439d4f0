#include <algorithm>
#include <chrono>
#include <memory>
#include <stdexcept>

#include "bulk_ceiling.h"

namespace qx::bench {
namespace {

using Connection = std::unique_ptr<PGconn, decltype(&PQfinish)>;
using Result = std::unique_ptr<PGresult, decltype(&PQclear)>;

// What libpq is handed at a time; it sends as its buffer fills.
constexpr std::size_t kCopyChunk = 1 << 20;

void expect(PGconn* conn, PGresult* raw, ExecStatusType status, const std::string& what) {
  Result result(raw, &PQclear);
  if (PQresultStatus(result.get()) != status) {
    throw std::runtime_error(what + ": " + PQerrorMessage(conn));
  }
}

void copy_table(PGconn* conn, const StoredTable& table, const std::string& text,
                std::string_view with) {
  std::string columns;
  for (const auto& column : table.columns) columns += (columns.empty() ? "" : ",") + column;
  const std::string sql =
      "COPY " + table.name + " (" + columns + ") FROM STDIN" + std::string(with);
  expect(conn, PQexec(conn, sql.c_str()), PGRES_COPY_IN, sql);
  for (std::size_t at = 0; at < text.size(); at += kCopyChunk) {
    const std::size_t size = std::min(kCopyChunk, text.size() - at);
    if (PQputCopyData(conn, text.data() + at, static_cast<int>(size)) != 1) {
      throw std::runtime_error(sql + ": " + PQerrorMessage(conn));
    }
  }
  if (PQputCopyEnd(conn, nullptr) != 1) throw std::runtime_error(sql + ": " + PQerrorMessage(conn));
  expect(conn, PQgetResult(conn), PGRES_COMMAND_OK, sql);
  while (PGresult* rest = PQgetResult(conn)) PQclear(rest);
}

}  // namespace

std::string copy_text(const StoredTable& table) {
  std::string text;
  for (const auto& row : table.rows) {
    for (std::size_t i = 0; i < row.size(); ++i) {
      if (i > 0) text += '\t';
      if (!row[i]) {
        text += "\\N";
        continue;
      }
      for (char c : *row[i]) {
        switch (c) {
          case '\\':
            text += "\\\\";
            break;
          case '\t':
            text += "\\t";
            break;
          case '\n':
            text += "\\n";
            break;
          case '\r':
            text += "\\r";
            break;
          default:
            text += c;
        }
      }
    }
    text += '\n';
  }
  return text;
}

double write_with_copy(const std::string& conninfo, const StoredRows& rows) {
  Connection conn(PQconnectdb(conninfo.c_str()), &PQfinish);
  if (PQstatus(conn.get()) != CONNECTION_OK) {
    throw std::runtime_error("cannot connect: " + std::string(PQerrorMessage(conn.get())));
  }
  std::vector<std::string> texts;
  for (const auto& table : rows.tables) texts.push_back(copy_text(table));
  return copy_in_one_transaction(conn.get(), rows, texts);
}

double copy_in_one_transaction(PGconn* conn, const StoredRows& rows,
                               const std::vector<std::string>& payloads, std::string_view with) {
  const auto start = std::chrono::steady_clock::now();
  expect(conn, PQexec(conn, "BEGIN"), PGRES_COMMAND_OK, "BEGIN");
  for (std::size_t t = 0; t < rows.tables.size(); ++t) {
    copy_table(conn, rows.tables[t], payloads[t], with);
  }
  expect(conn, PQexec(conn, "COMMIT"), PGRES_COMMAND_OK, "COMMIT");
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace qx::bench
