// The built PNR loader, run as an agency runs it, on generated files,
// against SQLite and PostgreSQL; the tables are read back and compared with
// what the files hold.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "db/make_session.h"
#include "generator/pnr_sample.h"
#include "pnr_expectations.h"
#include "program/record_program.h"
#include "support/postgres_test_database.h"
#include "support/program_run.h"
#include "support/table_reader.h"
#include "support/temp_dir.h"

namespace qx::tarvo {
namespace {

namespace fs = std::filesystem;
using program::verbose_flag;
using qx::testing::PostgresTestDatabase;
using qx::testing::ProgramRun;
using qx::testing::TableReader;

// What the program prints first and on too short a command line.
const std::string kBanner = "\n\n\nTARVO PNR Dataloading(Full Data) Version 2.0\n\n\n" +
                            std::string(qx::testing::kContactBlock);
constexpr const char* kUsageText =
    "\n\nUsage: tarvo user_name@Tns_name Passwd input-dir backup-dir [y|Y]\n\n";

class TarvoProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    in = dir.make_dir("in");
    backup = dir.make_dir("backup");
  }
  ProgramRun run_tarvo_program(const std::vector<std::string>& args) {
    return qx::testing::run_built_program("tarvo/tarvo", args, dir.path());
  }
  // `count` generated files of various sizes, every third with CR LF ends.
  void generate(int count, std::uint64_t seed) {
    for (int i = 0; i < count; ++i) {
      char name[32];
      std::snprintf(name, sizeof name, "PNR%06d.PNR", i + 1);
      generator::FileOptions options;
      options.records = 16 + 37 * i;
      options.crlf = i % 3 == 2;
      files.push_back({name, generator::generate_pnr_file(options, seed + i)});
      qx::testing::write_file(in / name, files.back().contents);
    }
  }
  ProgramRun load(const std::string& target, const std::string& in_dir,
                  const std::string& backup_dir) {
    return run_tarvo_program({"--once", "--settle-ms=0", target, "secret", in_dir, backup_dir});
  }
  ProgramRun load(const std::string& target) { return load(target, in.string(), backup.string()); }
  void expect_all_moved() {
    for (const auto& file : files) {
      EXPECT_FALSE(fs::exists(in / file.name)) << file.name;
      EXPECT_TRUE(fs::exists(backup / file.name)) << file.name;
    }
  }

  qx::testing::TempDir dir;
  fs::path in, backup;
  std::vector<PnrFile> files;
};

TEST_F(TarvoProgramTest, TheBannerComesFirstAndAFailedConnectIsPrintedOnce) {
  ProgramRun usage = run_tarvo_program({"u@x.db", "pw", "in"});
  EXPECT_EQ(usage.exit_code, 2);
  EXPECT_EQ(usage.output, kBanner + kUsageText);

  // The start-up connect fails and says so; the first scan does not say it again.
  ProgramRun unreachable = load("t@" + (dir.path() / "missing" / "pnr.db").string());
  EXPECT_TRUE(unreachable.output.starts_with(kBanner + "Connecting to Oracle.....\n\n-14 "))
      << unreachable.output;
  qx::testing::expect_unreachable_database_told_once(unreachable);

  // A mistyped option is one line, not the whole help.
  ProgramRun mistyped = run_tarvo_program({"--setle-ms=0", "u@x.db", "pw", "in", "out"});
  EXPECT_EQ(mistyped.exit_code, 2);
  EXPECT_EQ(mistyped.output, kBanner + "tarvo: unknown option --setle-ms=0; see --help\n");

  // Under a journal that reads the output, each line carries its priority.
  const fs::path output = dir.path() / "output.txt";
  qx::testing::write_file(output, "");
  struct stat status {};
  ASSERT_EQ(::stat(output.c_str(), &status), 0);
  const std::string stream = std::to_string(status.st_dev) + ":" + std::to_string(status.st_ino);
  ::setenv("JOURNAL_STREAM", stream.c_str(), 1);
  ProgramRun journal = load("t@" + (dir.path() / "missing" / "pnr.db").string());
  ::unsetenv("JOURNAL_STREAM");
  EXPECT_TRUE(journal.output.starts_with("<6>\n<6>\n<6>\n<6>TARVO PNR")) << journal.output;
  EXPECT_NE(journal.output.find("\n<3>-14 "), std::string::npos) << journal.output;
  EXPECT_NE(journal.output.find("\n<3>Cannot connect to the database "), std::string::npos);
  EXPECT_NE(journal.output.find("\n<6>Scanning Directory "), std::string::npos);
}

// What an operator or a service manager reads from the exit status: --check
// says what is wrong without loading, and --once is 0 only when every file
// found was loaded and moved.
TEST_F(TarvoProgramTest, CheckAndASingleScanEndWithAStatusThatSaysWhatWasLeftUndone) {
  const std::string target = "t@" + (dir.path() / "pnr.db").string();
  ProgramRun fine = run_tarvo_program({"--check", target, "-", in.string(), backup.string()});
  EXPECT_EQ(fine.exit_code, 0) << fine.output;
  EXPECT_TRUE(fine.output.ends_with("OK\n")) << fine.output;

  // Each place a load writes to, made unwritable in turn (a regular file
  // where a directory should be, which holds even for root).
  const std::string missing = (dir.path() / "missing").string();
  const std::string not_a_dir = (dir.path() / "plain").string();
  qx::testing::write_file(not_a_dir, "x");
  struct Problem {
    std::vector<std::string> args;
    int status;
    std::string line;
  };
  const Problem problems[] = {
      {{in.string(), missing}, 6, "Cannot write to the backup directory " + missing},
      {{missing, backup.string()}, 4, "Cannot read the input directory " + missing},
      {{in.string(), backup.string(), "--failed-dir=" + not_a_dir + "/failed"},
       6,
       "Cannot write to the failed directory " + not_a_dir + "/failed"},
      {{in.string(), backup.string(), "--log-file=" + not_a_dir + "/events.jsonl"},
       6,
       "Cannot write to the event log's directory " + not_a_dir},
      {{in.string(), backup.string(), "--metrics-file=" + not_a_dir + "/qx.prom"},
       6,
       "Cannot write to the metrics file's directory " + not_a_dir},
  };
  for (const Problem& problem : problems) {
    std::vector<std::string> args = {"--check", target, "-"};
    args.insert(args.end(), problem.args.begin(), problem.args.end());
    ProgramRun checked = run_tarvo_program(args);
    EXPECT_EQ(checked.exit_code, problem.status) << checked.output;
    EXPECT_NE(checked.output.find(problem.line), std::string::npos) << checked.output;
    EXPECT_FALSE(checked.output.ends_with("OK\n")) << checked.output;
  }
  // A failed directory not made yet is fine: the loader makes it.
  ProgramRun later = run_tarvo_program({"--check", target, "-", in.string(), backup.string(),
                                        "--failed-dir=" + missing + "/failed"});
  EXPECT_EQ(later.exit_code, 0) << later.output;

  // A file still being written waits, and a single scan says so.
  generate(1, 7);
  ProgramRun waiting = run_tarvo_program(
      {"--once", "--settle-ms=600000", target, "-", in.string(), backup.string()});
  EXPECT_EQ(waiting.exit_code, 5) << waiting.output;
  EXPECT_EQ(load(target).exit_code, 0);
  expect_all_moved();

  // The failed directory is made at start, so the first file set aside gets there.
  qx::testing::write_file(in / "JUNK.PNR", "no record of any kind\r");
  // A scan that set a file aside did not load everything it found.
  ProgramRun set_aside =
      run_tarvo_program({"--once", "--settle-ms=0", "--failed-dir=" + missing + "/failed", target,
                         "-", in.string(), backup.string()});
  EXPECT_EQ(set_aside.exit_code, 7) << set_aside.output;
  EXPECT_TRUE(fs::exists(fs::path(missing) / "failed" / "JUNK.PNR"));
}

TEST(TarvoVerboseFlag, IsOnOnlyWithExactlyFiveArgumentsTheFifthYOrCapitalY) {
  using Args = std::vector<std::string>;
  EXPECT_TRUE(verbose_flag(Args{"u", "p", "in", "out", "y"}));
  EXPECT_TRUE(verbose_flag(Args{"u", "p", "in", "out", "Y"}));
  EXPECT_FALSE(verbose_flag(Args{"u", "p", "in", "out", "n"}));
  EXPECT_FALSE(verbose_flag(Args{"u", "p", "in", "out", "yes"}));
  EXPECT_FALSE(verbose_flag(Args{"u", "p", "in", "out"}));
  EXPECT_FALSE(verbose_flag(Args{"u", "p", "in", "out", "y", "extra"}));
}

TEST_F(TarvoProgramTest, LoadsGeneratedFilesIntoSqlite) {
  generate(5, 1000);
  const std::string database = (dir.path() / "pnr.db").string();
  ProgramRun result = load("agent@" + database);
  ASSERT_EQ(result.exit_code, 0) << result.output;
  // After a successful connect, the database it uses.
  EXPECT_NE(result.output.find(kBanner + "Connecting to Oracle.....\n\nDatabase: sqlite:" +
                               database + "\n\nScanning Directory " + in.string()),
            std::string::npos)
      << result.output;
  EXPECT_NE(result.output.find(" for *.PNR Files\nCurrently Processing PNR000001.PNR\n"
                               "\nFile Read Complete. Waiting for Next File\n"
                               "Currently Processing PNR000002.PNR\n"),
            std::string::npos)
      << result.output;
  expect_all_moved();
  EXPECT_EQ(stored_pnr_rows(TableReader::sqlite(database)), expected_pnr_rows(files));
}

TEST_F(TarvoProgramTest, LoadsGeneratedFilesIntoPostgresVerbosely) {
  generate(4, 2000);
  PostgresTestDatabase database;
  {
    // A table another session holds locked: the look at the tables at
    // start gets no answer, and that is told before anything else is.
    auto holder = db::make_session(db::parse_target(database.target_text(), ""));
    ASSERT_TRUE(holder->connect().ok());
    ASSERT_TRUE(holder->execute("lock table qx_tarvo_m1 in access exclusive mode", {}).ok());
    std::int64_t holder_pid = 0;
    ASSERT_TRUE(holder->query_integer("select pg_backend_pid()", {}, holder_pid).ok());
    ProgramRun locked =
        run_tarvo_program({"--once", "--settle-ms=0", "--db-timeout=1", database.target_text(),
                           "secret", in.string(), backup.string()});
    EXPECT_EQ(locked.exit_code, 3) << locked.output;
    EXPECT_NE(locked.output.find("was lost while the loader's tables were looked at: "),
              std::string::npos)
        << locked.output;
    EXPECT_NE(locked.output.find("did not answer within 1 s; each scan connects again"),
              std::string::npos);
    EXPECT_EQ(locked.output.find("reachable again"), std::string::npos) << locked.output;
    // The loader's sessions still wait for the lock on the server: ended
    // first, so that nothing of them is committed once it is released.
    database.run("select pg_terminate_backend(pid, 10000) from pg_stat_activity where datname = '" +
                 database.name() + "' and pid not in (pg_backend_pid(), " +
                 std::to_string(holder_pid) + ")");
    (void)holder->rollback();  // fails only with nothing left to undo
    // The keys the run drew are gone with it; the files are expected under
    // the first keys.
    database.run("select setval('TARVO_SEQUENCE', 1, false)");
  }
  ProgramRun result = run_tarvo_program({"--once", "--settle-ms=0", database.target_text(),
                                         "secret", in.string(), backup.string(), "Y"});
  ASSERT_EQ(result.exit_code, 0) << result.output;
  EXPECT_NE(result.output.find("\nFile Moved As: " + (in / "PNR000004.PNR").string() + "---" +
                               (backup / "PNR000004.PNR").string() + "\n"),
            std::string::npos)
      << result.output;
  expect_all_moved();
  EXPECT_EQ(stored_pnr_rows(TableReader::postgres(database.uri())), expected_pnr_rows(files));
}

TEST_F(TarvoProgramTest, RelativeDirectoriesLoadEachFileOnceAndMoveIt) {
  generate(2, 3000);
  ProgramRun first = load("t@pnr.db", "in", "backup");
  ASSERT_EQ(first.exit_code, 0) << first.output;
  expect_all_moved();
  EXPECT_NE(first.output.find("Scanning Directory in "), std::string::npos);
  EXPECT_EQ(first.output.find("File Moved As"), std::string::npos);
  ProgramRun second = load("t@pnr.db", "in", "backup");
  EXPECT_EQ(second.output.find("Currently Processing"), std::string::npos);
  EXPECT_EQ(stored_pnr_rows(TableReader::sqlite((dir.path() / "pnr.db").string())),
            expected_pnr_rows(files));
}

}  // namespace
}  // namespace qx::tarvo
