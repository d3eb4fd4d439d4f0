// The serial numbers of the AIR records: per key from the table (H, U), per
// file shared and raised by T rows (K L M O Q I S T), and per-file counters
// of their own (R V F).
#include <gtest/gtest.h>

#include "air_loader_fixture.h"

namespace qx::corvane {
namespace {

using qx::testing::Row;

TEST_F(AirLoaderTest, SharedSerialIsRaisedOnlyAfterTRows) {
  load_file("F.air", {"AMD 1", "K-A", "T-1", "K-B", "L-X", "T-2", "M-Y", "O-Z", "Q-Q", "I-I;1",
                      "S-S;2", "K-C"});
  EXPECT_EQ(rows("select airk_0, airk_serial from qx_air_k order by rowid"),
            (std::vector<Row>{{"K-A", "1"}, {"K-B", "2"}, {"K-C", "3"}}));
  EXPECT_EQ(rows("select airt_serial from qx_air_t order by rowid"),
            (std::vector<Row>{{"1"}, {"2"}}));
  EXPECT_EQ(rows("select airl_serial from qx_air_l"), std::vector<Row>{{"2"}});
  for (const char* q : {"select airm_serial from qx_air_m", "select airo_serial from qx_air_o",
                        "select airq_serial from qx_air_q", "select airi_serial from qx_air_i",
                        "select airs_serial from qx_air_s"}) {
    EXPECT_EQ(rows(q), std::vector<Row>{{"3"}}) << q;
  }
}

TEST_F(AirLoaderTest, TKTKGivesOneTwoTwoThree) {
  load_file("F.air", {"AMD 1", "T-", "K-", "T-", "K-"});
  EXPECT_EQ(rows("select airt_serial from qx_air_t order by rowid"),
            (std::vector<Row>{{"1"}, {"2"}}));
  EXPECT_EQ(rows("select airk_serial from qx_air_k order by rowid"),
            (std::vector<Row>{{"2"}, {"3"}}));
}

TEST_F(AirLoaderTest, OwnCountersNumberTheirRowsInLineOrderAndRestartPerFile) {
  load_file("F1.air", {"AMD 1", "RM1", "V-A", "RI2", "FM;a", "FE;b", "RM3", "V-B", "FH;c"});
  load_file("F2.air", {"RM4", "V-C", "FP;d", "K-X"});
  EXPECT_EQ(rows("select airr_0, airr_serial from qx_air_r order by rowid"),
            (std::vector<Row>{{"RM1", "1"}, {"RI2", "2"}, {"RM3", "3"}, {"RM4", "1"}}));
  EXPECT_EQ(rows("select airv_serial from qx_air_v order by rowid"),
            (std::vector<Row>{{"1"}, {"2"}, {"1"}}));
  EXPECT_EQ(rows("select airf_0, airf_serial from qx_air_f order by rowid"),
            (std::vector<Row>{{"FM", "1"}, {"FE", "2"}, {"FH", "3"}, {"FP", "1"}}));
  EXPECT_EQ(rows("select airk_serial from qx_air_k"), std::vector<Row>{{"1"}});
}

TEST_F(AirLoaderTest, HAndUSerialsContinuePerKeyAcrossFiles) {
  load_file("F1.air", {"AMD 1", "H-1", "U-1", "H-2"});
  load_file("F2.air", {"H-3", "AMD 2", "H-4", "U-2"});
  EXPECT_EQ(
      rows("select airh_key, airh_serial, airh_0 from qx_air_h order by rowid"),
      (std::vector<Row>{
          {"1.0", "1", "H-1"}, {"1.0", "2", "H-2"}, {"1.0", "3", "H-3"}, {"2.0", "1", "H-4"}}));
  EXPECT_EQ(rows("select airu_key, airu_serial from qx_air_u order by rowid"),
            (std::vector<Row>{{"1.0", "1"}, {"2.0", "1"}}));
}

TEST_F(AirLoaderTest, ACounterIsRaisedEvenWhenItsInsertFails) {
  ASSERT_TRUE(session
                  ->execute("create trigger refuse before insert on qx_air_r when new.airr_0 = "
                            "'RM-REFUSED' begin select raise(abort, 'refused'); end",
                            {})
                  .ok());
  ASSERT_TRUE(session->commit().ok());
  load_file("F.air", {"AMD 1", "RM-A", "RM-REFUSED", "RM-B"});
  EXPECT_EQ(rows("select airr_0, airr_serial from qx_air_r order by rowid"),
            (std::vector<Row>{{"RM-A", "1"}, {"RM-B", "3"}}));
  EXPECT_NE(out.text().find("refused"), std::string::npos);
}

}  // namespace
}  // namespace qx::corvane
