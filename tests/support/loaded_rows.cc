#include "support/loaded_rows.h"

#include <algorithm>
#include <iterator>

#include "schema/schema.h"

namespace qx::testing {

LoadedRows loaded_rows(const TableReader& reader, std::string_view program) {
  // Every table over one connection: a connection per table costs a
  // sweep over many tables most of its time.
  std::vector<std::string> names, sqls;
  for (const auto& name : schema::required_tables(program)) {
    const schema::Table* table = schema::find_table(name);
    if (table == nullptr) continue;  // the load history
    std::string columns;
    for (std::size_t i = 1; i < table->columns.size(); ++i) {
      if (table->columns[i].type == schema::ColumnType::timestamp) continue;
      columns += (columns.empty() ? "" : ", ") + table->columns[i].name;
    }
    names.push_back(name);
    sqls.push_back("select " + columns + " from " + name);
  }
  std::vector<std::vector<Row>> each = reader.rows_of_each(sqls);
  LoadedRows rows;
  for (std::size_t t = 0; t < names.size(); ++t) {
    std::sort(each[t].begin(), each[t].end());
    rows[names[t]] = std::move(each[t]);
  }
  return rows;
}

long long row_count(const LoadedRows& rows) {
  long long count = 0;
  for (const auto& [table, table_rows] : rows) count += static_cast<long long>(table_rows.size());
  return count;
}

long long rows_missing(const LoadedRows& before, const LoadedRows& after) {
  long long missing = 0;
  for (const auto& [table, rows] : after) {
    auto it = before.find(table);
    const std::vector<Row> none;
    const std::vector<Row>& clean = it == before.end() ? none : it->second;
    std::vector<Row> extra;
    std::set_difference(rows.begin(), rows.end(), clean.begin(), clean.end(),
                        std::back_inserter(extra));
    if (!extra.empty()) return -1;
    missing += static_cast<long long>(clean.size() - rows.size());
  }
  return missing;
}

std::map<std::string, std::vector<std::string>> history_states(const TableReader& reader) {
  std::map<std::string, std::vector<std::string>> states;
  for (const auto& row :
       reader.rows("select lh_file_name, lh_state from qx_load_history order by 1, 2")) {
    states[row[0].value_or("")].push_back(row[1].value_or(""));
  }
  return states;
}

}  // namespace qx::testing
