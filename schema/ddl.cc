// DDL for both dialects, built by one rule from the table descriptions.
#include <string>
#include <vector>

#include "schema/schema.h"

namespace qx::schema {
namespace {

bool is_file_name(const Column& column) {
  return column.name.ends_with("_file_name") || column.name == "air_reference";
}

std::string column_type(const Column& column, Dialect dialect) {
  const bool pg = dialect == Dialect::postgresql;
  switch (column.type) {
    case ColumnType::key_double:
      return pg ? "double precision" : "REAL";
    case ColumnType::integer:
      return pg ? "bigint" : "INTEGER";
    case ColumnType::integer32:
      return pg ? "integer" : "INTEGER";
    case ColumnType::text:
      if (!pg) return "TEXT";
      if (column.length > 0) return "varchar(" + std::to_string(column.length) + ")";
      return is_file_name(column) ? "varchar(255)" : "varchar(2000)";
    case ColumnType::fixed_text:
      return pg ? "char(" + std::to_string(column.length) + ")" : "TEXT";
    case ColumnType::timestamp:
      return pg ? "timestamp" : "TEXT";
    case ColumnType::flag:
      return pg ? "char(1)" : "TEXT";
  }
  return "TEXT";
}

std::string joined(const std::vector<std::string>& parts, const char* separator) {
  std::string out;
  for (const auto& part : parts) {
    if (!out.empty()) out += separator;
    out += part;
  }
  return out;
}

std::string create_table(const Table& table, Dialect dialect) {
  std::vector<std::string> columns;
  for (const auto& column : table.columns) {
    std::string definition = column.name + " " + column_type(column, dialect);
    if (column.not_null) definition += " NOT NULL";
    if (!column.default_value.empty()) definition += " DEFAULT " + column.default_value;
    columns.push_back(std::move(definition));
  }
  return "CREATE TABLE IF NOT EXISTS " + table.name + " (" + joined(columns, ", ") + ")";
}

std::string index_name(const Table& table, const std::vector<std::string>& columns) {
  return table.name + "_" + joined(columns, "_") + "_ix";
}

std::string create_index(const Table& table, const std::vector<std::string>& columns) {
  return "CREATE INDEX IF NOT EXISTS " + index_name(table, columns) + " ON " + table.name + " (" +
         joined(columns, ", ") + ")";
}

std::string create_unique_index(const Table& table, const UniqueIndex& index) {
  return "CREATE UNIQUE INDEX IF NOT EXISTS " + index.name + " ON " + table.name + " (" +
         joined(index.columns, ", ") + ")";
}

// The record tables, then the load history.
std::vector<const Table*> all_tables() {
  std::vector<const Table*> all;
  for (const auto& table : tables()) all.push_back(&table);
  all.push_back(&load_history_table());
  return all;
}

}  // namespace

std::vector<std::string> schema_objects(Dialect dialect) {
  std::vector<std::string> names;
  for (const Table* table : all_tables()) {
    names.push_back(table->name);
    for (const auto& index : table->indexes) names.push_back(index_name(*table, index));
    for (const auto& index : table->unique_indexes) names.push_back(index.name);
  }
  if (dialect == Dialect::sqlite) names.emplace_back(kSqliteSequenceTable);
  return names;
}

std::vector<std::string> ddl(Dialect dialect) {
  std::vector<std::string> statements;
  for (const Table* table : all_tables()) {
    statements.push_back(create_table(*table, dialect));
    for (const auto& index : table->indexes) statements.push_back(create_index(*table, index));
    for (const auto& index : table->unique_indexes) {
      statements.push_back(create_unique_index(*table, index));
    }
  }
  if (dialect == Dialect::postgresql) {
    for (const auto& sequence : sequences()) {
      statements.push_back("CREATE SEQUENCE IF NOT EXISTS " + sequence + " START WITH 1");
    }
  } else {
    const std::string table(kSqliteSequenceTable);
    statements.push_back("CREATE TABLE IF NOT EXISTS " + table +
                         " (sequence_name TEXT PRIMARY KEY, last_value INTEGER NOT NULL)");
    for (const auto& sequence : sequences()) {
      statements.push_back("INSERT OR IGNORE INTO " + table +
                           " (sequence_name, last_value) VALUES ('" + sequence + "', 0)");
    }
  }
  return statements;
}

std::string ddl_script(Dialect dialect) {
  std::string script = "BEGIN;\n";
  for (const auto& statement : ddl(dialect)) script += statement + ";\n";
  script += "COMMIT;\n";
  return script;
}

std::optional<Dialect> parse_dialect(std::string_view name) {
  if (name == "sqlite") return Dialect::sqlite;
  if (name == "postgresql") return Dialect::postgresql;
  return std::nullopt;
}

}  // namespace qx::schema
