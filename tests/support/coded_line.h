// Lines whose every character names its own position, for the layout tests
// of the fixed-position loaders: a stored value then shows at once which
// positions it was cut from.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace qx::testing {

// `tag`, then at each position p a character that names p (modulo 62), to
// `length` characters in all.
std::string coded_line(std::string_view tag, std::size_t length);

}  // namespace qx::testing
