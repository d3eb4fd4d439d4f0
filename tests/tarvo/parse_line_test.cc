// Recognising PNR lines, continuation lines, and the limits of one file:
// what reaches the tables and what is printed about it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pnr_loader_fixture.h"

namespace qx::tarvo {
namespace {

using qx::testing::Row;
using Rows = std::vector<Row>;

std::string continuation(std::string_view tag, std::size_t length) {
  std::string line(tag);
  while (line.size() < length) line += static_cast<char>('a' + line.size() % 26);
  return line;
}

TEST_F(PnrLoaderTest, OnlyTheExactTagsFileALineAndOtherLinesLeaveLastTagAlone) {
  ASSERT_EQ(load("F.PNR", {"M7", "m1 lower", " M1 blank", "M", "", "MZ", "XX", "M1x"}),
            record_loader::LoadOutcome::committed);
  EXPECT_EQ(rows("select tm1_0, tm1_1 from qx_tarvo_m1"), (Rows{{"M1", "x"}}));
  EXPECT_EQ(rows("select tm7_0, tm7_1, tm7_2 from qx_tarvo_m7"), (Rows{{"M7", {}, {}}}));
  EXPECT_EQ(loader->last_tag(), "M1");
  load("G.PNR", {"M3", "ZZ", ""});
  EXPECT_EQ(loader->last_tag(), "M3");
  EXPECT_EQ(out.text(), "");
}

TEST_F(PnrLoaderTest, TheFirstContinuationLineAfterAnM2LineGoesToItsRow) {
  const std::string ca = continuation("CA", 250);
  load("F.PNR", {"M2aa", ca, "CHsecond", "M2bb", "XX", "POafter-xx", "M2cc", "M3", "INafter-m3",
                 "M2dd", "M2ee", "LPlast"});
  EXPECT_EQ(rows("select tm2_serial, tm2_1, tm2_51 from qx_tarvo_m2 order by tm2_serial"),
            (Rows{{"0", "aa", ca.substr(0, 200)},
                  {"1", "bb", "POafter-xx"},
                  {"2", "cc", {}},
                  {"3", "dd", {}},
                  {"4", "ee", "LPlast"}}));
  EXPECT_EQ(loader->last_tag(), "~~");
}

TEST_F(PnrLoaderTest, EveryContinuationTagContinuesAnM2Line) {
  for (std::string tag : {"CA", "PO", "LP", "IN", "NO", "CH"}) {
    load("F.PNR", {"M2", tag + " text"});
    EXPECT_EQ(rows("select tm2_51 from qx_tarvo_m2 order by tm2_reference desc limit 1"),
              (Rows{{tag + " text"}}))
        << tag;
  }
}

TEST_F(PnrLoaderTest, AContinuationLineOpeningAFileAfterAnM2IsIgnoredAndNamed) {
  load("A.PNR", {"AAheader", "M2last"});
  EXPECT_EQ(loader->last_tag(), "M2");
  out.take();
  load("B.PNR", {"CAorphan", "M2own", "CAown"});
  EXPECT_EQ(out.take(),
            "File B.PNR line 1: continuation line without an M2 line before it, ignored\n");
  EXPECT_EQ(rows("select tm2_1, tm2_51 from qx_tarvo_m2 order by tm2_reference"),
            (Rows{{"la", {}}, {"ow", "CAown"}}));
}

TEST_F(PnrLoaderTest, LinesBeyondATypesCapacityAreDroppedAndNamed) {
  std::vector<std::string> lines = {"AAone", "AAtwo", "AAthree"};
  for (int i = 0; i < 51; ++i) lines.push_back("M2" + std::to_string(i));
  lines.push_back("CAafter-the-dropped-M2");
  ASSERT_EQ(load("F.PNR", lines), record_loader::LoadOutcome::committed);
  EXPECT_EQ(out.text(),
            "File F.PNR line 3: more than 2 AA lines in one file, line dropped\n"
            "File F.PNR line 54: more than 50 M2 lines in one file, line dropped\n");
  EXPECT_EQ(rows("select tm0_0 from qx_tarvo_m0 order by tm0_serial"),
            (Rows{{"AAone"}, {"AAtwo"}}));
  EXPECT_EQ(count("qx_tarvo_m2"), 50);
  // The continuation line belonged to the dropped line, not to row 49.
  EXPECT_EQ(rows("select tm2_1 from qx_tarvo_m2 where tm2_51 is not null"), Rows{});
}

TEST_F(PnrLoaderTest, ALineLongerThanTheLimitIsCutNamedAndStillFiled) {
  std::string long_line = "M1" + std::string(9000 - 2, 'x');
  load("F.PNR", {"M1short", long_line});
  EXPECT_EQ(out.text(), "File F.PNR line 2: 9000 characters, cut to 8191\n");
  EXPECT_EQ(rows("select tm1_serial, tm1_13 from qx_tarvo_m1 order by tm1_serial"),
            (Rows{{"0", {}}, {"1", std::string(200, 'x')}}));
}

}  // namespace
}  // namespace qx::tarvo
