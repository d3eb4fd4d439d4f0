#include "records/record_statements.h"

namespace qx::records {

std::string insert_statement(const RecordType& type) {
  const std::string prefix(type.column_prefix);
  std::string columns = prefix + "reference," + prefix + "serial";
  std::string values = ":b0,:b1";
  std::size_t next_placeholder = 2;
  auto add_bound = [&] { values += ",:b" + std::to_string(next_placeholder++); };

  for (const auto& column : type.header_columns) {
    columns += ',';
    columns += column.name;
    if (column.value == HeaderColumn::Value::literal) {
      values += ',';
      values += column.literal;
    } else {
      add_bound();
    }
  }
  for (std::size_t k = 0; k < type.inserted_columns(); ++k) {
    columns += ',' + prefix + std::to_string(k);
    add_bound();
  }
  return "insert into " + std::string(type.table) + " (" + columns + ") values (" + values + ")";
}

std::string array_insert_statement(const RecordType& type) {
  const std::string prefix(type.column_prefix);
  std::string columns = prefix + "reference," + prefix + "serial";
  std::string selected = "u.c0,u.c1";
  std::string arrays = "cast(:b0 as bigint[]),cast(:b1 as bigint[])";
  std::string names = "c0,c1";
  std::size_t next = 2;
  auto add_bound = [&] {
    const std::string n = std::to_string(next++);
    selected += ",u.c" + n;
    arrays += ",cast(:b" + n + " as text[])";
    names += ",c" + n;
  };
  for (const auto& column : type.header_columns) {
    columns += ',';
    columns += column.name;
    if (column.value == HeaderColumn::Value::literal) {
      selected += ',';
      selected += column.literal;
    } else {
      add_bound();
    }
  }
  for (std::size_t k = 0; k < type.inserted_columns(); ++k) {
    columns += ',' + prefix + std::to_string(k);
    add_bound();
  }
  return "insert into " + std::string(type.table) + " (" + columns + ") select " + selected +
         " from unnest(" + arrays + ") as u(" + names + ")";
}

void row_binds(const RecordTable& table, std::size_t row, std::int64_t file_key,
               std::string_view file_name, std::vector<db::Bind>& binds) {
  const RecordType& type = table.type();
  binds.clear();
  binds.push_back(db::Bind::integer(file_key));
  binds.push_back(db::Bind::integer(static_cast<std::int64_t>(row)));
  for (const auto& column : type.header_columns) {
    if (column.value == HeaderColumn::Value::file_name) binds.push_back(db::Bind::text(file_name));
  }
  for (std::size_t k = 0; k < type.inserted_columns(); ++k) {
    binds.push_back(db::Bind::text(table.slot(row, k)));
  }
}

}  // namespace qx::records
