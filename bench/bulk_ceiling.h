// The bulk ceiling: a backlog's rows (stored_rows.h) written into a fresh
// database by the database's fastest path, in one transaction, with nothing
// parsed while it is timed; the most rows per second any loader could
// store there. The loaders' rows per second are told as a fraction of it.
//
//   SQLite: the library itself, one prepared insert per table, every row
//   bound and stepped, one transaction, committed with the loaders'
//   synchronous setting (bulk_sqlite.cc).
//   PostgreSQL: COPY ... FROM STDIN in text format, one per table, over a
//   connection of its own, one transaction (bulk_copy.cc).
#pragma once

#include <libpq-fe.h>

#include <string>
#include <string_view>
#include <vector>

#include "bench_database.h"
#include "stored_rows.h"

namespace qx::bench {

// Writes `rows` into `database` (which must have the schema: connect() once
// first) and returns the seconds from the transaction's begin to its
// commit. Throws on any failure.
double write_in_bulk(const BenchDatabase& database, const StoredRows& rows);

double write_with_sqlite(const std::string& path, const StoredRows& rows);
double write_with_copy(const std::string& conninfo, const StoredRows& rows);

// Sends payloads[t] as the rows of rows.tables[t] by one COPY ... FROM STDIN
// per table, `with` following it (" (FORMAT binary)", or nothing for text),
// all in one transaction over `conn`; returns the seconds from its begin to
// its commit. Throws on any failure.
double copy_in_one_transaction(PGconn* conn, const StoredRows& rows,
                               const std::vector<std::string>& payloads,
                               std::string_view with = {});

// One table's rows in COPY's text format: values separated by tabs, rows
// ended by line feeds, NULL as \N, and backslash, tab, line feed and
// carriage return inside a value escaped with a backslash.
std::string copy_text(const StoredTable& table);

}  // namespace qx::bench
