// The client's own rules for the cases the databases do not share: a start
// of 0, negative starts and lengths below 1. Starts from 1 on are checked
// against the databases themselves in text_primitives_agreement_test.cc.
#include "db/text_primitives.h"

#include <gtest/gtest.h>

namespace qx::db {
namespace {

TEST(SubstrTest, StartZeroCountsAsOneAndNegativeStartsCountFromTheEnd) {
  EXPECT_EQ(substr("ABCDEF", 0, 2), "AB");
  EXPECT_EQ(substr("ABCDEF", 0), "ABCDEF");
  EXPECT_EQ(substr("ABCDEF", -2), "EF");
  EXPECT_EQ(substr("ABCDEF", -6, 2), "AB");
  EXPECT_EQ(substr("ABCDEF", -2, 5), "EF");
  EXPECT_EQ(substr("ABCDEF", -7), "");
  EXPECT_EQ(substr("", -1), "");
}

TEST(SubstrTest, LengthBelowOneIsEmpty) {
  EXPECT_EQ(substr("ABCDEF", 2, 0), "");
  EXPECT_EQ(substr("ABCDEF", 2, -1), "");
  EXPECT_EQ(substr("ABCDEF", -3, -1), "");
}

TEST(InstrTest, StartZeroFindsNothingAndNegativeStartsSearchBackwards) {
  EXPECT_EQ(instr("A;B;C", ";", 0), 0);
  EXPECT_EQ(instr("A;B;C", ";", -1), 4);
  EXPECT_EQ(instr("A;B;C", ";", -2), 4);
  EXPECT_EQ(instr("A;B;C", ";", -3), 2);
  EXPECT_EQ(instr("A;B;C", ";", -5), 0);
  EXPECT_EQ(instr("A;B;C", ";", -9), 0);
  EXPECT_EQ(instr("CORPORATE FLOOR", "OR", -3), 5);
  EXPECT_EQ(instr("A;B", "", 1), 0);
}

}  // namespace
}  // namespace qx::db
