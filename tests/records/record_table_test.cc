// Filing lines into a record table: cuts with the database's SUBSTR
// semantics, the row capacity, rest-of-line limits and clearing.
#include "records/record_table.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "records/record_set.h"

namespace qx::records {
namespace {

constexpr Slot kLayout[] = {
    Slot::constant_text("X1"), Slot::cut(3, 2),          Slot::cut(5, 4),
    Slot::unfilled(),          Slot::rest_of_line(9, 5),
};
constexpr RecordType kType = {"X1", "qx_test_x1", "tx1_", 2, kLayout, {}, "X1", "X1"};

std::vector<std::string> row(const RecordTable& table, std::size_t r) {
  std::vector<std::string> values;
  for (std::size_t k = 0; k < table.type().inserted_columns(); ++k) {
    values.emplace_back(table.slot(r, k));
  }
  return values;
}

using Values = std::vector<std::string>;

TEST(RecordTable, FilesEachSlotFromItsPositionsAndKeepsWhatAShortLineHolds) {
  RecordTable table(kType);
  std::vector<SlotCut> cuts;
  ASSERT_TRUE(table.file_line("X1abCDEFghij", cuts));
  ASSERT_TRUE(table.file_line("X1a", cuts));
  EXPECT_EQ(table.record_count(), 2u);
  EXPECT_EQ(row(table, 0), (Values{"X1", "ab", "CDEF", "", "ghij"}));
  // A field that runs past the end keeps what is there; one past it is empty.
  EXPECT_EQ(row(table, 1), (Values{"X1", "a", "", "", ""}));
  EXPECT_TRUE(cuts.empty());
}

TEST(RecordTable, RestOfLineLongerThanItsLimitIsCutAndReported) {
  RecordTable table(kType);
  std::vector<SlotCut> cuts;
  ASSERT_TRUE(table.file_line("X1abCDEF123456789", cuts));
  EXPECT_EQ(table.slot(0, 4), "12345");
  ASSERT_EQ(cuts.size(), 1u);
  EXPECT_EQ(cuts[0].slot, 4u);
  EXPECT_EQ(cuts[0].length, 9u);
  EXPECT_EQ(cuts[0].kept, 5u);
  // The report belongs to one line only.
  ASSERT_TRUE(table.file_line("X1", cuts));
  EXPECT_TRUE(cuts.empty());
}

TEST(RecordTable, AFullTableRefusesTheLineAndKeepsItsRows) {
  RecordTable table(kType);
  std::vector<SlotCut> cuts;
  ASSERT_TRUE(table.file_line("X1aa", cuts));
  ASSERT_TRUE(table.file_line("X1bb", cuts));
  EXPECT_TRUE(table.full());
  EXPECT_FALSE(table.file_line("X1cc", cuts));
  EXPECT_EQ(table.record_count(), 2u);
  EXPECT_EQ(table.slot(1, 1), "bb");
}

TEST(RecordTable, ClearingEmptiesEveryFiledSlotSetOrFiled) {
  RecordTable table(kType);
  std::vector<SlotCut> cuts;
  ASSERT_TRUE(table.file_line("X1aaBBBBcc", cuts));
  table.set_slot(0, 3, "continued");
  table.clear();
  EXPECT_EQ(table.record_count(), 0u);
  ASSERT_TRUE(table.file_line("X1", cuts));
  EXPECT_EQ(row(table, 0), (Values{"X1", "", "", "", ""}));
  // Row 1 was never filed in this round, and holds nothing of the last.
  ASSERT_TRUE(table.file_line("X1", cuts));
  EXPECT_EQ(row(table, 1), (Values{"X1", "", "", "", ""}));
}

TEST(RecordSet, FindsTablesByTheirWholeTagAndClearsThemAll) {
  constexpr Slot other_layout[] = {Slot::constant_text("Y"), Slot::cut(2, 1)};
  const RecordType types[] = {kType,
                              {"Y22", "qx_test_y", "ty_", 1, other_layout, {}, "Y22", "Y22"}};
  RecordSet set(types);
  std::vector<SlotCut> cuts;
  ASSERT_NE(set.find("Y22"), nullptr);
  EXPECT_EQ(set.find("Y2"), nullptr);
  EXPECT_EQ(set.find(""), nullptr);
  ASSERT_TRUE(set.find("X1")->file_line("X1", cuts));
  ASSERT_TRUE(set.find("Y22")->file_line("Y22", cuts));
  EXPECT_EQ(set.find("Y22")->slot(0, 1), "2");
  set.clear();
  EXPECT_EQ(set.table(0).record_count(), 0u);
  EXPECT_EQ(set.table(1).record_count(), 0u);
}

}  // namespace
}  // namespace qx::records
