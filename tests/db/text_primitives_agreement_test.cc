// The client's SUBSTR and INSTR against the databases' own, on random texts
// (seeded), for every start from 1: texts hold Windows-1252 bytes, which the
// databases count as characters after binding.
#include <gtest/gtest.h>

#include <random>

#include "backend_database.h"
#include "db/codepage.h"
#include "db/text_primitives.h"

namespace qx::db {
namespace {

using testing::Backend;

class TextPrimitivesAgreementTest : public ::testing::TestWithParam<Backend> {
 protected:
  // The database's result as the client sees it: NULL and empty alike.
  std::string database_text(const char* sql, std::span<const Bind> binds) {
    std::string out;
    const auto status = session_->query_text(sql, binds, out);
    EXPECT_TRUE(status.ok() || status.code == kNullFetched) << status.message;
    return out;
  }
  std::int64_t database_integer(const char* sql, std::span<const Bind> binds) {
    std::int64_t out = 0;
    const auto status = session_->query_integer(sql, binds, out);
    EXPECT_TRUE(status.ok() || status.code == kNullFetched) << status.message;
    return out;
  }

  testing::BackendDatabase database_{GetParam(), false};
  std::unique_ptr<Session> session_ = database_.connect();
};

TEST_P(TextPrimitivesAgreementTest, SubstrAndInstrAgreeWithTheDatabase) {
  // The PostgreSQL server has no INSTR; its STRPOS is the same search from 1.
  const char* instr_sql = GetParam() == Backend::sqlite ? "select instr(substr(:b0,:b1),:b2)"
                                                        : "select strpos(substr(:b0,:b1),:b2)";
  std::mt19937 random(20240611);
  const std::string alphabet = "ab; \xE9\x80";
  const auto random_text = [&](int longest) {
    std::string text(std::uniform_int_distribution<int>(0, longest)(random), ' ');
    for (char& c : text) c = alphabet[random() % alphabet.size()];
    return text;
  };
  for (int round = 0; round < 3000; ++round) {
    const auto text = random_text(12);
    const auto size = static_cast<std::int64_t>(text.size());
    const auto start = std::uniform_int_distribution<std::int64_t>(1, size + 3)(random);
    const auto length = std::uniform_int_distribution<std::int64_t>(0, size + 3)(random);
    const auto search = random_text(2);
    SCOPED_TRACE("text '" + text + "' start " + std::to_string(start) + " length " +
                 std::to_string(length) + " search '" + search + "'");

    const Bind cut[] = {Bind::text(text), Bind::integer(start), Bind::integer(length)};
    EXPECT_EQ(database_text("select substr(:b0,:b1,:b2)", cut),
              cp1252_to_utf8(substr(text, start, length)));
    EXPECT_EQ(database_text("select substr(:b0,:b1)", std::span(cut, 2)),
              cp1252_to_utf8(substr(text, start)));

    // The database searches the cut from `start`; the client searches from
    // `start` directly.
    const Bind find[] = {Bind::text(text), Bind::integer(start), Bind::text(search)};
    const auto found = database_integer(instr_sql, find);
    EXPECT_EQ(instr(text, search, start), found == 0 ? 0 : found + start - 1);
  }
}

INSTANTIATE_TEST_SUITE_P(Backends, TextPrimitivesAgreementTest,
                         ::testing::Values(Backend::sqlite, Backend::postgres),
                         [](const auto& info) { return testing::backend_name(info.param); });

}  // namespace
}  // namespace qx::db
