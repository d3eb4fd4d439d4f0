// Every MIR layout, checked slot by slot against the positions the
// interface gives for each field, on lines in which every character tells
// its own position; and the statements built from the layouts.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "meridon_full/mir_records.h"
#include "mir_expectations.h"
#include "records/record_statements.h"
#include "records/record_table.h"
#include "schema/schema.h"

namespace qx::meridon_full {
namespace {

const records::RecordType& type_tagged(std::string_view tag) {
  for (const auto& type : mir_record_types()) {
    if (type.tag == tag) return type;
  }
  throw std::logic_error("no MIR type " + std::string(tag));
}

TEST(MirLayouts, TheTypesComeInInsertOrderWithTheirTablesAndCapacities) {
  auto types = mir_record_types();
  ASSERT_EQ(types.size(), expected_types().size());
  for (std::size_t i = 0; i < types.size(); ++i) {
    const ExpectedType& expected = expected_types()[i];
    EXPECT_EQ(types[i].tag, expected.tag);
    EXPECT_EQ(types[i].table, expected.table);
    EXPECT_EQ(types[i].column_prefix, expected.prefix);
    EXPECT_EQ(types[i].row_capacity, expected.rows) << expected.tag;
  }
}

// Every line length from the tag alone to past the last field: each slot
// holds the positions it is given, as far as the line reaches.
TEST(MirLayouts, EverySlotTakesItsPositionsOnLinesOfEveryLength) {
  for (const auto& expected : expected_types()) {
    const auto& type = type_tagged(expected.tag);
    ASSERT_EQ(type.inserted_columns(), expected.slots.size()) << expected.tag;
    std::size_t longest = 0;
    for (const auto& slot : expected.slots) longest = std::max({longest, slot.first, slot.last});

    records::RecordTable table(type);
    std::vector<records::SlotCut> cuts;
    for (std::size_t length = 3; length <= longest + 60; ++length) {
      std::string line = coded_line(expected.tag, length);
      ASSERT_TRUE(table.file_line(line, cuts));
      std::vector<std::string> want = expected_slots(expected, line);
      for (std::size_t k = 0; k < want.size(); ++k) {
        ASSERT_EQ(table.slot(0, k), want[k])
            << expected.tag << " slot " << k << ", line of " << length << " characters";
      }
      table.clear();
    }
  }
}

TEST(MirLayouts, TheHeaderLeavesItsFirstTwoAndFourInnerPositionsUntaken) {
  std::string header(342, '.');
  for (std::size_t position : {1, 2, 81, 145, 242, 294}) header[position - 1] = '#';
  records::RecordTable table(type_tagged("T51"));
  std::vector<records::SlotCut> cuts;
  ASSERT_TRUE(table.file_line(header, cuts));
  EXPECT_EQ(table.slot(0, 0), "T5");
  for (std::size_t k = 1; k < 50; ++k) {
    EXPECT_EQ(table.slot(0, k).find('#'), std::string_view::npos) << "mt5_" << k;
  }
  EXPECT_EQ(table.slot(0, 9), std::string(12, '.'));   // 69-80, up to 81
  EXPECT_EQ(table.slot(0, 49), std::string(48, '.'));  // 295-342
}

TEST(MirLayouts, TheA08RestOfLineRunsToTheEndUpToItsLimit) {
  records::RecordTable a08(type_tagged("A08"));
  std::vector<records::SlotCut> cuts;
  auto rest_of = [&](std::size_t length) {
    a08.clear();
    std::string line = coded_line("A08", length);
    EXPECT_TRUE(a08.file_line(line, cuts));
    return std::string(a08.slot(0, 9));
  };
  EXPECT_EQ(rest_of(45), "");
  EXPECT_EQ(rest_of(46), coded_line("A08", 46).substr(45));
  EXPECT_EQ(rest_of(46).size(), 1u);
  EXPECT_EQ(rest_of(300), coded_line("A08", 300).substr(45));
  EXPECT_TRUE(cuts.empty());
  EXPECT_EQ(rest_of(45 + 999), coded_line("A08", 45 + 999).substr(45));
  EXPECT_TRUE(cuts.empty());
  // One character more is cut, and the cut is named.
  EXPECT_EQ(rest_of(45 + 1000), coded_line("A08", 45 + 1000).substr(45, 999));
  ASSERT_EQ(cuts.size(), 1u);
  EXPECT_EQ(cuts[0].slot, 9u);
  EXPECT_EQ(cuts[0].length, 1000u);
  EXPECT_EQ(cuts[0].kept, 999u);
}

TEST(MirLayouts, InsertsNameTheTablesColumnsInOrder) {
  EXPECT_EQ(records::insert_statement(type_tagged("A14")),
            "insert into qx_meridon_a14 (ma14_reference,ma14_serial,ma14_0,ma14_1) values "
            "(:b0,:b1,:b2,:b3)");
  EXPECT_EQ(records::insert_statement(type_tagged("A21")),
            "insert into qx_meridon_a21 (ma21_reference,ma21_serial,ma21_0,ma21_1) values "
            "(:b0,:b1,:b2,:b3)");
  std::string header = records::insert_statement(type_tagged("T51"));
  EXPECT_TRUE(header.starts_with(
      "insert into qx_meridon_t5 (mt5_reference,mt5_serial,mt5_file_name,mt5_0,mt5_1,"))
      << header;
  EXPECT_TRUE(
      header.ends_with(",mt5_48,mt5_49) values (:b0,:b1,:b2,:b3,:b4,:b5,:b6,:b7,:b8,"
                       ":b9,:b10,:b11,:b12,:b13,:b14,:b15,:b16,:b17,:b18,:b19,:b20,"
                       ":b21,:b22,:b23,:b24,:b25,:b26,:b27,:b28,:b29,:b30,:b31,:b32,"
                       ":b33,:b34,:b35,:b36,:b37,:b38,:b39,:b40,:b41,:b42,:b43,:b44,"
                       ":b45,:b46,:b47,:b48,:b49,:b50,:b51,:b52)"))
      << header;
  // Every insert names exactly the columns of its table, in the table's order.
  for (const auto& type : mir_record_types()) {
    const schema::Table* table = schema::find_table(type.table);
    ASSERT_NE(table, nullptr) << type.table;
    std::string columns;
    for (const auto& column : table->columns) columns += (columns.empty() ? "" : ",") + column.name;
    EXPECT_NE(records::insert_statement(type).find("(" + columns + ")"), std::string::npos)
        << type.table;
  }
}

}  // namespace
}  // namespace qx::meridon_full
