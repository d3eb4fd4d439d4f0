// Loading a MIR file's filed rows: one key per file, rows numbered from 0
// within each type, the header's file name, and a file whose header insert
// fails. (The verbose progress lines:
// tests/record_loader/record_loaders_test.cc.)
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

TEST_F(MirLoaderTest, AFailedHeaderInsertLosesTheHeaderOnlyAndIsPrintedByCode) {
  run_sql(
      "create trigger qx_refuse_header before insert on qx_meridon_t5 "
      "begin select raise(abort, 'header refused'); end");
  ASSERT_EQ(load("F.MIR", {"T51header", "A02one", "A14two"}),
            record_loader::LoadOutcome::committed);
  EXPECT_EQ(count("qx_meridon_t5"), 0);
  EXPECT_EQ(rows("select ma02_reference, ma02_1 from qx_meridon_a02"), (Rows{{"1", "one"}}));
  EXPECT_EQ(rows("select ma14_reference, ma14_1 from qx_meridon_a14"), (Rows{{"1", "two"}}));
  std::string printed = out.text();
  EXPECT_NE(printed.find("header refused"), std::string::npos) << printed;
  EXPECT_EQ(printed.find('\n'), printed.size() - 1) << "one line: " << printed;
}

}  // namespace
}  // namespace qx::meridon_full
