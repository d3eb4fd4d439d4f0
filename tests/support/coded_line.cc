#include "support/coded_line.h"

namespace qx::testing {

std::string coded_line(std::string_view tag, std::size_t length) {
  static constexpr std::string_view symbols =
      "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
  std::string line(tag);
  for (std::size_t p = line.size() + 1; p <= length; ++p) line += symbols[p % symbols.size()];
  return line.substr(0, length);
}

}  // namespace qx::testing
