// Clearing the filed rows: each type that held rows is announced once, in
// type order or with the header last, and every row is emptied. The error
// printer writes through the console.
#include "record_loader/record_load.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "db/error_numbers.h"
#include "db/make_session.h"
#include "db/report_sql_error.h"
#include "db/session.h"
#include "db/target.h"
#include "support/captured_output.h"
#include "support/temp_dir.h"

namespace qx::record_loader {
namespace {

constexpr records::Slot kLayout[] = {records::Slot::cut(1, 3)};
constexpr records::RecordType kTypes[] = {
    {"HDR", "qx_h", "h_", 1, kLayout, {}, "HDR(Header)", "Header(HDR)"},
    {"A01", "qx_a01", "a01_", 3, kLayout, {}, "A01", "A01"},
    {"A02", "qx_a02", "a02_", 3, kLayout, {}, "A02", "A02"},
    {"A03", "qx_a03", "a03_", 3, kLayout, {}, "A03", "A03"},
};

// The flag: the header cleared last, or the console a journal's.
class RecordLoadTest : public ::testing::TestWithParam<bool> {
 protected:
  void file(std::string_view line) {
    std::vector<records::SlotCut> cuts;
    ASSERT_TRUE(records.find(line.substr(0, 3))->file_line(line, cuts));
  }

  qx::testing::TempDir dir;
  qx::testing::CapturedOutput out;
  std::unique_ptr<db::Session> session =
      db::make_session(db::parse_target("t@" + (dir.path() / "t.db").string(), ""));
  records::RecordSet records{kTypes};
};

TEST_P(RecordLoadTest, ClearingAnnouncesEachTypeWithRowsOnceAndEmptiesThem) {
  const bool header_last = GetParam();
  RecordLoad load(*session, records, {"SEQ", "update", header_last}, out.file());
  file("HDR");
  file("A01");
  file("A03");
  file("A03");
  load.clear_records(true);
  EXPECT_EQ(out.take(), header_last ? "\nA01 Record Initializing\nA03 Record Initializing"
                                      "\nHeader(HDR) Record Initializing"
                                    : "\nHeader(HDR) Record Initializing\nA01 Record Initializing"
                                      "\nA03 Record Initializing");
  for (const auto& table : records.tables()) EXPECT_EQ(table.record_count(), 0u);
  file("A03");
  load.clear_records(false);
  EXPECT_EQ(out.take(), "");
}

// Exactly the by-code text, nothing for a silent status, and through the
// console, so that a batch's capture holds it with its file's lines.
TEST_P(RecordLoadTest, TheErrorPrinterPrintsThroughTheConsoleAndItsCapture) {
  const bool journal = GetParam();
  const os::Console console(out.file(), journal);
  RecordLoad load(*session, records, {"SEQ", "update", false}, console);
  const auto unique = db::Status::failure(db::kUniqueViolation, "unique constraint violated");
  std::string held;
  console.capture(&held);
  load.report_sql_error(unique);
  load.report_sql_error(db::Status::failure(db::kNullFetched, "fetched column value is NULL"));
  console.capture(nullptr);
  EXPECT_EQ(out.text(), "");
  EXPECT_EQ(held, (journal ? "<3>" : "") + db::format_sql_error_by_code(unique));
}

INSTANTIATE_TEST_SUITE_P(FlagOffOrOn, RecordLoadTest, ::testing::Bool());

}  // namespace
}  // namespace qx::record_loader
