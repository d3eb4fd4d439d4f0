#include "corvane/field_table.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qx::corvane {
namespace {

// The entries up to the last non-empty one, and a check that every entry
// after the fields of the line is empty.
std::vector<std::string> split(std::string_view line, std::size_t limit = 1255) {
  FieldTable table(limit);
  SplitReport report;
  table.split_line(line, report);
  std::vector<std::string> fields;
  for (std::size_t i = 0; i < table.field_count(); ++i) fields.emplace_back(table.entry(i));
  for (std::size_t i = table.field_count(); i < kFieldTableEntries; ++i) {
    EXPECT_TRUE(table.entry(i).empty()) << "entry " << i << " of " << line;
  }
  return fields;
}

using Fields = std::vector<std::string>;

TEST(SplitLine, SeparatorsMakeFieldsAndAFinalSeparatorEndsTheLine) {
  EXPECT_EQ(split("A;B"), (Fields{"A", "B"}));
  EXPECT_EQ(split("A;B;"), (Fields{"A", "B"}));
  EXPECT_EQ(split("A;B;C"), split("A;B;C;"));
  EXPECT_EQ(split("A;;B"), (Fields{"A", "", "B"}));
  EXPECT_EQ(split(";A"), (Fields{"", "A"}));
  EXPECT_EQ(split("X;;Y"), (Fields{"X", "", "Y"}));
  EXPECT_EQ(split(";;"), (Fields{"", ""}));
}

TEST(SplitLine, LinesWithoutFieldsLeaveEveryEntryEmpty) {
  EXPECT_EQ(split(""), Fields{});
  EXPECT_EQ(split("\rA;B"), Fields{});
  // The rest of a line that begins with a carriage return ends the split.
  EXPECT_EQ(split("A;\rB;C"), Fields{"A"});
  EXPECT_EQ(split("A\rB;C"), (Fields{"A\rB", "C"}));
}

TEST(SplitLine, ANewLineClearsWhatALongerLineLeft) {
  FieldTable table(1255);
  SplitReport report;
  table.split_line("A;B;C;D;E", report);
  table.split_line("X", report);
  EXPECT_EQ(table.field_count(), 1u);
  EXPECT_EQ(table.entry(0), "X");
  EXPECT_TRUE(table.entry(1).empty());
  EXPECT_TRUE(table.entry(4).empty());
}

TEST(SplitLine, LongFieldsAreCutToTheEntryAndReported) {
  std::string long_field(1500, 'x');
  FieldTable narrow(1255);
  SplitReport report;
  const std::string line = "K-;" + long_field + ";Z";  // the entries view it
  narrow.split_line(line, report);
  EXPECT_EQ(narrow.entry(1).size(), 1255u);
  EXPECT_EQ(narrow.entry(2), "Z");
  ASSERT_EQ(report.cut_fields.size(), 1u);
  EXPECT_EQ(report.cut_fields[0].field, 1u);
  EXPECT_EQ(report.cut_fields[0].length, 1500u);

  FieldTable wide(1999);
  const std::string wide_line = "K-;" + long_field;
  wide.split_line(wide_line, report);
  EXPECT_EQ(wide.entry(1), long_field);
  EXPECT_TRUE(report.empty());
}

TEST(SplitLine, FieldsAfterTheFiveHundredTwelfthAreDroppedAndCounted) {
  std::string line;
  for (int i = 0; i < 600; ++i) line += "f" + std::to_string(i) + ";";
  FieldTable table(1255);
  SplitReport report;
  table.split_line(line, report);
  EXPECT_EQ(table.field_count(), kFieldTableEntries);
  EXPECT_EQ(table.entry(511), "f511");
  EXPECT_EQ(report.dropped_fields, 88u);
}

TEST(SplitLine, LinesOfAnyLengthAreTakenWhole) {
  std::string line;
  for (int i = 0; i < 300; ++i) line += std::string(40, static_cast<char>('a' + i % 26)) + ";";
  auto fields = split(line);
  ASSERT_EQ(fields.size(), 300u);
  EXPECT_EQ(fields[299], std::string(40, static_cast<char>('a' + 299 % 26)));
}

}  // namespace
}  // namespace qx::corvane
