// The insert of a record type's rows, built by one rule from the type, and
// the values bound to it.
//
// "insert into <table> (<p>reference,<p>serial,<header columns>,<p>0,...,<p>n-1)
//  values (:b0,:b1,...)", n the type's inserted columns: every bound column
// takes the next placeholder in order, a literal header column its literal.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "db/bind.h"
#include "records/record_table.h"
#include "records/record_type.h"

namespace qx::records {

std::string insert_statement(const RecordType& type);

// Fills `binds` (emptied first) with the values of row `row` of `table` for
// its insert: the file's key, the row's serial (its index among the rows of
// its type), the file's name for each bound header column, then every
// inserted slot. The binds view the table's slots and `file_name`.
void row_binds(const RecordTable& table, std::size_t row, std::int64_t file_key,
               std::string_view file_name, std::vector<db::Bind>& binds);

}  // namespace qx::records
