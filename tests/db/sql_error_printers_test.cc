// The status record and the two error printers' texts, byte for byte.
// (What the loaders print with them: tests/record_loader/record_load_test.cc
// and tests/corvane/dispatch_test.cc.)
#include <gtest/gtest.h>

#include <string>

#include "db/report_sql_error.h"
#include "db/status.h"

namespace qx::db {
namespace {

TEST(StatusTest, MessageIsTheFiveDigitNumberThenTheTextCutTo70) {
  EXPECT_EQ(Status::failure(-1, "unique constraint violated").message,
            "00001: unique constraint violated");
  EXPECT_EQ(Status::failure(-99999, "x").message, "99999: x");

  const auto long_status = Status::failure(-942, std::string(100, 'x'));
  EXPECT_EQ(long_status.message, "00942: " + std::string(63, 'x'));
  EXPECT_EQ(long_status.code, -942);

  // A two-byte character that would straddle the cut is left out whole.
  const auto accented = Status::failure(-1, std::string(62, 'a') + "\xC3\xA9");
  EXPECT_EQ(accented.message, "00001: " + std::string(62, 'a'));
}

TEST(SqlErrorPrinterTest, ByCodeRightAlignsTheMessageIn80Columns) {
  const auto status = Status::failure(kTableMissing, "table or view does not exist");
  ASSERT_EQ(status.message.size(), 35u);
  EXPECT_EQ(format_sql_error_by_code(status),
            "-942 " + std::string(45, ' ') + "00942: table or view does not exist\n");
}

TEST(SqlErrorPrinterTest, ByTextPrintsAnEmptyLineThenTheMessage) {
  EXPECT_EQ(format_sql_error_by_text(Status::failure(kInvalidNumber, "invalid number")),
            "\n01722: invalid number\n");
}

TEST(SqlErrorPrinterTest, SilencesOfEachForm) {
  const auto null_fetched = Status::failure(kNullFetched, "fetched column value is NULL");
  const auto invalid_number = Status::failure(kInvalidNumber, "invalid number");
  // The by-text form looks at the message, not the code.
  const auto mentions_null = Status::failure(-20000, "wrapped: 01405 seen");

  EXPECT_EQ(format_sql_error_by_code(Status::success()), "");
  EXPECT_EQ(format_sql_error_by_code(null_fetched), "");
  EXPECT_EQ(format_sql_error_by_code(invalid_number), "");
  EXPECT_NE(format_sql_error_by_code(mentions_null), "");

  EXPECT_EQ(format_sql_error_by_text(Status::success()), "");
  EXPECT_EQ(format_sql_error_by_text(null_fetched), "");
  EXPECT_EQ(format_sql_error_by_text(mentions_null), "");
  EXPECT_NE(format_sql_error_by_text(invalid_number), "");
}

}  // namespace
}  // namespace qx::db
