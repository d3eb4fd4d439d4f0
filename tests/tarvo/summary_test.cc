// The built PNR loader's --summary line: after the file's own lines, with
// the rows each table took and the line of a row the database refused; and
// nothing of it without the option.
#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "support/program_run.h"
#include "support/sqlite_loader_test.h"

namespace qx::tarvo {
namespace {

class TarvoSummary : public qx::testing::SqliteLoaderTest {};

TEST_F(TarvoSummary, FollowsTheFilesLinesOnlyWhenAskedFor) {
  connect("pnr.db");
  session.reset();
  // A second M5 row with the same first field is refused for its own data.
  run_sql("create unique index qx_one_m5 on qx_tarvo_m5 (tm5_1)");
  const auto in = dir.make_dir("in");
  const auto backup = dir.make_dir("backup");
  auto run = [&](std::vector<std::string> options) {
    options.insert(options.end(),
                   {"--once", "--settle-ms=0", "t@" + database, "-", in.string(), backup.string()});
    return qx::testing::run_built_program("tarvo/tarvo", options, dir.path());
  };

  qx::testing::write_file(in / "F.PNR", "AA\rM501a\rM501b\rM502c\r");
  auto summarised = run({"--summary"});
  ASSERT_EQ(summarised.exit_code, 0) << summarised.output;
  const std::regex line(
      "\nFile Read Complete\\. Waiting for Next File\n"
      "Summary of F\\.PNR: loaded; key [1-9][0-9]*; lines 4; "
      "stored 3 \\(qx_tarvo_m0 1, qx_tarvo_m5 2\\); rejected 1 \\(lines 3\\); [0-9]+\\.[0-9]{3} "
      "s\n");
  EXPECT_TRUE(std::regex_search(summarised.output, line)) << summarised.output;

  qx::testing::write_file(in / "G.PNR", "AA\rM501d\r");
  auto plain = run({});
  ASSERT_EQ(plain.exit_code, 0) << plain.output;
  EXPECT_NE(plain.output.find("File Read Complete"), std::string::npos);
  EXPECT_EQ(plain.output.find("Summary"), std::string::npos) << plain.output;
}

}  // namespace
}  // namespace qx::tarvo
