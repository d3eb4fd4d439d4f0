// Every table and sequence the three loaders write, as data, and the DDL
// that creates them on SQLite and on PostgreSQL. Built by one rule from the
// table descriptions, so the two dialects cannot drift apart. Besides the
// record tables there is the load history, one row per file loaded.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qx::schema {

enum class ColumnType {
  key_double,  // the AIR booking key (a double)
  integer,     // reference (PNR and MIR key) and serial columns: 64-bit integers
  integer32,   // a 32-bit integer (the AIR counters kept in the load history)
  text,        // every field column and file name
  fixed_text,  // text of exactly `length` characters (a digest)
  timestamp,   // an insert time, the database's local time
  flag,        // a one-character flag ('N' / 'Y')
};

struct Column {
  std::string name;
  ColumnType type;
  // The length of a text column; 0 takes the record tables' rule (255 for a
  // file name, 2000 for a field).
  int length = 0;
  bool not_null = false;
  // An SQL literal; empty for no default.
  std::string default_value = {};
};

struct UniqueIndex {
  std::string name;
  std::vector<std::string> columns;
};

struct Table {
  std::string name;
  std::vector<Column> columns;
  // Each entry is the column list of one index, for example {"airh_key",
  // "airh_serial"}.
  std::vector<std::vector<std::string>> indexes;
  std::vector<UniqueIndex> unique_indexes = {};
};

enum class Dialect { sqlite, postgresql };

// All record tables of the three loaders, AIR first, then PNR, then MIR.
const std::vector<Table>& tables();
// Looks a record table up by name; nullptr when there is none.
const Table* find_table(std::string_view name);

// The load history: one row per file a loader took up, identified by the
// program and the file's name, size, modification time and digest (the
// unique index kLoadHistoryIdentity).
inline constexpr std::string_view kLoadHistoryTable = "qx_load_history";
inline constexpr std::string_view kLoadHistoryIdentity = "qx_load_history_identity";
const Table& load_history_table();

// The tables `program` ("corvane", "tarvo" or "meridon_full") writes: its
// record tables, then the load history. Empty for any other name.
std::vector<std::string> required_tables(std::string_view program);

// The sequence `program`'s keys are drawn from; empty for any other name.
std::string_view program_sequence(std::string_view program);

// BOOK_SEQUENCE, TARVO_SEQUENCE, MERIDON_SEQUENCE; each hands out 1 first.
const std::vector<std::string>& sequences();

// SQLite keeps its sequences as rows of this table: (sequence_name, last_value).
inline constexpr std::string_view kSqliteSequenceTable = "qx_sequences";

// The names of the tables and indexes ddl() creates (on SQLite, the
// sequence table among them).
std::vector<std::string> schema_objects(Dialect dialect);

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
