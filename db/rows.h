// The rows a query returns (Session::query_rows), each column as the
// database writes it as text, NULL kept apart from an empty text. Columns
// are read by index; a text comes back in UTF-8, an integer by the rules of
// a one-value integer query (statement_rules.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "db/status.h"

namespace qx::db {

class [[nodiscard]] Rows {
 public:
  std::size_t size() const { return columns_ == 0 ? 0 : cells_.size() / columns_; }
  bool empty() const { return cells_.empty(); }
  std::size_t columns() const { return columns_; }

  bool is_null(std::size_t row, std::size_t column) const { return !cell(row, column); }
  // The column's text; empty for NULL.
  std::string_view text(std::size_t row, std::size_t column) const {
    const auto& value = cell(row, column);
    return value ? std::string_view(*value) : std::string_view();
  }
  // The column as a whole number: a NULL or empty value leaves `out`
  // unchanged and is kNullFetched, a decimal is rounded half away from
  // zero, anything else is kInvalidNumber.
  Status integer(std::size_t row, std::size_t column, std::int64_t& out) const;

  // Filled by a backend: forgets every row, then takes rows of `columns`
  // values each, a row's values one after another.
  void reset(std::size_t columns) {
    cells_.clear();
    columns_ = columns;
  }
  void add(std::optional<std::string_view> value) {
    cells_.emplace_back(value ? std::optional<std::string>(*value) : std::nullopt);
  }

 private:
  const std::optional<std::string>& cell(std::size_t row, std::size_t column) const {
    return cells_.at(row * columns_ + column);
  }

  std::size_t columns_ = 0;
  std::vector<std::optional<std::string>> cells_;
};

}  // namespace qx::db
