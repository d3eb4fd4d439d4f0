// The built AIR loader programs, run as an agency runs them, on generated
// files, against SQLite and PostgreSQL; the tables are read back and
// compared with what the files hold.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "air_expectations.h"
#include "generator/air_sample.h"
#include "support/postgres_test_database.h"
#include "support/program_run.h"
#include "support/table_reader.h"
#include "support/temp_dir.h"

extern char** environ;

namespace qx::corvane {
namespace {

using qx::testing::PostgresTestDatabase;
using qx::testing::ProgramRun;
using qx::testing::TableReader;
using qx::testing::TempDir;

// What the programs print first and on too short a command line.
const std::string kBanner =
    "\n\n\nCorvane CRS Dataloading Version 1.0\n\n\n" + std::string(qx::testing::kContactBlock);
constexpr const char* kUsageText =
    "\n\nUsage: corvane user_name@Tns_name Passwd input-dir backup-dir\n\n";

// One of the built AIR loader programs ("corvane_narrow"), run in `dir`.
ProgramRun run_program(const std::string& program, const std::vector<std::string>& args,
                       const std::filesystem::path& dir) {
  return qx::testing::run_built_program("corvane/" + program, args, dir);
}

class CorvaneProgramTest : public ::testing::Test {
 public:
  void SetUp() override {
    in = dir.make_dir("in");
    backup = dir.make_dir("backup");
  }
  // Writes `count` generated files and remembers them in load order.
  void generate(int count, std::uint64_t seed) {
    qx::generator::FileOptions options;
    options.records = 60;
    options.bookings = 2;
    for (int i = 0; i < count; ++i) {
      char name[32];
      std::snprintf(name, sizeof name, "AIR%06d.air", i + 1);
      files.push_back({name, qx::generator::generate_air_file(options, seed + i)});
      qx::testing::write_file(in / name, files.back().contents);
    }
  }
  ProgramRun load(const std::string& target, const std::string& program = "corvane") {
    return run_program(program,
                       {"--once", "--settle-ms=0", target, "secret", in.string(), backup.string()},
                       dir.path());
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

TEST_F(CorvaneProgramTest, TheBannerComesFirstAndAFailedConnectIsPrintedOnce) {
  ProgramRun usage = run_program("corvane", {"u@x.db", "pw", "in"}, dir.path());
  EXPECT_EQ(usage.exit_code, 0);
  EXPECT_EQ(usage.output, kBanner + kUsageText);

  // A database in a missing directory: the start-up connect fails and says
  // so; the scan right after it does not try and say it again.
  ProgramRun unreachable = load("t@" + (dir.path() / "missing" / "air.db").string());
  EXPECT_TRUE(unreachable.output.starts_with(kBanner + "Connecting to Oracle.....\n\n\n"
                                                       "00014: unable to open database file\n"
                                                       "Cannot connect to the database sqlite:"))
      << unreachable.output;
  qx::testing::expect_unreachable_database_told_once(unreachable);
}

TEST_F(CorvaneProgramTest, LoadsGeneratedFilesIntoSqlite) {
  generate(6, 1000);
  std::string database = (dir.path() / "air.db").string();
  ProgramRun result = load("agent@" + database);
  ASSERT_EQ(result.exit_code, 0) << result.output;
  EXPECT_NE(result.output.find("Connecting to Oracle.....\n\nConnected to Oracle.....\n\n"),
            std::string::npos);
  EXPECT_NE(result.output.find("Currently Processing AIR000006.air\n\n"
                               "File Read Complete. Waiting for Next File\n\n"),
            std::string::npos);
  expect_all_moved();
  EXPECT_EQ(stored_air_rows(TableReader::sqlite(database)), expected_air_rows(files));
}

TEST_F(CorvaneProgramTest, LoadsGeneratedFilesIntoPostgres) {
  generate(6, 2000);
  PostgresTestDatabase database;
  ProgramRun result = load(database.target_text());
  ASSERT_EQ(result.exit_code, 0) << result.output;
  expect_all_moved();
  EXPECT_EQ(stored_air_rows(TableReader::postgres(database.uri())), expected_air_rows(files));
}

TEST_F(CorvaneProgramTest, RelativeDirectoriesLoadEachFileOnceAndMoveIt) {
  generate(2, 3000);
  ProgramRun first = run_program(
      "corvane", {"--once", "--settle-ms=0", "t@air.db", "-", "in", "backup"}, dir.path());
  ASSERT_EQ(first.exit_code, 0) << first.output;
  expect_all_moved();
  EXPECT_NE(first.output.find("Scanning Directory in "), std::string::npos);
  ProgramRun second = run_program(
      "corvane", {"--once", "--settle-ms=0", "t@air.db", "-", "in", "backup"}, dir.path());
  EXPECT_EQ(second.output.find("Currently Processing"), std::string::npos);
  EXPECT_EQ(stored_air_rows(TableReader::sqlite((dir.path() / "air.db").string())),
            expected_air_rows(files));
}

TEST_F(CorvaneProgramTest, EachBuildIsItsOwnProgramAndStoresWhatItsRecordsSay) {
  generate(3, 4000);
  const std::vector<LoadedFile> loaded = files;
  for (AirBuild build : {AirBuild::base, AirBuild::narrow, AirBuild::field_serial,
                         AirBuild::field_serial_sqllib18}) {
    std::string name(profile(build).name);
    std::string program = build == AirBuild::base ? "corvane" : "corvane_" + name;
    ProgramRun version = run_program(program, {"--version"}, dir.path());
    EXPECT_EQ(version.exit_code, 0);
    EXPECT_NE(version.output.find("build " + name + " (qx-loaders " QX_PACKAGE_VERSION ")\n"),
              std::string::npos)
        << version.output;

    for (const auto& file : loaded) qx::testing::write_file(in / file.name, file.contents);
    std::string database = (dir.path() / (name + ".db")).string();
    ProgramRun result = load("t@" + database, program);
    ASSERT_EQ(result.exit_code, 0) << result.output;
    expect_all_moved();
    EXPECT_EQ(stored_air_rows(TableReader::sqlite(database), build),
              expected_air_rows(loaded, build))
        << name;
  }
}

// Files without a header line load under the key the process holds: 0 after
// a start. The H and U serials under that key come from the table, so they
// go on counting across files and across a restart of the program.
void expect_serials_continue_across_a_restart(CorvaneProgramTest& test, const std::string& target,
                                              const TableReader& reader) {
  for (int run = 0; run < 2; ++run) {
    qx::testing::write_file(test.in / ("R" + std::to_string(run) + ".air"),
                            "H-A;x\nU-B;y\nH-C;z\n");
    ASSERT_EQ(test.load(target).exit_code, 0);
  }
  EXPECT_EQ(reader.rows("select cast(airh_key as integer), airh_serial, airh_0 from qx_air_h "
                        "order by airh_serial"),
            (std::vector<qx::testing::Row>{
                {"0", "1", "H-A"}, {"0", "2", "H-C"}, {"0", "3", "H-A"}, {"0", "4", "H-C"}}));
  EXPECT_EQ(reader.rows("select airu_serial from qx_air_u order by airu_serial"),
            (std::vector<qx::testing::Row>{{"1"}, {"2"}}));
}

TEST_F(CorvaneProgramTest, HAndUSerialsContinueAcrossARestartOnSqlite) {
  std::string database = (dir.path() / "air.db").string();
  expect_serials_continue_across_a_restart(*this, "t@" + database, TableReader::sqlite(database));
}

TEST_F(CorvaneProgramTest, HAndUSerialsContinueAcrossARestartOnPostgres) {
  PostgresTestDatabase database;
  expect_serials_continue_across_a_restart(*this, database.target_text(),
                                           TableReader::postgres(database.uri()));
}

TEST_F(CorvaneProgramTest, ATerminationSignalStopsBetweenTwoLinesAndTheNextStartResumes) {
  generate(30, 5000);
  std::string database = (dir.path() / "air.db").string();
  std::string output = (dir.path() / "output.txt").string();
  // One commit per line, so that the stop finds a file in hand (a group
  // may end with its file, and a stop between two files leaves none).
  std::vector<std::string> args = {qx::testing::built_program_path("corvane/corvane"),
                                   "--settle-ms=0",
                                   "--batch-lines=1",
                                   "t@" + database,
                                   "-",
                                   in.string(),
                                   backup.string()};
  std::vector<char*> argv;
  for (auto& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, output.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0644);
  pid_t pid = 0;
  ASSERT_EQ(posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ), 0);
  posix_spawn_file_actions_destroy(&actions);
  // Signal while the backlog is being cleared, once the first file is in hand.
  for (int i = 0; i < 2000; ++i) {
    if (qx::testing::read_file(output).find("Currently Processing") != std::string::npos) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  ASSERT_EQ(kill(pid, SIGTERM), 0);
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);

  // The file in hand waits where the stop found it, not at its end.
  EXPECT_NE(qx::testing::read_file(output).find("Stopped in "), std::string::npos);
  EXPECT_TRUE(std::filesystem::exists(in / files.back().name));

  // The next start takes it up at its next line: every file is stored once,
  // as by one load without a stop, and moved.
  ProgramRun resumed = load("t@" + database);
  EXPECT_EQ(resumed.exit_code, 0) << resumed.output;
  expect_all_moved();
  EXPECT_EQ(stored_air_rows(TableReader::sqlite(database)), expected_air_rows(files));
}

}  // namespace
}  // namespace qx::corvane
