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

TEST(MirLayouts, TheA08RestOfLineRunsFromPosition46ToTheEnd) {
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
}

// Every insert names exactly the columns of its table, in the table's order:
// the header's file name between the serial and the slots.
TEST(MirLayouts, InsertsNameTheTablesColumnsInOrder) {
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
