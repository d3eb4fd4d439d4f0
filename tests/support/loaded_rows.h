// What two loads of the same files must agree on, whatever order they took
// the files in and whichever process took each: the rows a loader stored in
// its record tables without the key drawn from its sequence (the first
// column) and without insert times, each table's rows sorted; and the load
// history's account of each file.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "support/table_reader.h"

namespace qx::testing {

// Table name -> its rows, keys and insert times aside, sorted.
using LoadedRows = std::map<std::string, std::vector<Row>>;

// The rows `program` ("corvane", "tarvo", "meridon_full") stored.
LoadedRows loaded_rows(const TableReader& reader, std::string_view program);

// The number of rows, all tables together.
long long row_count(const LoadedRows& rows);

// How many rows `after` lacks of `before`, table by table, counting each
// row as often as it occurs; -1 when `after` holds a row `before` does not
// (a row stored twice, or one that no clean load stores).
long long rows_missing(const LoadedRows& before, const LoadedRows& after);

// File name -> the states of its history rows ("loaded", "loading"), in
// state order; a file loaded exactly once has {"loaded"}.
std::map<std::string, std::vector<std::string>> history_states(const TableReader& reader);

}  // namespace qx::testing
