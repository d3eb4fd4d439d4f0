// The status record and the two error printers, byte for byte.
#include <gtest/gtest.h>

#include <cstdio>
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

TEST(SqlErrorPrinterTest, PrintersWriteExactlyTheFormattedText) {
  std::FILE* out = std::tmpfile();
  ASSERT_NE(out, nullptr);
  const auto unique = Status::failure(kUniqueViolation, "unique constraint violated");
  report_sql_error_by_code(unique, out);
  report_sql_error_by_code(Status::failure(kNullFetched, "fetched column value is NULL"), out);
  report_sql_error_by_text(unique, out);
  std::rewind(out);
  std::string written(4096, '\0');
  written.resize(std::fread(written.data(), 1, written.size(), out));
  std::fclose(out);
  EXPECT_EQ(written, format_sql_error_by_code(unique) + format_sql_error_by_text(unique));
}

}  // namespace
}  // namespace qx::db
