// Loading a PNR file's filed rows: one key per file, rows numbered from 0
// within each type, the header's own columns, and a failed insert. (The
// verbose progress lines: tests/record_loader/record_loaders_test.cc.)
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pnr_loader_fixture.h"
#include "tarvo/pnr_records.h"

namespace qx::tarvo {
namespace {

using qx::testing::Row;
using Rows = std::vector<Row>;

TEST_F(PnrLoaderTest, EachFileHasItsOwnKeyItsOwnSerialsAndNothingOfTheFileBefore) {
  const std::string long_m3 = "M3" + std::string(500, 'a');
  load("FIRST.PNR", {"AA" + std::string(460, 'h'), "M1" + std::string(400, 'p'), long_m3, long_m3,
                     "M2first", "CAfirst"});
  load("SECOND.PNR", {"AA2", "M3b", "M1c", "M2second"});

  EXPECT_EQ(
      rows("select tm0_reference, tm0_serial, tm0_file_name, tm0_loaded_flag, "
           "tm0_created_on is not null, tm0_0, tm0_40 from qx_tarvo_m0 order by 1"),
      (Rows{{"1", "0", "FIRST.PNR", "Y", "1", "AA" + std::string(11, 'h'), std::string(220, 'h')},
            {"2", "0", "SECOND.PNR", "Y", "1", "AA2", {}}}));
  EXPECT_EQ(rows("select tm3_reference, tm3_serial, tm3_1, tm3_34 from qx_tarvo_m3 order by 1, 2"),
            (Rows{{"1", "0", "aa", std::string(200, 'a')},
                  {"1", "1", "aa", std::string(200, 'a')},
                  {"2", "0", "b", {}}}));
  EXPECT_EQ(rows("select tm1_reference, tm1_serial, tm1_2 from qx_tarvo_m1 order by 1"),
            (Rows{{"1", "0", std::string(64, 'p')}, {"2", "0", {}}}));
  EXPECT_EQ(rows("select tm2_reference, tm2_1, tm2_51 from qx_tarvo_m2 order by 1"),
            (Rows{{"1", "fi", "CAfirst"}, {"2", "se", {}}}));
}

// A line of every type, each character naming its position: every table
// gets its row under the file's key, and the slots no line fills are NULL.
TEST_F(PnrLoaderTest, EveryTypeReachesItsTableUnderTheFilesKey) {
  std::vector<std::string> lines;
  for (std::string tag :
       {"ME", "MD", "MC", "MB", "MA", "M9", "M8", "M7", "M6", "M5", "M4", "M3", "M2", "AA", "M1"}) {
    std::string line = tag;
    for (int p = 3; p <= 1200; ++p) line += static_cast<char>('0' + p % 10);
    lines.push_back(line);
  }
  ASSERT_EQ(load("ALL.PNR", lines), record_loader::LoadOutcome::committed);
  for (const auto& type : pnr_record_types()) {
    std::string p = std::string(type.column_prefix);
    EXPECT_EQ(rows("select " + p + "reference, " + p + "serial, " + p + "0 from " +
                   std::string(type.table)),
              (Rows{{"1", "0", type.tag == "AA" ? "AA34567890123" : std::string(type.tag)}}))
        << type.table;
  }
  EXPECT_EQ(rows("select tm0_40, tm0_41, tm0_46 from qx_tarvo_m0"),
            (Rows{{lines[13].substr(230, 220), {}, {}}}));
  EXPECT_EQ(rows("select tm2_49, tm2_50, tm2_51, tm2_52, tm2_58 from qx_tarvo_m2"),
            (Rows{{lines[12].substr(244, 200), {}, {}, {}, {}}}));
  EXPECT_EQ(rows("select tma_8, tma_9 from qx_tarvo_ma"),
            (Rows{{lines[4].substr(256, 735), lines[4].substr(991, 200)}}));
}

TEST_F(PnrLoaderTest, AFailedInsertLosesThatRowOnlyAndIsPrintedByCode) {
  run_sql("create unique index qx_one_m5 on qx_tarvo_m5 (tm5_1)");
  ASSERT_EQ(load("F.PNR", {"AA", "M501a", "M501b", "M502c"}),
            record_loader::LoadOutcome::committed);
  EXPECT_EQ(rows("select tm5_serial, tm5_2 from qx_tarvo_m5 order by 1"),
            (Rows{{"0", "a"}, {"2", "c"}}));
  EXPECT_EQ(rows("select tm0_loaded_flag from qx_tarvo_m0"), (Rows{{"Y"}}));
  // The refused row is named by its line, for the file's summary and history.
  EXPECT_EQ(loader->load().tally().rejected_lines, std::vector<std::int64_t>{3});
  EXPECT_EQ(loader->load().progress().first_rejected_line, 3);
  std::string printed = out.text();
  EXPECT_TRUE(printed.starts_with("-1 ")) << printed;
  EXPECT_EQ(printed.size(), std::string("-1 ").size() + 80 + 1) << printed;
}

}  // namespace
}  // namespace qx::tarvo
