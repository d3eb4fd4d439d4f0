// Reading a number out of record text, as the database's TO_NUMBER does for
// the serials some AIR builds take from a record: the text, blanks around it
// allowed, must be a decimal number (optional sign, digits with at most one
// decimal point, optional exponent); it is rounded half away from zero to an
// integer.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "db/status.h"

namespace qx::db {

// Empty text gives success and an empty `out` (a NULL serial). Blanks only,
// anything that is not such a number, and a number beyond 64 bits give
// kInvalidNumber, with `out` empty.
Status to_number(std::string_view text, std::optional<std::int64_t>& out);

}  // namespace qx::db
