// The text functions the loaders' record cutting rests on, evaluated on the
// client with the database's semantics:
//   - positions count from 1; a start of 0 counts as 1; a negative start
//     counts back from the end of the text;
//   - a cut that starts past the end, or a length below 1, is empty;
//   - a cut that runs past the end keeps what is there;
//   - an empty result is NULL, and NULL is the empty view.
// Texts are single-byte, so positions and lengths count bytes. Results view
// the argument and live as long as it does.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "db/status.h"

namespace qx::db {

// SUBSTR(text, start): from `start` to the end.
std::string_view substr(std::string_view text, std::int64_t start);
// SUBSTR(text, start, length).
std::string_view substr(std::string_view text, std::int64_t start, std::int64_t length);
// INSTR(text, search, start): the position of the first occurrence of
// `search` at or after `start` (counted from 1); 0 when there is none or when
// either text is empty. A negative start counts back from the end and
// searches backwards: the last occurrence that begins at or before that
// position. A start of 0 finds nothing.
std::int64_t instr(std::string_view text, std::string_view search, std::int64_t start = 1);

}  // namespace qx::db
