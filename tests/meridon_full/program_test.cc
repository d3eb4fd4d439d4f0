// The built MIR loader, run as an agency runs it, on generated files,
// against SQLite and PostgreSQL; the tables are read back and compared with
// what the files hold.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "generator/mir_sample.h"
#include "mir_expectations.h"
#include "support/postgres_test_database.h"
#include "support/program_run.h"
#include "support/table_reader.h"
#include "support/temp_dir.h"

namespace qx::meridon_full {
namespace {

using qx::testing::PostgresTestDatabase;
using qx::testing::ProgramRun;
using qx::testing::TableReader;
using qx::testing::TempDir;

// What the program prints first and on too short a command line.
const std::string kBanner = "\n\n\nMERIDON MIR Dataloading(Full Data) Version 2.0\n\n\n" +
                            std::string(qx::testing::kContactBlock);
constexpr const char* kUsageText =
    "\n\nUsage: meridon_full user_name@Tns_name Passwd input-dir backup-dir [y|Y]\n\n";

ProgramRun run_meridon_full(const std::vector<std::string>& args, const TempDir& dir) {
  return qx::testing::run_built_program("meridon_full/meridon_full", args, dir.path());
}

class MeridonProgramTest : public ::testing::Test {
 public:
  void SetUp() override {
    in = dir.make_dir("in");
    backup = dir.make_dir("backup");
  }
  // Writes `count` generated files (the last one as large as a file gets)
  // and remembers them in load order.
  void generate(int count, std::uint64_t seed) {
    for (int i = 0; i < count; ++i) {
      qx::generator::FileOptions options;
      options.records = i + 1 == count ? qx::generator::kMostMirRecords : 20 + 15 * i;
      char name[32];
      std::snprintf(name, sizeof name, "MIR%06d.MIR", i + 1);
      files.push_back({name, qx::generator::generate_mir_file(options, seed + i)});
      qx::testing::write_file(in / name, files.back().contents);
    }
  }
  ProgramRun load(const std::string& target, const std::string& verbose = "") {
    std::vector<std::string> args = {"--once", "--settle-ms=0", target,
                                     "secret", in.string(),     backup.string()};
    if (!verbose.empty()) args.push_back(verbose);
    return run_meridon_full(args, dir);
  }
  void expect_all_moved() {
    for (const auto& file : files) {
      EXPECT_FALSE(std::filesystem::exists(in / file.name)) << file.name;
      EXPECT_TRUE(std::filesystem::exists(backup / file.name)) << file.name;
    }
  }

  TempDir dir;
  std::filesystem::path in, backup;
  std::vector<LoadedFile> files;
};

TEST_F(MeridonProgramTest, TheBannerComesFirstAndAFailedConnectIsPrintedOnce) {
  ProgramRun usage = run_meridon_full({"u@x.db", "pw", "in"}, dir);
  EXPECT_EQ(usage.exit_code, 2);
  EXPECT_EQ(usage.output, kBanner + kUsageText);
  EXPECT_EQ(run_meridon_full({"--no-such-option", "u@x.db", "pw", "in", "out"}, dir).exit_code, 2);

  // The start-up connect fails and says so; the first scan does not say it again.
  ProgramRun unreachable = load("t@" + (dir.path() / "missing" / "mir.db").string());
  EXPECT_TRUE(unreachable.output.starts_with(kBanner + "Connecting to Oracle.....\n\n-14 "))
      << unreachable.output;
  qx::testing::expect_unreachable_database_told_once(unreachable);
}

TEST_F(MeridonProgramTest, LoadsGeneratedFilesIntoSqlite) {
  generate(5, 1000);
  const std::string database = (dir.path() / "mir.db").string();
  ProgramRun result = load("agent@" + database);
  ASSERT_EQ(result.exit_code, 0) << result.output;
  EXPECT_TRUE(result.output.starts_with(kBanner + "Connecting to Oracle.....\n\nDatabase: sqlite:" +
                                        database + "\n\nScanning Directory "))
      << result.output;
  EXPECT_TRUE(result.output.ends_with(
      " for *.MIR Files\nCurrently Processing MIR000001.MIR\n"
      "\nFile Read Complete. Waiting for Next File\nCurrently Processing MIR000002.MIR\n"
      "\nFile Read Complete. Waiting for Next File\nCurrently Processing MIR000003.MIR\n"
      "\nFile Read Complete. Waiting for Next File\nCurrently Processing MIR000004.MIR\n"
      "\nFile Read Complete. Waiting for Next File\nCurrently Processing MIR000005.MIR\n"
      "\nFile Read Complete. Waiting for Next File\n"))
      << result.output;
  expect_all_moved();
  EXPECT_EQ(stored_mir_rows(TableReader::sqlite(database)), expected_mir_rows(files));
}

TEST_F(MeridonProgramTest, LoadsGeneratedFilesIntoPostgres) {
  generate(5, 2000);
  PostgresTestDatabase database;
  ProgramRun result = load(database.target_text());
  ASSERT_EQ(result.exit_code, 0) << result.output;
  expect_all_moved();
  EXPECT_EQ(stored_mir_rows(TableReader::postgres(database.uri())), expected_mir_rows(files));
}

TEST_F(MeridonProgramTest, OnlyAFifthArgumentYOrCapitalYTurnsVerboseLinesOn) {
  const std::string target = "agent@" + (dir.path() / "mir.db").string();
  for (const std::string fifth : {"", "n", "yes", "y", "Y"}) {
    files.clear();
    generate(1, 3000);
    ProgramRun result = load(target, fifth);
    ASSERT_EQ(result.exit_code, 0) << result.output;
    const bool verbose = fifth == "y" || fifth == "Y";
    EXPECT_EQ(result.output.find("\nFile Moved As: ") != std::string::npos, verbose) << fifth;
    EXPECT_EQ(result.output.find("\nT51(Header) Data Insert. Total Record(s) = 1 . Loading "
                                 "Record = 1 \n") != std::string::npos,
              verbose)
        << fifth;
  }
  // A scan that finds nothing prints its scanning line alone.
  const std::string idle = load(target).output;
  const std::string after = idle.substr(idle.find("Scanning Directory "));
  EXPECT_TRUE(after.starts_with("Scanning Directory ")) << idle;
  EXPECT_TRUE(after.ends_with(" for *.MIR Files\n")) << idle;
  EXPECT_EQ(std::count(after.begin(), after.end(), '\n'), 1) << idle;
}

}  // namespace
}  // namespace qx::meridon_full
