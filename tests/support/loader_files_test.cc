#include "support/loader_files_test.h"

#include <utility>

#include "db/target.h"

namespace qx::testing {

LoaderFilesTest::LoaderFilesTest(std::string database_file)
    : database_file_(std::move(database_file)) {}

void LoaderFilesTest::SetUp() {
  in = dir.make_dir("in");
  backup = dir.make_dir("backup");
  database = (dir.path() / database_file_).string();
}

void LoaderFilesTest::open_session(const std::string& target) {
  session = db::make_session(db::parse_target(target, ""));
}

void LoaderFilesTest::start_loop(driver::Loader& files, const std::string& pattern,
                                 std::chrono::milliseconds pause) {
  loop = std::make_unique<driver::ScanLoop>(
      env, files,
      driver::ScanSettings{in.string(), backup.string(), pattern, pause,
                           std::chrono::milliseconds(0), true},
      out.file());
}

}  // namespace qx::testing
