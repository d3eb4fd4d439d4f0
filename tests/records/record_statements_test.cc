// The insert built by one rule from a record type, and the values bound to
// it: key, serial, the file's name where a header asks for it, then the
// slots in column order.
#include "records/record_statements.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qx::records {
namespace {

constexpr Slot kTwoFields[] = {Slot::constant_text("A14"), Slot::cut(4, 3)};
constexpr RecordType kA14 = {"A14", "qx_meridon_a14", "ma14_", 50, kTwoFields, {}, "A14", "A14"};

constexpr HeaderColumn kHeaderColumns[] = {
    {"hd_file_name", HeaderColumn::Value::file_name, {}},
    {"hd_created_on", HeaderColumn::Value::literal, "CURRENT_TIMESTAMP"},
    {"hd_flag", HeaderColumn::Value::literal, "'N'"},
};
constexpr Slot kHeaderLayout[] = {Slot::cut(1, 2), Slot::unfilled(), Slot::cut(3, 1)};
constexpr RecordType kHeader = {"HD",          "qx_test_hd",   "hd_", 1,
                                kHeaderLayout, kHeaderColumns, "HD",  "HD"};

TEST(RecordStatements, InsertNamesEveryColumnAndNumbersOnlyTheBoundOnes) {
  EXPECT_EQ(insert_statement(kA14),
            "insert into qx_meridon_a14 (ma14_reference,ma14_serial,ma14_0,ma14_1) values "
            "(:b0,:b1,:b2,:b3)");
  EXPECT_EQ(insert_statement(kHeader),
            "insert into qx_test_hd (hd_reference,hd_serial,hd_file_name,hd_created_on,hd_flag,"
            "hd_0,hd_1,hd_2) values (:b0,:b1,:b2,CURRENT_TIMESTAMP,'N',:b3,:b4,:b5)");
}

std::vector<std::string> describe(const std::vector<db::Bind>& binds) {
  std::vector<std::string> out;
  for (const auto& bind : binds) {
    switch (bind.kind()) {
      case db::Bind::Kind::null:
        out.push_back("NULL");
        break;
      case db::Bind::Kind::integer:
        out.push_back(std::to_string(bind.as_integer()));
        break;
      case db::Bind::Kind::text:
        out.emplace_back(bind.as_text());
        break;
      case db::Bind::Kind::real:
        out.push_back("real");
        break;
    }
  }
  return out;
}

TEST(RecordStatements, RowBindsFollowTheInsertsPlaceholders) {
  RecordTable header(kHeader);
  std::vector<SlotCut> cuts;
  ASSERT_TRUE(header.file_line("HDx", cuts));
  std::vector<db::Bind> binds;
  row_binds(header, 0, 41, "F.PNR", binds);
  // Placeholders :b0 .. :b5 of the header's insert; the unfilled slot is NULL.
  EXPECT_EQ(describe(binds), (std::vector<std::string>{"41", "0", "F.PNR", "HD", "NULL", "x"}));

  RecordTable a14(kA14);
  ASSERT_TRUE(a14.file_line("A14abc", cuts));
  ASSERT_TRUE(a14.file_line("A14", cuts));
  row_binds(a14, 1, 7, "unused", binds);
  EXPECT_EQ(describe(binds), (std::vector<std::string>{"7", "1", "A14", "NULL"}));
}

}  // namespace
}  // namespace qx::records
