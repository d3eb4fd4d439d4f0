// How bound texts, placeholders and fetched values are turned into what each
// side expects.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "db/codepage.h"
#include "db/statement_rewrite.h"
#include "db/statement_rules.h"

namespace qx::db {
namespace {

TEST(CodepageTest, Windows1252BecomesUtf8) {
  EXPECT_EQ(cp1252_to_utf8("plain"), "plain");
  // Euro sign, an undefined byte, Y with diaeresis, no-break space, y with diaeresis.
  EXPECT_EQ(cp1252_to_utf8("\x80\x81\x9F\xA0\xFF"), "\xE2\x82\xAC\xC2\x81\xC5\xB8\xC2\xA0\xC3\xBF");
  // ASCII runs around converted bytes, past the eight bytes read at a time.
  EXPECT_EQ(cp1252_to_utf8("abcdefgh\xE9ijklmnop\x80q"), "abcdefgh\xC3\xA9ijklmnop\xE2\x82\xACq");
  // No two bytes become the same character.
  std::set<std::string> seen;
  for (int byte = 0; byte < 256; ++byte) seen.insert(cp1252_to_utf8(std::string(1, char(byte))));
  EXPECT_EQ(seen.size(), 256u);
}

TEST(CodepageTest, BoundTextHasNoNulByte) {
  std::string out;
  append_bound_text(std::string_view("a\0b\xE9", 4), out);
  EXPECT_EQ(out, "a b\xC3\xA9");
  EXPECT_FALSE(bound_as_is(std::string_view("a\0b", 3)));
  EXPECT_TRUE(bound_as_is("plain"));
}

TEST(StatementRewriteTest, EveryPlaceholderIsTheNextParameterAndInsertTimeIsLocal) {
  const auto pg = rewrite_statement(
      "insert into t values (:b0, ':b1 it''s', :b1 /* :b2 */, x::bigint, \":b9\", :B2) -- :b3",
      StatementDialect::postgresql);
  EXPECT_EQ(pg.text,
            "insert into t values ($1, ':b1 it''s', $2 /* :b2 */, x::bigint, \":b9\", $3) -- :b3");
  EXPECT_EQ(pg.parameter_count, 3u);

  const auto lite = rewrite_statement("select SUBSTR(:b0,1,2) ,SUBSTR(:b0,1,4) from DUAL",
                                      StatementDialect::sqlite);
  EXPECT_EQ(lite.text, "select SUBSTR(?,1,2) ,SUBSTR(?,1,4) from DUAL");
  EXPECT_EQ(lite.parameter_count, 2u);
  EXPECT_EQ(rewrite_statement("select :b from t", StatementDialect::sqlite).text,
            "select :b from t");

  // Only the word itself, outside quotes, is the insert time.
  const std::string_view insert_time =
      "values (:b0,CURRENT_TIMESTAMP,current_timestamp,'CURRENT_TIMESTAMP',x_CURRENT_TIMESTAMP,"
      "CURRENT_TIMESTAMP_2) -- CURRENT_TIMESTAMP";
  EXPECT_EQ(rewrite_statement(insert_time, StatementDialect::sqlite).text,
            "values (?,datetime('now','localtime'),datetime('now','localtime'),"
            "'CURRENT_TIMESTAMP',x_CURRENT_TIMESTAMP,CURRENT_TIMESTAMP_2) -- CURRENT_TIMESTAMP");
  EXPECT_EQ(rewrite_statement("select 'CURRENT_TIMESTAMP', CURRENT_TIMESTAMP",
                              StatementDialect::postgresql)
                .text,
            "select 'CURRENT_TIMESTAMP', LOCALTIMESTAMP");
}

TEST(FetchedValueTest, IntegerRules) {
  std::int64_t out = 7;
  EXPECT_EQ(fetched_integer(std::nullopt, out).code, kNullFetched);
  EXPECT_EQ(fetched_integer("", out).code, kNullFetched);
  EXPECT_EQ(out, 7);
  const std::pair<const char*, std::int64_t> numbers[] = {{" 42 ", 42}, {"-17", -17},  {"2.5", 3},
                                                          {"-2.5", -3}, {"1e3", 1000}, {"0.49", 0}};
  for (const auto& [text, value] : numbers) {
    ASSERT_TRUE(fetched_integer(text, out).ok()) << text;
    EXPECT_EQ(out, value) << text;
  }
  for (const char* text : {"abc", "12abc", "   ", "1e30", "nan"}) {
    EXPECT_EQ(fetched_integer(text, out).code, kInvalidNumber) << text;
  }
}

TEST(FetchedValueTest, EmptyTextIsNull) {
  std::string out = "left over";
  EXPECT_EQ(fetched_text("", out).code, kNullFetched);
  EXPECT_EQ(out, "");
  EXPECT_TRUE(fetched_text("x", out).ok());
  EXPECT_EQ(out, "x");
}

}  // namespace
}  // namespace qx::db
