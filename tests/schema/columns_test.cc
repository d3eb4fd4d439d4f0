// The schema's tables against the documented column lists: every AIR table
// has exactly the columns its widest insert names, every PNR and MIR table
// exactly its documented columns, and there are no other tables.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>

#include "schema/documented_columns.h"
#include "schema/schema.h"

namespace qx::schema {
namespace {

std::vector<std::string> column_names(const Table& table) {
  std::vector<std::string> names;
  for (const auto& column : table.columns) names.push_back(column.name);
  return names;
}

TEST(SchemaColumns, TablesMatchTheDocumentedColumnsInOrder) {
  std::vector<testing::DocumentedTable> documented;
  for (auto text : testing::air_widest_inserts()) documented.push_back(testing::parse_insert(text));
  for (auto& table : testing::file_tables()) documented.push_back(std::move(table));

  std::set<std::string> documented_names;
  for (const auto& expected : documented) {
    documented_names.insert(expected.name);
    const Table* table = find_table(expected.name);
    ASSERT_NE(table, nullptr) << expected.name;
    EXPECT_EQ(column_names(*table), expected.columns) << expected.name;
  }
  std::set<std::string> schema_names;
  for (const auto& table : tables()) schema_names.insert(table.name);
  EXPECT_EQ(schema_names, documented_names);
  EXPECT_EQ(tables().size(), 48u) << "a table is listed twice";
}

TEST(SchemaColumns, EveryBuildsInsertNamesExistingColumns) {
  for (auto text : testing::air_other_build_inserts()) {
    const auto insert = testing::parse_insert(text);
    const Table* table = find_table(insert.name);
    ASSERT_NE(table, nullptr) << text;
    const auto names = column_names(*table);
    for (const auto& column : insert.columns) {
      EXPECT_NE(std::find(names.begin(), names.end(), column), names.end())
          << column << " in " << text;
    }
  }
}

}  // namespace
}  // namespace qx::schema
