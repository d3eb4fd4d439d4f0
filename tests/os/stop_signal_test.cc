#include "os/stop_signal.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <string>

#include "program/program_start.h"
#include "support/captured_output.h"
#include "support/program_run.h"
#include "support/temp_dir.h"

namespace qx::os {
namespace {

using qx::testing::TempDir;
using qx::testing::write_file;

class StopSignal : public ::testing::Test {
 protected:
  void SetUp() override { clear_stop_request(); }
  void TearDown() override { clear_stop_request(); }
};

TEST_F(StopSignal, InterruptTerminateAndHangUpAskForAStopABrokenPipeNothing) {
  install_stop_handlers();
  for (int stop_signal : {SIGINT, SIGTERM, SIGHUP}) {
    clear_stop_request();
    ASSERT_EQ(std::raise(stop_signal), 0);
    EXPECT_TRUE(stop_requested()) << stop_signal;
  }
  clear_stop_request();
  int ends[2];
  ASSERT_EQ(::pipe(ends), 0);
  ::close(ends[0]);
  std::FILE* unread = ::fdopen(ends[1], "w");
  ASSERT_NE(unread, nullptr);
  Console(unread).print("nobody reads this\n");  // would end the process without the handlers
  EXPECT_TRUE(std::ferror(unread));
  std::fclose(unread);
  EXPECT_FALSE(stop_requested());
}

// A stand-in for a loader's file handling: counts the files it is given.
class CountingHandler : public scan::FileHandler {
 public:
  explicit CountingHandler(db::Session& session) : session_(session) {}
  int handled = 0;
  db::Session& session() override { return session_; }
  void report_sql_error(const db::Status&) override {}
  void handle_file(scan::FileJob&) override { ++handled; }
  void on_scan_without_files() override {}

 private:
  db::Session& session_;
};

TEST_F(StopSignal, AStopDuringTheStartUpConnectEndsTheProgramWithoutAScan) {
  TempDir dir;
  auto in = dir.make_dir("in"), backup = dir.make_dir("backup");
  write_file(in / "X.air", "x");
  program::ProgramSpec spec;
  spec.texts = {"test", "Test", "usage\n", "version\n", 2};
  spec.pattern = "*.air";
  spec.format_sql_error = [](const db::Status&) { return std::string(); };
  bool handler_made = false;
  spec.make_handler = [&](db::Session& session, const program::CommandLine&, Console) {
    handler_made = true;
    return std::make_unique<CountingHandler>(session);
  };
  const std::string database = "-@sqlite:" + (dir.path() / "x.db").string();
  const char* argv[] = {"test", database.c_str(), "-", in.c_str(), backup.c_str()};
  qx::testing::CapturedOutput out;
  request_stop();  // as a signal arriving while the connect waits for the server
  EXPECT_EQ(run_program(spec, 5, argv, out.file()), 0);
  EXPECT_FALSE(handler_made);
  EXPECT_EQ(out.text().find("Scanning"), std::string::npos);
  EXPECT_TRUE(std::filesystem::exists(in / "X.air"));
}

TEST_F(StopSignal, ALoaderWhoseConsoleNobodyReadsStillLoadsAndMovesItsFile) {
  TempDir dir;
  dir.make_dir("in");
  dir.make_dir("backup");
  write_file(dir.path() / "in" / "X.air", "");
  int status = qx::testing::run_built_program_unread(
      "corvane/corvane", {"--once", "--settle-ms=0", "t@air.db", "-", "in", "backup"}, dir.path());
  EXPECT_EQ(status, 0);
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "in" / "X.air"));
  EXPECT_TRUE(std::filesystem::exists(dir.path() / "backup" / "X.air"));
}

}  // namespace
}  // namespace qx::os
