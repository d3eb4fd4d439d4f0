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

// The same insert for many rows at once on a database that binds arrays:
// each bound column of insert_statement() becomes one array parameter, in
// the same order (the key and serial as bigint[], the texts as text[]),
// and the rows are the arrays' elements side by side:
// "insert into <table> (...) select u.c0, u.c1, <literal>, ... from
//  unnest(cast(:b0 as bigint[]), ...) as u(c0, c1, ...)".
std::string array_insert_statement(const RecordType& type);

// The table and columns of insert_statement(), as COPY names them:
// "<table> (<p>reference,<p>serial,...)", whose rows are the values of
// row_binds() in order. Empty for a type with a literal header column
// (the insert time), which only a statement can give its value.
std::string copy_target(const RecordType& type);

// Fills `binds` (emptied first) with the values of row `row` of `table` for
// its insert: the file's key, the row's serial (its index among the rows of
// its type), the file's name for each bound header column, then every
// inserted slot. The binds view the table's slots and `file_name`.
void row_binds(const RecordTable& table, std::size_t row, std::int64_t file_key,
               std::string_view file_name, std::vector<db::Bind>& binds);

}  // namespace qx::records
