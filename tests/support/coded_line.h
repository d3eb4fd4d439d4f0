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
inline std::string coded_line(std::string_view tag, std::size_t length) {
  static constexpr std::string_view symbols =
      "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
  std::string line(tag);
  for (std::size_t p = line.size() + 1; p <= length; ++p) line += symbols[p % symbols.size()];
  return line.substr(0, length);
}

}  // namespace qx::testing
