// The loaders' tables as their record descriptions document them, transcribed
// here a second time and independently of schema/tables.cc: the AIR tables as
// the insert statement texts of every build, the PNR and MIR tables as their
// column tables and null-fill counts. The schema tests hold the schema to it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace qx::testing {

// The insert statements of the widest AIR build, word for word; together they
// name every column of every AIR table, in table order.
const std::vector<std::string_view>& air_widest_inserts();
// The inserts of the narrower builds (fewer columns, serials read from the
// record) and the form without a blank before "(": each names only columns
// the widest tables have.
const std::vector<std::string_view>& air_other_build_inserts();

struct DocumentedTable {
  std::string name;
  std::vector<std::string> columns;
};

// Every PNR and MIR table with its documented columns in insert order.
std::vector<DocumentedTable> file_tables();

// The table an insert text writes and the columns it names, in order.
DocumentedTable parse_insert(std::string_view insert_text);

}  // namespace qx::testing
