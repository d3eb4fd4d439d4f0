// Rewrites a statement text as the loaders write it (portable SQL with the
// placeholders :b0, :b1, ...) into what one backend runs:
//
//   - every placeholder occurrence is one positional parameter, in order of
//     occurrence, so a name written twice takes two bind values;
//   - CURRENT_TIMESTAMP, the insert time, becomes the database's local time
//     (SQLite's own CURRENT_TIMESTAMP is UTC; a server's would go through
//     the session's time zone).
//
// Text inside quotes ('...' and "...") and comments is left alone, and so is
// a "::" cast.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace qx::db {

enum class StatementDialect {
  sqlite,      // ?  (SQLite numbers them in order); datetime('now','localtime')
  postgresql,  // $1, $2, ...; LOCALTIMESTAMP
};

struct [[nodiscard]] RewrittenStatement {
  std::string text;
  std::size_t parameter_count = 0;
};

RewrittenStatement rewrite_statement(std::string_view sql, StatementDialect dialect);

}  // namespace qx::db
