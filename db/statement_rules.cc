#include "db/statement_rules.h"

#include <charconv>
#include <cmath>
#include <cstdlib>

#include "db/codepage.h"

namespace qx::db {
namespace {

std::string_view trimmed(std::string_view text) {
  const auto first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

}  // namespace

Status check_bind_count(std::size_t placeholders, std::size_t binds) {
  if (binds < placeholders) return Status::failure(kBindMissing);
  if (binds > placeholders) return Status::failure(kBindExtra);
  return Status::success();
}

bool bound_as_is(std::string_view text) {
  return is_ascii(text) && text.find('\0') == std::string_view::npos;
}

void append_bound_text(std::string_view text, std::string& out) {
  const auto start = out.size();
  append_cp1252_as_utf8(text, out);
  for (auto i = start; i < out.size(); ++i) {
    if (out[i] == '\0') out[i] = ' ';
  }
}

Status not_connected() {
  return Status::failure(kNotConnected);
}

Status null_fetched() {
  return Status::failure(kNullFetched);
}

Status too_many_rows() {
  return Status::failure(kTooManyRows);
}

Status fetched_text(std::optional<std::string_view> value, std::string& out) {
  out.clear();
  if (!value || value->empty()) return null_fetched();
  out.assign(*value);
  return Status::success();
}

Status fetched_integer(std::optional<std::string_view> value, std::int64_t& out) {
  if (!value || value->empty()) return null_fetched();
  const auto text = trimmed(*value);
  std::int64_t whole = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), whole);
  if (!text.empty() && error == std::errc() && end == text.data() + text.size()) {
    out = whole;
    return Status::success();
  }
  // strtod wants a terminated text; the value may be a view into a larger one.
  const std::string copy(text);
  char* parsed_end = nullptr;
  const double real = std::strtod(copy.c_str(), &parsed_end);
  // 2^63 is the first double past the range; every double below it fits.
  if (copy.empty() || parsed_end != copy.c_str() + copy.size() || !std::isfinite(real) ||
      std::fabs(std::round(real)) >= 9223372036854775808.0) {
    return Status::failure(kInvalidNumber);
  }
  out = static_cast<std::int64_t>(std::round(real));
  return Status::success();
}

}  // namespace qx::db
