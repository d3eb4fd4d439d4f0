// Every table and sequence the three loaders write, as data, and the DDL
// that creates them on SQLite and on PostgreSQL. Built by one rule from the
// table descriptions, so the two dialects cannot drift apart.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qx::schema {

enum class ColumnType {
  key_double,  // the AIR booking key (a double)
  integer,     // reference (PNR and MIR key) and serial columns: 64-bit integers
  text,        // every field column and file name
  timestamp,   // the insert time of a PNR header row
  flag,        // a one-character flag ('N' / 'Y')
};

struct Column {
  std::string name;
  ColumnType type;
};

struct Table {
  std::string name;
  std::vector<Column> columns;
  // Each entry is the column list of one index, for example {"airh_key",
  // "airh_serial"}.
  std::vector<std::vector<std::string>> indexes;
};

enum class Dialect { sqlite, postgresql };

// All tables of the three loaders, AIR first, then PNR, then MIR.
const std::vector<Table>& tables();
// Looks a table up by name; nullptr when there is none.
const Table* find_table(std::string_view name);

// BOOK_SEQUENCE, TARVO_SEQUENCE, MERIDON_SEQUENCE; each hands out 1 first.
const std::vector<std::string>& sequences();

// SQLite keeps its sequences as rows of this table: (sequence_name, last_value).
inline constexpr std::string_view kSqliteSequenceTable = "qx_sequences";

// The statements that create every table, index and sequence, in order. Each
// is idempotent (IF NOT EXISTS; the SQLite sequence rows are inserted only
// when missing), so running them on a database that has the schema changes
// nothing.
std::vector<std::string> ddl(Dialect dialect);

// The statements of ddl() as one script for a DBA to feed to sqlite3 or psql:
// each statement ends with ";" and a line end, and the whole runs as one
// transaction, so a failure part-way leaves the database as it was.
std::string ddl_script(Dialect dialect);

// "sqlite" or "postgresql"; nullopt for any other text.
std::optional<Dialect> parse_dialect(std::string_view name);

}  // namespace qx::schema
