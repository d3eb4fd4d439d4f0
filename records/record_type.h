// A fixed-position record type as data: how a line of the type is
// recognised, where each of its fields lies in the line, the table its rows
// go to, and the labels of its progress lines. The PNR and MIR loaders
// describe every one of their record types with this one shape; filing,
// inserting and clearing (record_table.h, record_statements.h,
// record_load.h) are written once against it.
//
// Positions and lengths count bytes from 1, as the database's SUBSTR does.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace qx::records {

// Where the value of one slot of a row comes from.
struct Slot {
  enum class Kind {
    constant,      // a fixed text (the type's own tag, mostly)
    cut,           // SUBSTR(line, start, length)
    rest_of_line,  // SUBSTR(line, start), at most `length` characters kept
    unfilled,      // no line fills it; inserted as empty text (NULL)
  };

  Kind kind = Kind::unfilled;
  std::string_view constant;
  std::int32_t start = 0;
  std::int32_t length = 0;

  static constexpr Slot constant_text(std::string_view text) {
    return {Kind::constant, text, 0, 0};
  }
  static constexpr Slot cut(std::int32_t start, std::int32_t length) {
    return {Kind::cut, {}, start, length};
  }
  // `limit` is the most characters a slot keeps; longer values are cut to
  // it and reported by the filing.
  static constexpr Slot rest_of_line(std::int32_t start, std::int32_t limit) {
    return {Kind::rest_of_line, {}, start, limit};
  }
  static constexpr Slot unfilled() { return {}; }
};

// The short names the layout grids are written in.
constexpr Slot cut(std::int32_t start, std::int32_t length) {
  return Slot::cut(start, length);
}
inline constexpr Slot kUnfilled = Slot::unfilled();

// A layout whose slot 0 holds `constant` (mostly the type's own tag) and
// whose slots 1 on are `fields`, then `more_fields`.
template <std::size_t N, std::size_t M = 0>
constexpr std::array<Slot, 1 + N + M> tagged(std::string_view constant, const Slot (&fields)[N],
                                             const std::array<Slot, M>& more_fields = {}) {
  std::array<Slot, 1 + N + M> layout{};
  layout[0] = Slot::constant_text(constant);
  for (std::size_t i = 0; i < N; ++i) layout[1 + i] = fields[i];
  for (std::size_t i = 0; i < M; ++i) layout[1 + N + i] = more_fields[i];
  return layout;
}

// A column of a header table that precedes the numbered slot columns.
struct HeaderColumn {
  enum class Value {
    file_name,  // bound: the loaded file's name, as the directory holds it
    literal,    // written into the statement text as it stands
  };

  std::string_view name;  // "tm0_file_name"
  Value value = Value::file_name;
  std::string_view literal;  // "CURRENT_TIMESTAMP", "'N'"
};

struct RecordType {
  // The line's first characters that select the type ("AA", "M1", "T51").
  std::string_view tag;
  std::string_view table;          // "qx_tarvo_m1"
  std::string_view column_prefix;  // "tm1_": columns tm1_reference, tm1_serial, tm1_0, ...
  // The most rows one file may hold; lines beyond it are dropped.
  std::size_t row_capacity = 0;
  // One entry per inserted slot column, in column order: entry k fills
  // slot k, the value of column <prefix>k.
  std::span<const Slot> layout;
  // Columns between the serial and slot 0 (header tables only).
  std::span<const HeaderColumn> header_columns;
  // Progress lines: "\n<insert_label> Data Insert. ..." and
  // "\n<clearing_label> Record Initializing".
  std::string_view insert_label;
  std::string_view clearing_label;

  std::size_t inserted_columns() const { return layout.size(); }
};

}  // namespace qx::records
