// The fixture of the tests that drive a loader's file handling through the
// scan loop: input and backup directories in a temporary directory, the
// path of a fresh SQLite database there, a real file system that fails on
// demand, and the loader's output captured. The loop connects the session
// at its first scan, as after a failed start-up connect.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <utility>

#include "db/make_session.h"
#include "db/session.h"
#include "db/target.h"
#include "scan/scan_loop.h"
#include "support/captured_output.h"
#include "support/faulty_env.h"
#include "support/table_reader.h"
#include "support/temp_dir.h"

namespace qx::testing {

class LoaderFilesTest : public ::testing::Test {
 protected:
  // The database will be dir/database_file.
  explicit LoaderFilesTest(std::string database_file) : database_file_(std::move(database_file)) {}

  // Makes dir/in and dir/backup, and points `database` at the database file.
  void SetUp() override {
    in = dir.make_dir("in");
    backup = dir.make_dir("backup");
    database = (dir.path() / database_file_).string();
  }
  // A new session on `target` (a loader's first argument), not connected.
  void open_session(const std::string& target) {
    session = db::make_session(db::parse_target(target, ""));
  }
  // A scan loop over `files` that takes the names matching `pattern` from
  // `in` to `backup` in one scan (--once), with `pause` and no settle time.
  // `files` must outlive the loop.
  // The loop keeps a load history on `files`' session, as the programs do.
  void start_loop(scan::FileHandler& files, const std::string& pattern,
                  std::chrono::milliseconds pause) {
    history = std::make_unique<history::LoadHistory>(files.session(), "test", "test-instance");
    loop = std::make_unique<scan::ScanLoop>(
        env, files,
        scan::ScanSettings{in.string(), backup.string(), pattern, pause,
                           std::chrono::milliseconds(0), true},
        out.file(), history.get(), failed);
  }
  TableReader reader() const { return TableReader::sqlite(database); }

  TempDir dir;
  std::filesystem::path in, backup;
  std::string database;
  FaultyEnv env;
  CapturedOutput out;
  std::unique_ptr<db::Session> session;
  std::unique_ptr<history::LoadHistory> history;
  std::unique_ptr<scan::ScanLoop> loop;
  // Where unloadable files go, read by start_loop; none by default.
  scan::FailedSettings failed;

 private:
  std::string database_file_;
};

}  // namespace qx::testing
