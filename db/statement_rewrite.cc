#include "db/statement_rewrite.h"

#include <strings.h>
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

constexpr std::string_view kInsertTime = "CURRENT_TIMESTAMP";

bool is_identifier_char(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_' || c == '$';
}

// True when the word CURRENT_TIMESTAMP, in any case, stands alone at `at`.
bool insert_time_at(std::string_view sql, std::size_t at) {
  if (sql.size() - at < kInsertTime.size()) return false;
  if (at > 0 && is_identifier_char(sql[at - 1])) return false;
  const auto after = at + kInsertTime.size();
  if (after < sql.size() && is_identifier_char(sql[after])) return false;
  return strncasecmp(sql.data() + at, kInsertTime.data(), kInsertTime.size()) == 0;
}

std::string_view local_time(StatementDialect dialect) {
  return dialect == StatementDialect::sqlite ? "datetime('now','localtime')" : "LOCALTIMESTAMP";
}

}  // namespace

RewrittenStatement rewrite_statement(std::string_view sql, StatementDialect dialect) {
  RewrittenStatement out;
  out.text.reserve(sql.size() + 8);
  std::size_t at = 0;
  while (at < sql.size()) {
    if (const auto end = skip_quoted(sql, at); end != at) {
      out.text.append(sql.substr(at, end - at));
      at = end;
    } else if (const auto length = placeholder_length(sql, at); length > 0) {
      ++out.parameter_count;
      if (dialect == StatementDialect::sqlite) {
        out.text += '?';
      } else {
        out.text += '$';
        out.text += std::to_string(out.parameter_count);
      }
      at += length;
    } else if (insert_time_at(sql, at)) {
      out.text += local_time(dialect);
      at += kInsertTime.size();
    } else {
      out.text += sql[at++];
    }
  }
  return out;
}

}  // namespace qx::db
