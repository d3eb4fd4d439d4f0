#include "per_field_queries.h"

#include <vector>

#include "db/text_primitives.h"

namespace qx::bench {

PerFieldQueries::PerFieldQueries(db::Session& session, Backend backend)
    : session_(session),
      separator_sql_(backend == Backend::sqlite ? "select instr(:b0,';')"
                                                : "select strpos(:b0,';')"),
      copy_sql_(backend == Backend::sqlite ? "select :b0" : "select cast(:b0 as text)") {}

// Every query here stands for the round trip the per-field design pays; its
// answer is computed on the client as well, so a failed query changes no
// result and is not looked at.
void PerFieldQueries::split_air_line(std::string_view line) {
  // The answers come back in the database's encoding; the walk along the
  // line follows the client's own cuts so that every query is asked of the
  // same text the per-field design would send.
  std::string_view remainder = line;
  std::string_view first_field;
  bool first = true;
  while (!remainder.empty() && remainder.front() != '\r' && remainder.front() != '\n') {
    std::int64_t separator = 0;
    db::Bind text = db::Bind::text(remainder);
    (void)session_.query_integer(separator_sql_, {&text, 1}, separator);
    separator = db::instr(remainder, ";");
    if (separator == 0) {
      (void)session_.query_text(copy_sql_, {&text, 1}, text_);
      if (first) first_field = remainder;
      break;
    }
    db::Bind binds[] = {text, db::Bind::integer(separator)};
    (void)session_.query_text("select substr(:b0,1,(:b1-1))", binds, text_);
    if (first) first_field = db::substr(remainder, 1, separator - 1);
    first = false;
    (void)session_.query_text("select substr(:b0,(:b1+1))", binds, text_);
    remainder = db::substr(remainder, separator + 1);
  }
  db::Bind field = db::Bind::text(first_field);
  (void)session_.query_text("select substr(:b0,1,2)", {&field, 1}, text_);
  (void)session_.query_text("select substr(:b0,1,4)", {&field, 1}, text_);
}

void PerFieldQueries::read_tag(std::string_view line, int length) {
  cut(line, 1, length);
}

void PerFieldQueries::constant(std::string_view text) {
  (void)session_.query_text("select '" + std::string(text) + "'", {}, text_);
}

void PerFieldQueries::cut(std::string_view line, int start, int length) {
  db::Bind text = db::Bind::text(line);
  std::string sql = "select substr(:b0,";
  sql += std::to_string(start);
  if (length > 0) {
    sql += ',';
    sql += std::to_string(length);
  }
  sql += ')';
  (void)session_.query_text(sql, {&text, 1}, text_);
}

void PerFieldQueries::null_fill(std::size_t buffers) {
  std::string sql = "select ";
  for (std::size_t i = 0; i < buffers; ++i) sql += i == 0 ? "null" : ",null";
  // A multi-column null fill answers with its first column; the others
  // cost the server the same.
  (void)session_.query_text(sql, {}, text_);
}

}  // namespace qx::bench
