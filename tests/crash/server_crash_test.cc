// The PNR loader loading a backlog into a PostgreSQL server (commits synced
// to disk) that is stopped during the load and started again, a few times,
// at once as by a power cut or as an operator shuts it down: the loader
// connects again by itself, tells the outage as the database being
// unreachable (never as refusing its work, never an end without a start),
// and at the end every file is in the backup directory once and the tables
// hold the rows of one clean load. The server is a private one, so that
// the other tests' server is never stopped.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <random>
#include <string>

#include "crash/crash_database.h"
#include "crash/exactly_once.h"
#include "generator/backlog.h"
#include "support/live_program.h"
#include "support/program_run.h"
#include "support/temp_dir.h"

namespace qx::crash {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// Runs the test-server script with `action` on `dir`; true on success.
bool server(const std::string& action, const std::string& dir) {
  return std::system((std::string(QX_PG_SERVER_SCRIPT) + " " + action + " " + dir).c_str()) == 0;
}

// A private server for one test, with durable commits, removed at the end.
class PrivateServer {
 public:
  PrivateServer() : dir_("/tmp/qxpg-crash-" + std::to_string(::getpid())) {
    started_ = server("start", dir_ + " durable");
  }
  ~PrivateServer() { server("stop", dir_); }
  const std::string& dir() const { return dir_; }
  bool started() const { return started_; }

 private:
  std::string dir_;
  bool started_;
};

// The pg_server.sh action that stops the server.
class ServerStops : public ::testing::TestWithParam<const char*> {};

TEST_P(ServerStops, ThePnrLoaderLoadsEveryFileOnceAndTellsTheOutageAsOne) {
  const std::uint64_t seed = crash_seed();
  SCOPED_TRACE("seed " + std::to_string(seed) + " (QX_CRASH_SEED)");
  std::mt19937_64 random(seed);
  PrivateServer private_server;
  ASSERT_TRUE(private_server.started());
  CrashDatabase database(Backend::postgresql, {}, private_server.dir());

  testing::TempDir dir;
  const fs::path pristine = dir.make_dir("pristine"), in = dir.make_dir("in"),
                 backup = dir.make_dir("backup"), work = dir.make_dir("work");
  generator::BacklogOptions options;
  options.count = 40;
  options.seed = seed;
  options.file.records = 30;
  generator::write_backlog(*generator::find_sample_format("pnr"), options, pristine);
  copy_files(pristine, in);

  testing::LiveProgram loader(
      "tarvo/tarvo", {database.target(), "-", in.string(), backup.string(), "--settle-ms=0"}, work);
  int stops = 0;
  for (int round = 0; round < 3; ++round) {
    // A stop falls within a few files' commits after a file is begun.
    if (!loader.wait_for_output("Currently Processing", 30s, loader.output().size())) break;
    loader.run_for(std::chrono::milliseconds(std::uniform_int_distribution<int>(0, 40)(random)));
    ASSERT_TRUE(server(GetParam(), private_server.dir()));
    ++stops;
    loader.run_for(200ms);
    ASSERT_TRUE(server("restart", private_server.dir()));
  }
  for (auto waited = 0ms; waited < 60s && !file_names(in).empty(); waited += 500ms) {
    loader.run_for(500ms);
  }
  ASSERT_FALSE(loader.exited()) << loader.output();
  EXPECT_EQ(loader.stop(SIGTERM), 0) << loader.output();
  EXPECT_GE(stops, 1) << loader.output();
  const std::string told = loader.output();
  EXPECT_EQ(testing::occurrences(told, "refuses the loader's work"), 0u) << told;
  EXPECT_LE(testing::occurrences(told, "is reachable again"),
            testing::occurrences(told, "Cannot connect to the database"))
      << told;

  CrashDatabase clean(Backend::postgresql, {});
  const fs::path clean_in = dir.make_dir("clean_in"), clean_backup = dir.make_dir("clean_backup");
  copy_files(pristine, clean_in);
  auto reference = testing::run_built_program(
      "tarvo/tarvo",
      {clean.target(), "-", clean_in.string(), clean_backup.string(), "--settle-ms=0", "--once"},
      work);
  ASSERT_EQ(reference.exit_code, 0) << reference.output;

  Tally tally;
  check_files(pristine, in, backup, tally);
  check_rows(snapshot_rows(database.reader(), "tarvo"), snapshot_rows(clean.reader(), "tarvo"),
             tally);
  check_history(database.reader(), file_names(pristine), tally);
  std::cout << "[crash] tarvo postgresql server stops (" << GetParam() << "): stops " << stops
            << ", " << tally.summary() << ", seed " << seed << "\n";
  EXPECT_TRUE(tally.clean()) << tally.report() << "\nthe loader printed:\n" << loader.output();
}

INSTANTIATE_TEST_SUITE_P(PowerCutAndShutdown, ServerStops, ::testing::Values("crash", "shutdown"),
                         [](const auto& info) { return std::string(info.param); });

}  // namespace
}  // namespace qx::crash
