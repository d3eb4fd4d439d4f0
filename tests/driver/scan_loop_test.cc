#include "driver/scan_loop.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "driver/stop_signal.h"
#include "support/captured_output.h"
#include "support/faulty_env.h"
#include "support/temp_dir.h"

namespace qx::driver {
namespace {

using qx::testing::CapturedOutput;
using qx::testing::FaultyEnv;
using qx::testing::TempDir;
using qx::testing::write_file;

// A session that is only ever asked whether it is connected; the test says
// when a connect succeeds.
class ConnectOnlySession : public db::Session {
 public:
  int refuse_connects = 0;
  int connects = 0;
  bool is_connected = false;

  db::Status connect() override {
    ++connects;
    if (refuse_connects > 0) {
      --refuse_connects;
      return db::Status::failure(db::kNotConnected, "server not reachable");
    }
    is_connected = true;
    return db::Status::success();
  }
  bool connected() const override { return is_connected; }
  db::Status execute(std::string_view, std::span<const db::Bind>) override { return {}; }
  db::Status query_integer(std::string_view, std::span<const db::Bind>, std::int64_t&) override {
    return {};
  }
  db::Status query_text(std::string_view, std::span<const db::Bind>, std::string&) override {
    return {};
  }
  db::Status next_value(std::string_view, std::int64_t&) override { return {}; }
  db::Status commit() override { return {}; }
  db::Status rollback() override { return {}; }
  std::string description() const override { return "test session"; }
};

// Reads each file it is given and moves it, as a loader does.
class RecordingHandler : public FileHandler {
 public:
  explicit RecordingHandler(db::Session& s) : session_(s) {}
  std::vector<std::string> loaded;
  std::vector<std::string> sql_errors;
  int empty_scans = 0;
  bool drop_connection_after_load = false;

  db::Session& session() override { return session_; }
  void report_sql_error(const db::Status& status) override { sql_errors.push_back(status.message); }
  void handle_file(FileJob& job) override {
    std::string contents;
    if (!job.read(contents).ok()) return;
    loaded.push_back(job.name() + "=" + contents);
    if (drop_connection_after_load) {
      static_cast<ConnectOnlySession&>(session_).is_connected = false;
      return;
    }
    job.move_to_backup();
  }
  void on_scan_without_files() override { ++empty_scans; }

 private:
  db::Session& session_;
};

class ScanLoopTest : public ::testing::Test {
 protected:
  void SetUp() override {
    clear_stop_request();
    session.is_connected = true;
    in = dir.make_dir("in");
    backup = dir.make_dir("backup");
  }
  void TearDown() override { clear_stop_request(); }

  ScanLoop make_loop(std::string input, std::string backup_dir,
                     std::chrono::milliseconds settle = std::chrono::milliseconds(0)) {
    return ScanLoop(env, loader,
                    {input, backup_dir, "*.air", std::chrono::milliseconds(3600), settle, true},
                    out.file());
  }
  ScanLoop make_loop() { return make_loop(in.string(), backup.string()); }

  TempDir dir;
  std::filesystem::path in, backup;
  FaultyEnv env;
  ConnectOnlySession session;
  RecordingHandler loader{session};
  CapturedOutput out;
};

TEST_F(ScanLoopTest, LoadsFilesInOrderAndMovesThem) {
  write_file(in / "b.air", "2");
  write_file(in / "A.AIR", "1");
  write_file(in / "c.txt", "not mine");
  auto loop = make_loop();
  loop.scan();
  EXPECT_EQ(loader.loaded, (std::vector<std::string>{"A.AIR=1", "b.air=2"}));
  EXPECT_TRUE(std::filesystem::exists(backup / "A.AIR"));
  EXPECT_TRUE(std::filesystem::exists(backup / "b.air"));
  EXPECT_TRUE(std::filesystem::exists(in / "c.txt"));
  EXPECT_EQ(loader.empty_scans, 0);
  loop.scan();
  EXPECT_EQ(loader.loaded.size(), 2u);
  EXPECT_EQ(loader.empty_scans, 1);
  EXPECT_NE(out.text().find("Scanning Directory " + in.string() + " "), std::string::npos);
  EXPECT_NE(out.text().find(" for *.air Files\n"), std::string::npos);
}

TEST_F(ScanLoopTest, RelativeDirectoriesStillMoveTheFile) {
  write_file(in / "X.air", "x");
  auto cwd = std::filesystem::current_path();
  std::filesystem::current_path(dir.path());
  auto loop = make_loop("in", "backup");
  std::filesystem::current_path(cwd);  // the loop must not depend on it any more
  loop.scan();
  EXPECT_EQ(loader.loaded, std::vector<std::string>{"X.air=x"});
  EXPECT_FALSE(std::filesystem::exists(in / "X.air"));
  EXPECT_TRUE(std::filesystem::exists(backup / "X.air"));
  loop.scan();
  EXPECT_EQ(loader.loaded.size(), 1u);
  // Printed paths keep the form typed on the command line.
  EXPECT_NE(out.text().find("Scanning Directory in "), std::string::npos);
}

TEST_F(ScanLoopTest, WithoutAConnectionNoFileIsTouchedAndEachScanReconnects) {
  write_file(in / "X.air", "x");
  session.is_connected = false;
  session.refuse_connects = 2;
  auto loop = make_loop();
  loop.scan();
  loop.scan();
  EXPECT_TRUE(loader.loaded.empty());
  EXPECT_TRUE(std::filesystem::exists(in / "X.air"));
  EXPECT_EQ(loader.sql_errors.size(), 2u);
  EXPECT_EQ(loader.empty_scans, 0);
  loop.scan();
  EXPECT_EQ(session.connects, 3);
  EXPECT_EQ(loader.loaded, std::vector<std::string>{"X.air=x"});
}

TEST_F(ScanLoopTest, AConnectionLostInAFileLeavesTheRestForLater) {
  write_file(in / "A.air", "a");
  write_file(in / "B.air", "b");
  loader.drop_connection_after_load = true;
  auto loop = make_loop();
  loop.scan();
  EXPECT_EQ(loader.loaded, std::vector<std::string>{"A.air=a"});
  loader.drop_connection_after_load = false;
  loop.scan();
  EXPECT_EQ(loader.loaded, (std::vector<std::string>{"A.air=a", "A.air=a", "B.air=b"}));
}

TEST_F(ScanLoopTest, FilesStillBeingWrittenWaitForALaterScan) {
  write_file(in / "X.air", "x");
  env.modified_shift = std::chrono::seconds(60);  // looks as if written just now
  auto loop = make_loop(in.string(), backup.string(), std::chrono::milliseconds(1000));
  loop.scan();
  EXPECT_TRUE(loader.loaded.empty());
  EXPECT_EQ(loader.empty_scans, 1);
  env.modified_shift = std::chrono::seconds(-60);
  loop.scan();
  EXPECT_EQ(loader.loaded, std::vector<std::string>{"X.air=x"});
}

TEST_F(ScanLoopTest, AnUnreadableInputDirectoryIsReportedAndNothingElseScanned) {
  write_file(std::filesystem::current_path() / "qx_scan_loop_decoy.air", "decoy");
  auto loop = make_loop((dir.path() / "missing").string(), backup.string());
  loop.scan();
  std::filesystem::remove(std::filesystem::current_path() / "qx_scan_loop_decoy.air");
  EXPECT_TRUE(loader.loaded.empty());
  EXPECT_NE(out.text().find("Cannot read the input directory " + (dir.path() / "missing").string()),
            std::string::npos);
}

TEST_F(ScanLoopTest, AStopRequestEndsTheLoopAfterTheFileInHand) {
  write_file(in / "A.air", "a");
  write_file(in / "B.air", "b");
  class StoppingLoader : public RecordingHandler {
   public:
    using RecordingHandler::RecordingHandler;
    void handle_file(FileJob& job) override {
      RecordingHandler::handle_file(job);
      request_stop();
    }
  } stopping(session);
  ScanLoop loop(env, stopping,
                {in.string(), backup.string(), "*.air", std::chrono::milliseconds(3600), {}, false},
                out.file());
  loop.run();  // would scan for ever without the stop
  EXPECT_EQ(stopping.loaded, std::vector<std::string>{"A.air=a"});
  EXPECT_TRUE(std::filesystem::exists(backup / "A.air"));
  EXPECT_TRUE(std::filesystem::exists(in / "B.air"));
  EXPECT_EQ(env.sleeps, 0);
}

TEST_F(ScanLoopTest, ThePauseIsCutShortByAStop) {
  request_stop();
  pause_unless_stopped(env, std::chrono::milliseconds(3600));
  EXPECT_EQ(env.sleeps, 0);
  clear_stop_request();
  pause_unless_stopped(env, std::chrono::milliseconds(120));
  EXPECT_EQ(env.sleeps, 3);  // slept in short slices
}

}  // namespace
}  // namespace qx::driver
