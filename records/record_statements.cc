#include "records/record_statements.h"

#include <utility>

namespace qx::records {

namespace {

// The insert's columns in order (the key, the serial, the header columns,
// the slots) and the value of each: a literal header column's literal, the
// value `bound(n, integer)` names for the n-th bound column otherwise.
template <typename Bound>
std::pair<std::string, std::string> columns_and_values(const RecordType& type, Bound bound) {
  const std::string prefix(type.column_prefix);
  std::string columns = prefix + "reference," + prefix + "serial";
  // One call after the other: the caller may note what each call names.
  std::string values = bound(0, true);
  values += "," + bound(1, true);
  std::size_t next = 2;
  for (const auto& column : type.header_columns) {
    columns += ',';
    columns += column.name;
    values += ',';
    values += column.value == HeaderColumn::Value::literal ? std::string(column.literal)
                                                           : bound(next++, false);
  }
  for (std::size_t k = 0; k < type.inserted_columns(); ++k) {
    columns += ',' + prefix + std::to_string(k);
    values += ',' + bound(next++, false);
  }
  return {columns, values};
}

}  // namespace

std::string insert_statement(const RecordType& type) {
  const auto [columns, values] =
      columns_and_values(type, [](std::size_t n, bool) { return ":b" + std::to_string(n); });
  return "insert into " + std::string(type.table) + " (" + columns + ") values (" + values + ")";
}

std::string array_insert_statement(const RecordType& type) {
  std::string arrays, names;
  const auto [columns, values] = columns_and_values(type, [&](std::size_t n, bool integer) {
    const std::string number = std::to_string(n);
    if (n > 0) {
      arrays += ',';
      names += ',';
    }
    arrays += "cast(:b" + number + (integer ? " as bigint[])" : " as text[])");
    names += "c" + number;
    return "u.c" + number;
  });
  return "insert into " + std::string(type.table) + " (" + columns + ") select " + values +
         " from unnest(" + arrays + ") as u(" + names + ")";
}

std::string copy_target(const RecordType& type) {
  for (const auto& column : type.header_columns) {
    if (column.value == HeaderColumn::Value::literal) return {};
  }
  const auto [columns, values] =
      columns_and_values(type, [](std::size_t, bool) { return std::string(); });
  return std::string(type.table) + " (" + columns + ")";
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
