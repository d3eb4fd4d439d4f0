// Loading a MIR file's filed rows: one key per file, rows numbered from 0
// within each type, the header's file name. (The verbose progress lines and
// a refused row: tests/record_loader/record_loaders_test.cc.)
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "meridon_full/mir_records.h"
#include "mir_loader_fixture.h"

namespace qx::meridon_full {
namespace {

using qx::testing::Row;
using Rows = std::vector<Row>;

TEST_F(MirLoaderTest, EachFileHasItsOwnKeyItsOwnSerialsAndNothingOfTheFileBefore) {
  load("FIRST.MIR", {"T51first", "A02a", "A02b", "A08c", "A21d"});
  load("SECOND.MIR", {"T51second", "A02e", "A14f"});
  EXPECT_EQ(rows("select mt5_reference, mt5_serial, mt5_file_name from qx_meridon_t5 order by 1"),
            (Rows{{"1", "0", "FIRST.MIR"}, {"2", "0", "SECOND.MIR"}}));
  EXPECT_EQ(rows("select ma02_reference, ma02_serial, ma02_1 from qx_meridon_a02 order by 1, 2"),
            (Rows{{"1", "0", "a"}, {"1", "1", "b"}, {"2", "0", "e"}}));
  EXPECT_EQ(rows("select ma08_reference from qx_meridon_a08"), (Rows{{"1"}}));
  EXPECT_EQ(rows("select ma21_reference from qx_meridon_a21"), (Rows{{"1"}}));
  EXPECT_EQ(rows("select ma14_reference, ma14_serial from qx_meridon_a14"), (Rows{{"2", "0"}}));
}

}  // namespace
}  // namespace qx::meridon_full
