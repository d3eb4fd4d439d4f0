// Rewrites the loaders' placeholders (:b0, :b1, ...) into a backend's own.
// Every occurrence is one positional parameter, in order of occurrence, so a
// name written twice takes two bind values. Text inside quotes ('...' and
// "...") and comments is left alone, and so is a "::" cast.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace qx::db {

enum class PlaceholderStyle {
  question_mark,  // ?   (SQLite numbers them in order)
  dollar_number,  // $1, $2, ...   (PostgreSQL)
};

struct RewrittenStatement {
  std::string text;
  std::size_t parameter_count = 0;
};

RewrittenStatement rewrite_placeholders(std::string_view sql, PlaceholderStyle style);

}  // namespace qx::db
