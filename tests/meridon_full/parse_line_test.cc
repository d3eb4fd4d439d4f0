// Recognising MIR lines and the limits of one file: what reaches the tables
// and what is printed about it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "meridon_full/mir_records.h"
#include "mir_expectations.h"
#include "mir_loader_fixture.h"

namespace qx::meridon_full {
namespace {

using qx::testing::Row;
using Rows = std::vector<Row>;

TEST_F(MirLoaderTest, OnlyTheThirteenExactTagsFileALine) {
  ASSERT_EQ(load("F.MIR",
                 {"", "A", "A0", "A01 not stored", "A06 not stored", "A10 not stored",
                  "a02 lower case", " A02 blank first", "T50 header-like", "T52 too", "T5", "A2"}),
            record_loader::LoadOutcome::committed);
  for (const auto& type : mir_record_types()) EXPECT_EQ(count(std::string(type.table)), 0);
  EXPECT_EQ(out.text(), "");
}

TEST_F(MirLoaderTest, ATagAloneFilesARowAndA14AndA21DifferOnlyInTableAndTag) {
  ASSERT_EQ(load("F.MIR", {"A14", "A14same text", "A21same text"}),
            record_loader::LoadOutcome::committed);
  EXPECT_EQ(rows("select ma14_serial, ma14_0, ma14_1 from qx_meridon_a14 order by 1"),
            (Rows{{"0", "A14", {}}, {"1", "A14", "same text"}}));
  EXPECT_EQ(rows("select ma21_serial, ma21_0, ma21_1 from qx_meridon_a21"),
            (Rows{{"0", "A21", "same text"}}));
}

TEST_F(MirLoaderTest, LinesBeyondATypesCapacityAreDroppedAndNamed) {
  std::vector<std::string> lines = {"T51first header"};
  for (int i = 0; i < 16; ++i) lines.push_back("A02" + std::to_string(i));
  for (int i = 0; i < 6; ++i) lines.push_back("A04" + std::to_string(i));
  lines.push_back("T51second header");
  ASSERT_EQ(load("F.MIR", lines), record_loader::LoadOutcome::committed);
  EXPECT_EQ(out.text(),
            "File F.MIR line 17: more than 15 A02 lines in one file, line dropped\n"
            "File F.MIR line 23: more than 5 A04 lines in one file, line dropped\n"
            "File F.MIR line 24: more than 1 T51 lines in one file, line dropped\n");
  Rows a02;
  for (int i = 0; i < 15; ++i) a02.push_back({std::to_string(i), std::to_string(i)});
  EXPECT_EQ(rows("select ma02_serial, ma02_1 from qx_meridon_a02 order by 1"), a02);
  EXPECT_EQ(count("qx_meridon_a04"), 5);
  EXPECT_EQ(rows("select mt5_1, mt5_2 from qx_meridon_t5"), (Rows{{"1f", "irst"}}));
}

TEST_F(MirLoaderTest, OverlongLinesAndRestOfLineFieldsAreCutAndNamed) {
  const std::string a08 = coded_line("A08", 9000);
  const std::string a14 = coded_line("A14", 8192);
  const std::string a08_at_limit = coded_line("A08", 45 + 999);
  ASSERT_EQ(load("F.MIR", {"T51", a08, a14, a08_at_limit, coded_line("A08", 45 + 1000)}),
            record_loader::LoadOutcome::committed);
  EXPECT_EQ(out.text(),
            "File F.MIR line 2: 9000 characters, cut to 8191\n"
            "File F.MIR line 2: ma08_9 of 8146 characters, cut to 999\n"
            "File F.MIR line 3: 8192 characters, cut to 8191\n"
            "File F.MIR line 5: ma08_9 of 1000 characters, cut to 999\n");
  EXPECT_EQ(rows("select ma08_serial, ma08_8, ma08_9 from qx_meridon_a08 order by 1"),
            (Rows{{"0", a08.substr(43, 2), a08.substr(45, 999)},
                  {"1", a08.substr(43, 2), a08_at_limit.substr(45)},
                  {"2", a08.substr(43, 2), a08.substr(45, 999)}}));
  EXPECT_EQ(rows("select ma14_1 from qx_meridon_a14"), (Rows{{a14.substr(3, 240)}}));
}

}  // namespace
}  // namespace qx::meridon_full
