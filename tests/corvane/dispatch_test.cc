// Which lines reach which table, and the booking key.
#include <gtest/gtest.h>

#include "air_loader_fixture.h"

namespace qx::corvane {
namespace {

using qx::testing::Row;
using V = qx::testing::Value;

TEST_F(AirLoaderTest, BookingKeyIsDrawnOnlyOnAmdAndAmdrLines) {
  EXPECT_EQ(loader->booking_key(), 0);
  load_file("F1.air", {"AMD 0123;1/1", "B-TTP", "AMDX;extra", "C-7906", "AMDR 77;x", "D-1;2;3"});
  EXPECT_EQ(rows("select air_key, air_reference, air_0, air_1 from qx_air_corvane order by rowid"),
            (std::vector<Row>{{"1.0", "F1.air", "AMD 0123", "1/1"},
                              {"1.0", "F1.air", "AMDX", "extra"},
                              {"2.0", "F1.air", "AMDR 77", "x"}}));
  EXPECT_EQ(rows("select airb_key from qx_air_b"), std::vector<Row>{{"1.0"}});
  EXPECT_EQ(rows("select airc_key from qx_air_c"), std::vector<Row>{{"1.0"}});
  EXPECT_EQ(rows("select aird_key from qx_air_d"), std::vector<Row>{{"2.0"}});
  EXPECT_EQ(out.text(), "");
}

TEST_F(AirLoaderTest, TheKeyCarriesOverToTheNextFileAndRowsBeforeTheFirstDrawUseZero) {
  load_file("F0.air", {"B-BEFORE"});
  load_file("F1.air", {"AMD 1;x", "B-ONE"});
  load_file("F2.air", {"B-TWO"});
  EXPECT_EQ(rows("select airb_key, airb_0 from qx_air_b order by rowid"),
            (std::vector<Row>{{"0.0", "B-BEFORE"}, {"1.0", "B-ONE"}, {"1.0", "B-TWO"}}));
}

TEST_F(AirLoaderTest, TagsAreExactAndCaseSensitive) {
  load_file("F.air", {"AMD 1", "AITA;x;y", "TSA-1;a", "K", "a-lower", "", "ZZ;unknown", "A", "AM"});
  EXPECT_EQ(count("qx_air_a"), 1);        // AITA only; "A" is a one-character tag
  EXPECT_EQ(count("qx_air_k"), 1);        // TSA-
  EXPECT_EQ(count("qx_air_corvane"), 2);  // AMD 1 and the bare AM line
  EXPECT_EQ(rows("select aira_0, aira_1, aira_2 from qx_air_a"),
            (std::vector<Row>{{"AITA", "x", "y"}}));
  for (const char* table : {"qx_air_b", "qx_air_c", "qx_air_e", "qx_air_h", "qx_air_r"}) {
    EXPECT_EQ(count(table), 0) << table;
  }
}

TEST_F(AirLoaderTest, UnnumberedRecordsStoreTheirLeadingEntriesAndNullsAfterThem) {
  load_file("F.air", {"AMD 9;a;b", "A-1;2;3;4;5", "B-ONLY;not;stored", "G-A;;C;D", "ENX",
                      "C-SOMETHING LONGER"});
  EXPECT_EQ(rows("select aira_0,aira_4,aira_5,aira_10 from qx_air_a"),
            (std::vector<Row>{{"A-1", "5", V{}, V{}}}));
  EXPECT_EQ(rows("select airb_0 from qx_air_b"), std::vector<Row>{{"B-ONLY"}});
  EXPECT_EQ(rows("select airg_0, airg_1, airg_2 from qx_air_g"),
            (std::vector<Row>{{"G-A", V{}, "C"}}));
  EXPECT_EQ(rows("select aire_0 from qx_air_e"), std::vector<Row>{{"ENX"}});
  EXPECT_EQ(rows("select airc_0 from qx_air_c"), std::vector<Row>{{"C-SOMETHING LONGER"}});
  EXPECT_EQ(rows("select air_3, air_11 from qx_air_corvane"), (std::vector<Row>{{V{}, V{}}}));
}

TEST_F(AirLoaderTest, WindowsCodePageTextIsStoredAsUtf8) {
  load_file("F.air", {"AMD 1;M\xdcLLER/HANS MR;\x80 12"});
  EXPECT_EQ(rows("select air_1, air_2 from qx_air_corvane"),
            (std::vector<Row>{{"M\xc3\x9cLLER/HANS MR", "\xe2\x82\xac 12"}}));
}

TEST_F(AirLoaderTest, CutAndDroppedFieldsAreReportedWithFileAndLine) {
  std::string many;
  for (int i = 0; i < 520; ++i) many += "K-;";
  load_file("BIG.air", {"AMD 1", "B-" + std::string(1300, 'b'), many});
  EXPECT_EQ(rows("select length(airb_0) from qx_air_b"), std::vector<Row>{{"1255"}});
  EXPECT_EQ(out.text(),
            "File BIG.air line 2: field 1 has 1302 characters, cut to 1255\n"
            "File BIG.air line 3: 8 field(s) after the 512th dropped\n");
}

TEST_F(AirLoaderTest, AFailedInsertIsPrintedByTextAndTheNextLinesGoOn) {
  ASSERT_TRUE(session->execute("drop table qx_air_b", {}).ok());
  ASSERT_TRUE(session->commit().ok());
  load_file("F.air", {"AMD 1", "B-GONE", "C-STILL"});
  std::string printed = out.text();
  EXPECT_EQ(printed.substr(0, 7), "\n00942:");
  EXPECT_EQ(printed.back(), '\n');
  EXPECT_EQ(count("qx_air_c"), 1);
}

}  // namespace
}  // namespace qx::corvane
