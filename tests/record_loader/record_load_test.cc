// Clearing the filed rows: each type that held rows is announced once, in
// type order or with the header last, and every row is emptied.
#include "record_loader/record_load.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "db/make_session.h"
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

class RecordLoadClearing : public ::testing::TestWithParam<bool> {
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

TEST_P(RecordLoadClearing, AnnouncesEachTypeWithRowsOnceAndEmptiesThem) {
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

INSTANTIATE_TEST_SUITE_P(HeaderFirstOrLast, RecordLoadClearing, ::testing::Bool());

}  // namespace
}  // namespace qx::record_loader
