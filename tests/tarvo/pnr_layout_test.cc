// Every PNR layout, checked slot by slot against the positions the
// interface gives for each field, on lines in which every character tells
// its own position; and the statements built from the layouts.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pnr_expectations.h"
#include "records/record_statements.h"
#include "records/record_table.h"
#include "schema/schema.h"
#include "support/coded_line.h"
#include "tarvo/pnr_records.h"

namespace qx::tarvo {
namespace {

using qx::testing::coded_line;

const records::RecordType& type_tagged(std::string_view tag) {
  for (const auto& type : pnr_record_types()) {
    if (type.tag == tag) return type;
  }
  throw std::logic_error("no PNR type " + std::string(tag));
}

TEST(PnrLayouts, TheTypesComeInInsertOrderWithTheirTablesAndCapacities) {
  auto types = pnr_record_types();
  auto kinds = pnr_kinds();
  ASSERT_EQ(types.size(), kinds.size());
  for (std::size_t i = 0; i < types.size(); ++i) {
    EXPECT_EQ(types[i].tag, kinds[i].tag);
    EXPECT_EQ(types[i].table, kinds[i].table);
    EXPECT_EQ(types[i].column_prefix, kinds[i].prefix);
    EXPECT_EQ(types[i].row_capacity, kinds[i].rows) << types[i].tag;
  }
}

// Every line length from the tag alone to past the last field: each slot
// holds the positions it is given, as far as the line reaches.
TEST(PnrLayouts, EverySlotTakesItsPositionsOnLinesOfEveryLength) {
  for (const auto& expected : pnr_kinds()) {
    const auto& type = type_tagged(expected.tag);
    auto slots = slot_sources(expected);
    ASSERT_EQ(type.inserted_columns(), slots.size()) << expected.tag;
    std::size_t longest = 0;
    for (const auto& slot : slots) longest = std::max(longest, slot.last);

    records::RecordTable table(type);
    std::vector<records::SlotCut> cuts;
    for (std::size_t length = 2; length <= longest + 1; ++length) {
      std::string line = coded_line(expected.tag, length);
      ASSERT_TRUE(table.file_line(line, cuts));
      for (std::size_t k = 0; k < slots.size(); ++k) {
        std::string want = slots[k].constant;
        if (slots[k].first != 0 && slots[k].first <= length) {
          want =
              line.substr(slots[k].first - 1, std::min(slots[k].last, length) - slots[k].first + 1);
        }
        ASSERT_EQ(table.slot(0, k), want)
            << expected.tag << " slot " << k << ", line of " << length << " characters";
      }
      table.clear();
    }
  }
}

TEST(PnrLayouts, OverlappingCutsRepeatTheSharedPositions) {
  std::vector<records::SlotCut> cuts;
  records::RecordTable m6(type_tagged("M6"));
  ASSERT_TRUE(m6.file_line("M6ABCDE", cuts));
  EXPECT_EQ(m6.slot(0, 1), "ABC");
  EXPECT_EQ(m6.slot(0, 2), "C");
  EXPECT_EQ(m6.slot(0, 3), "D");
  EXPECT_EQ(m6.slot(0, 4), "E");

  records::RecordTable m2(type_tagged("M2"));
  std::string line = "M2" + std::string(194, '.') + "0123456789X";  // 207 characters
  ASSERT_TRUE(m2.file_line(line, cuts));
  EXPECT_EQ(m2.slot(0, 39), "0123456789");
  EXPECT_EQ(m2.slot(0, 40), "X");
  EXPECT_EQ(m2.slot(0, 41), "789X");
}

TEST(PnrLayouts, InsertsNameTheTablesColumnsInOrderWithTheHeaderValuesWritten) {
  EXPECT_EQ(records::insert_statement(type_tagged("M1")),
            "insert into qx_tarvo_m1 (tm1_reference,tm1_serial,tm1_0,tm1_1,tm1_2,tm1_3,tm1_4,"
            "tm1_5,tm1_6,tm1_7,tm1_8,tm1_9,tm1_10,tm1_11,tm1_12,tm1_13) values (:b0,:b1,:b2,:b3,"
            ":b4,:b5,:b6,:b7,:b8,:b9,:b10,:b11,:b12,:b13,:b14,:b15)");
  std::string header = records::insert_statement(type_tagged("AA"));
  EXPECT_TRUE(
      header.starts_with("insert into qx_tarvo_m0 (tm0_reference,tm0_serial,"
                         "tm0_file_name,tm0_created_on,tm0_loaded_flag,tm0_0,tm0_1,"))
      << header;
  EXPECT_TRUE(
      header.ends_with("tm0_46) values (:b0,:b1,:b2,CURRENT_TIMESTAMP,'N',:b3,:b4,"
                       ":b5,:b6,:b7,:b8,:b9,:b10,:b11,:b12,:b13,:b14,:b15,:b16,:b17,:b18,"
                       ":b19,:b20,:b21,:b22,:b23,:b24,:b25,:b26,:b27,:b28,:b29,:b30,:b31,"
                       ":b32,:b33,:b34,:b35,:b36,:b37,:b38,:b39,:b40,:b41,:b42,:b43,:b44,"
                       ":b45,:b46,:b47,:b48,:b49)"))
      << header;
  // Every insert names exactly the columns of its table, in the table's order.
  for (const auto& type : pnr_record_types()) {
    const schema::Table* table = schema::find_table(type.table);
    ASSERT_NE(table, nullptr) << type.table;
    std::string columns;
    for (const auto& column : table->columns) columns += (columns.empty() ? "" : ",") + column.name;
    EXPECT_NE(records::insert_statement(type).find("(" + columns + ")"), std::string::npos)
        << type.table;
  }
}

}  // namespace
}  // namespace qx::tarvo
