// What the PNR loader must store, worked out with plain string handling
// from the record positions the interface gives and from the files alone:
// the independent account that the layout and end-to-end tests compare the
// loader with.
#pragma once

#include <map>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "support/table_reader.h"

namespace qx::tarvo {

// One record kind: its tag, table, column prefix, the most lines of it one
// file holds, and one word per inserted slot: "=XY" the constant XY, "-" no
// line fills it, "a-b" positions a to b of the line, "a" position a alone.
struct PnrKind {
  std::string_view tag;
  std::string_view table;
  std::string_view prefix;
  std::size_t rows;
  std::string_view slots;
};

// The fifteen kinds, header first, in insert order.
std::span<const PnrKind> pnr_kinds();

// Where the value of one slot comes from: a constant, positions first to
// last of the line (counted from 1), or nothing (first == 0).
struct SlotSource {
  std::string constant;
  std::size_t first = 0;
  std::size_t last = 0;
};
std::vector<SlotSource> slot_sources(const PnrKind& kind);

struct PnrFile {
  std::string name;
  std::string contents;  // the bytes of the file
};

using TableRows = std::map<std::string, std::vector<qx::testing::Row>>;

// For each table, the rows the files give when they are loaded in this
// order into a fresh database (keys 1, 2, ...): key, serial, then for the
// header the file name and the loaded flag, then every slot column (UTF-8;
// NULL for empty), ordered by key and serial. The M2 row's slot 51 holds
// the continuation line that follows it.
TableRows expected_pnr_rows(const std::vector<PnrFile>& files_in_load_order);

// The same rows read from a database, in the same shape and order.
TableRows stored_pnr_rows(const qx::testing::TableReader& reader);

}  // namespace qx::tarvo
