#include "db/to_number.h"

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <string>

namespace qx::db {
namespace {

bool is_digit(char c) {
  return c >= '0' && c <= '9';
}

// True when `text` is exactly: [sign] digits [. digits] [e|E [sign] digits],
// with at least one digit in the mantissa.
bool is_decimal_number(std::string_view text) {
  std::size_t i = 0;
  auto digits = [&] {
    std::size_t start = i;
    while (i < text.size() && is_digit(text[i])) ++i;
    return i - start;
  };
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  std::size_t mantissa = digits();
  if (i < text.size() && text[i] == '.') {
    ++i;
    mantissa += digits();
  }
  if (mantissa == 0) return false;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    if (digits() == 0) return false;
  }
  return i == text.size();
}

Status invalid_number() {
  return Status::failure(kInvalidNumber);
}

}  // namespace

Status to_number(std::string_view text, std::optional<std::int64_t>& out) {
  out.reset();
  if (text.empty()) return Status::success();
  auto first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return invalid_number();
  auto last = text.find_last_not_of(' ');
  std::string_view number = text.substr(first, last - first + 1);
  if (!is_decimal_number(number)) return invalid_number();

  double value = std::strtod(std::string(number).c_str(), nullptr);
  double rounded = std::round(value);  // half away from zero
  // 2^63 is the first double beyond the signed 64-bit range.
  if (!std::isfinite(rounded) || rounded >= 9223372036854775808.0 ||
      rounded < -9223372036854775808.0) {
    return invalid_number();
  }
  out = static_cast<std::int64_t>(rounded);
  return Status::success();
}

}  // namespace qx::db
