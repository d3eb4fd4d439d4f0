// The four builds of the AIR loader: what each stores differently.
#include <gtest/gtest.h>

#include "air_loader_fixture.h"
#include "corvane/air_handlers.h"
#include "db/make_session.h"

namespace qx::corvane {
namespace {

using qx::testing::Row;
using V = qx::testing::Value;

const AirHandler& handler(AirBuild build, std::string_view name) {
  for (const auto& h : handlers(build)) {
    if (h.name == name) return h;
  }
  throw std::runtime_error("no handler " + std::string(name));
}

std::string statement(AirBuild build, std::string_view name) {
  return insert_statement(handler(build, name), profile(build));
}

TEST(AirStatements, TextsAreTheDocumentedOnes) {
  EXPECT_EQ(
      statement(AirBuild::base, "header"),
      "insert into qx_air_corvane (air_key,air_reference,air_0,air_1,air_2,air_3,air_4,air_5,"
      "air_6,air_7,air_8,air_9,air_10,air_11) values (:b0,:b1,:b2,:b3,:b4,:b5,:b6,:b7,:b8,:b9,"
      ":b10,:b11,:b12,:b13)");
  EXPECT_EQ(statement(AirBuild::base, "D"),
            "insert into qx_air_d (aird_key,aird_0,aird_1,aird_2) values (:b0,:b1,:b2,:b3)");
  EXPECT_EQ(statement(AirBuild::base, "F"),
            "insert into qx_air_f (airf_key,airf_serial,airf_0,airf_1,airf_2) values "
            "(:b0,:b1,:b2,:b3,:b4)");
  EXPECT_EQ(statement(AirBuild::narrow, "A"),
            "insert into qx_air_a (aira_key,aira_0,aira_1) values (:b0,:b1,:b2)");
  EXPECT_EQ(statement(AirBuild::field_serial, "R"),
            "insert into qx_air_r (airr_key,airr_serial,airr_0) values (:b0,:b1,:b2)");
  EXPECT_EQ(statement(AirBuild::field_serial_sqllib18, "A"),
            "insert into qx_air_a(aira_key,aira_0,aira_1) values (:b0,:b1,:b2)");
  EXPECT_EQ(
      serial_query(handler(AirBuild::base, "H")),
      "select (COALESCE(max(airh_serial),0)+1) sector_serial  from qx_air_h where airh_key=:b0");
}

TEST(AirStatements, EveryHandlerOfEveryBuildInsertsIntoTheSchema) {
  for (AirBuild build : {AirBuild::base, AirBuild::narrow, AirBuild::field_serial,
                         AirBuild::field_serial_sqllib18}) {
    qx::testing::TempDir dir;
    auto session = db::make_session(db::parse_target("t@" + (dir.path() / "s.db").string(), ""));
    ASSERT_TRUE(session->connect().ok());
    for (const auto& h : handlers(build)) {
      std::string sql = insert_statement(h, profile(build));
      std::size_t values = 1 + h.header + (h.serial != SerialSource::none) + h.text_columns;
      std::vector<db::Bind> binds(values, db::Bind::integer(1));
      EXPECT_TRUE(session->execute(sql, binds).ok()) << sql;
    }
  }
}

class NarrowBuildTest : public AirLoaderTest {
 protected:
  void SetUp() override { use_build(AirBuild::narrow); }
};

TEST_F(NarrowBuildTest, AAndRStoreOnlyTheirNarrowColumnsAndTakeOnlyTheirOwnTags) {
  load_file("F.air", {"AMD 1", "A-1;2;3;4;5", "AITA;x", "RM;a;b", "RI;c", "RM;d"});
  EXPECT_EQ(rows("select aira_0, aira_1, aira_2 from qx_air_a"),
            (std::vector<Row>{{"A-1", "2", V{}}}));
  EXPECT_EQ(rows("select airr_0, airr_serial, airr_1 from qx_air_r order by rowid"),
            (std::vector<Row>{{"RM", "1", V{}}, {"RM", "2", V{}}}));
}

TEST_F(NarrowBuildTest, TheUSerialIsTheNumberAtTheStartOfTheSecondField) {
  load_file("F.air", {"AMD 1", "U-;003ABC;x", "U-;7;y", "U-; 12;z", "U-;;empty", "U-;XY1;bad",
                      "I-;12;shared"});
  EXPECT_EQ(rows("select airu_serial, airu_1, airu_2 from qx_air_u order by rowid"),
            (std::vector<Row>{
                {"3", "003ABC", "x"}, {"7", "7", "y"}, {"12", " 12", "z"}, {V{}, V{}, "empty"}}));
  // Not a number: no row, and the error is printed.
  EXPECT_EQ(out.text(), "\n01722: invalid number\n");
  // The I serial stays the shared one in this build.
  EXPECT_EQ(rows("select airi_serial from qx_air_i"), std::vector<Row>{{"1"}});
}

class FieldSerialBuildTest : public AirLoaderTest {
 protected:
  void SetUp() override { use_build(AirBuild::field_serial); }
};

TEST_F(FieldSerialBuildTest, TheISerialComesFromTheRecordAndEntriesHoldLongFields) {
  std::string long_field(1500, 'q');
  load_file("F.air", {"AMD 1", "I-;12;a", "I-;5x;b", "T-", "K-;" + long_field, "I-;--;c"});
  EXPECT_EQ(rows("select airi_serial, airi_2 from qx_air_i order by rowid"),
            (std::vector<Row>{{"12", "a"}}));
  EXPECT_EQ(rows("select length(airk_1), airk_serial from qx_air_k"),
            (std::vector<Row>{{"1500", "2"}}));
  EXPECT_EQ(out.text(), "\n01722: invalid number\n\n01722: invalid number\n");
}

TEST(AirBuilds, ProfilesDifferOnlyWhereDocumented) {
  EXPECT_EQ(profile(AirBuild::base).entry_limit, 1255u);
  EXPECT_EQ(profile(AirBuild::narrow).entry_limit, 1255u);
  EXPECT_EQ(profile(AirBuild::field_serial).entry_limit, 1999u);
  EXPECT_EQ(profile(AirBuild::field_serial_sqllib18).entry_limit, 1999u);
  // The sqllib18 build is field_serial in every handler.
  const auto& a = handlers(AirBuild::field_serial);
  const auto& b = handlers(AirBuild::field_serial_sqllib18);
  ASSERT_EQ(a.size(), b.size());
  for (std::size_t i = 0; i < a.size(); ++i) {
    EXPECT_EQ(a[i].name, b[i].name);
    EXPECT_EQ(a[i].serial, b[i].serial);
    EXPECT_EQ(a[i].text_columns, b[i].text_columns);
    EXPECT_EQ(a[i].tag2, b[i].tag2);
  }
  EXPECT_EQ(build_named("narrow"), AirBuild::narrow);
  EXPECT_EQ(build_named("wide"), std::nullopt);
}

}  // namespace
}  // namespace qx::corvane
