#include "db/rows.h"

#include "db/statement_rules.h"

namespace qx::db {

Status Rows::integer(std::size_t row, std::size_t column, std::int64_t& out) const {
  const auto& value = cell(row, column);
  return fetched_integer(value ? std::optional<std::string_view>(*value) : std::nullopt, out);
}

}  // namespace qx::db
