// The MIR record layouts written out once more for the tests, in the form
// the interface lists them (positions first to last), and what the loader
// must have stored after loading some files, worked out from the files
// alone with plain string handling: the independent account that layout
// and end-to-end tests compare the loader with.
#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "support/coded_line.h"
#include "support/table_reader.h"

namespace qx::meridon_full {

// One entry per slot: a constant, or the positions `first` to `last` of the
// line (`last` 0: to the end of the line).
struct ExpectedSlot {
  std::string constant;
  std::size_t first = 0, last = 0;
};

struct ExpectedType {
  std::string tag;
  std::string table;
  std::string prefix;
  std::size_t rows;
  std::vector<ExpectedSlot> slots;
};

// Header, A02, ..., A21, in the order their rows are inserted.
const std::vector<ExpectedType>& expected_types();
const ExpectedType& expected_type(std::string_view tag);

// The value of every slot of `type` for `line`, by the positions alone;
// empty where the line does not reach. A value to the end of the line is
// kept whole.
std::vector<std::string> expected_slots(const ExpectedType& type, const std::string& line);

using qx::testing::coded_line;

// A file as a reservation system wrote it; lines end with a lone carriage
// return and the header is the first 342 characters.
struct LoadedFile {
  std::string name;
  std::string contents;
};

// For each table, its rows, each as: the key, the serial, the file name
// (header table only), then every slot column (UTF-8; NULL for empty);
// sorted. Keys are counted from `first_key` in load order.
std::map<std::string, std::vector<qx::testing::Row>> expected_mir_rows(
    const std::vector<LoadedFile>& files_in_load_order, long long first_key = 1);

// The same rows read from a database, in the same shape and order.
std::map<std::string, std::vector<qx::testing::Row>> stored_mir_rows(
    const qx::testing::TableReader& reader);

}  // namespace qx::meridon_full
