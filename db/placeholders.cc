#include "db/placeholders.h"

#include <cctype>

namespace qx::db {
namespace {

bool is_digit(char c) {
  return std::isdigit(static_cast<unsigned char>(c)) != 0;
}

// Where the quoted text or comment that opens at `at` ends (one past it), or
// `at` itself when nothing opens there.
std::size_t skip_quoted(std::string_view sql, std::size_t at) {
  const char c = sql[at];
  if (c == '\'' || c == '"') {
    // A doubled quote inside stays inside; the loop simply meets it as a
    // closing quote immediately followed by an opening one.
    const auto close = sql.find(c, at + 1);
    return close == std::string_view::npos ? sql.size() : close + 1;
  }
  if (sql.substr(at, 2) == "--") {
    const auto end = sql.find('\n', at);
    return end == std::string_view::npos ? sql.size() : end + 1;
  }
  if (sql.substr(at, 2) == "/*") {
    const auto end = sql.find("*/", at + 2);
    return end == std::string_view::npos ? sql.size() : end + 2;
  }
  return at;
}

// Length of the placeholder at `at` (":b" and digits), or 0.
std::size_t placeholder_length(std::string_view sql, std::size_t at) {
  if (sql[at] != ':' || at + 2 >= sql.size()) return 0;
  if (at > 0 && sql[at - 1] == ':') return 0;  // the second colon of a cast
  if (sql[at + 1] != 'b' && sql[at + 1] != 'B') return 0;
  std::size_t end = at + 2;
  while (end < sql.size() && is_digit(sql[end])) ++end;
  return end > at + 2 ? end - at : 0;
}

}  // namespace

RewrittenStatement rewrite_placeholders(std::string_view sql, PlaceholderStyle style) {
  RewrittenStatement out;
  out.text.reserve(sql.size() + 8);
  std::size_t at = 0;
  while (at < sql.size()) {
    if (const auto end = skip_quoted(sql, at); end != at) {
      out.text.append(sql.substr(at, end - at));
      at = end;
    } else if (const auto length = placeholder_length(sql, at); length > 0) {
      ++out.parameter_count;
      if (style == PlaceholderStyle::question_mark) {
        out.text += '?';
      } else {
        out.text += '$';
        out.text += std::to_string(out.parameter_count);
      }
      at += length;
    } else {
      out.text += sql[at++];
    }
  }
  return out;
}

}  // namespace qx::db
